#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// One way in which an answer differs from its baseline record, as the
// comparison found it: what kind, where, and both sides. Nothing here is
// worded; difference_text.h writes every text of it.
struct Difference {
  enum class Kind {
    // Two answers compared as XML, at `place`:
    kValue,    // a text or attribute value: `answer` where `baseline`
    kAdded,    // in the answer only
    kMissing,  // in the baseline only
    kMoved,    // the same element, at position `to` where the baseline has
               // it at `from`, among its siblings of its name
    kOrder,    // the children's names in another order: `answer`, `baseline`
    // The answer as a whole:
    kStatus,          // `answer`, `baseline`: the HTTP statuses
    kMediaType,       // `answer`, `baseline`: the media types
    kEmpty,           // the body is empty; `baseline`: the baseline's head
    kBaselineEmpty,   // the baseline's body is empty; `answer`: the head
    kNotXml,          // `answer`: why the body is not XML
    kBaselineNotXml,  // `baseline`: why the baseline's is not
    kBytes,           // compared byte for byte; `place` "line L, byte B",
                      // `answer` and `baseline` excerpts from there
    kEndsEarly,       // the body ends where the baseline's goes on
    kGoesOn,          // the body goes on where the baseline's ends
    // The request and its record:
    kNotInBaseline,   // no record pairs with it: `note` says why
    kAddedToLog,      // a replayed transaction no record pairs with
    kRemovedFromLog,  // records no request paired with: `answer` their keys
    kRequestChanged,  // paired by its key, with another request
  };

  Kind kind = Kind::kValue;
  std::string place;
  // Values are kept up to kValueHead bytes: no text shows more.
  std::string answer;
  std::string baseline;
  std::size_t from = 0;
  std::size_t to = 0;
  // Said after the difference: why an answer was compared byte for byte.
  std::string note;

  static constexpr std::size_t kValueHead = 256;
  static std::string head(std::string_view value) {
    return std::string(value.substr(0, kValueHead));
  }
};

// Where a hidden password stood: U+FDD0, a code point set aside for a
// program's own use, as long as "***" in UTF-8. No text shows it.
inline constexpr std::string_view kHiddenPassword = "\xEF\xB7\x90";
