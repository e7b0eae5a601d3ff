#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Which request an answer belongs to.
struct AnswerKey {
  bool isTransaction = false;
  unsigned long long ordinal = 0;  // among all transaction elements, from 1
  std::int32_t seq = 0;
  // Of every request; they name one that is not a transaction.
  std::string type;
  std::string action;
};

// The sequence numbers a run replays, as -b and -e give them: `last` -1 is
// no upper bound.
struct SeqRange {
  std::int32_t first = 0;
  std::int32_t last = -1;
  bool holds(std::int32_t seq) const {
    return seq >= first && (seq <= last || last == -1);
  }
  bool whole() const { return first == 0 && last == -1; }
};

// A baseline file: the line `KesMDProviderClient baseline 2`; a line
// `range <first> <last>` when a run given -b or -e recorded it; then per
// answer a header line
//   record <key> request <fingerprint> status <status> media <type>
//   time <ms> hidden <places> body <size>
// where <key> is `transaction <ordinal> seq <seq>` or `<type> <action>`,
// <type> the media type (`-`: none, `?`: not known), <ms> the answer's time
// (`-`: not known), <places> the byte offsets in the body where `***` stands
// for the run's password (`-`: none, `*`: too many to list, every one),
// followed by exactly <size> bytes of body and one line feed; last the line
// `end <number of records>`, so that a file cut short between two records
// is known as such; `end <number> stopped` when a rejection stopped the
// run's replay of its log. Files of version 1 (without media, time and hidden,
// and another fingerprint) are read too.
namespace baseline_file {

inline constexpr std::string_view kFirstLine = "KesMDProviderClient baseline 2";
inline constexpr std::string_view kFirstLineVersion1 =
    "KesMDProviderClient baseline 1";
inline constexpr std::string_view kFirstLineStem =
    "KesMDProviderClient baseline ";
// No header of a request this client sends comes near it.
inline constexpr std::size_t kLongestLine = 4096;

struct RecordHeader {
  AnswerKey key;
  std::string fingerprint;
  long status = 0;
  std::string mediaType;   // empty: none
  bool mediaKnown = true;  // false: not recorded (`?`), not compared
  long milliseconds = -1;  // -1: not known
  std::vector<std::size_t> hiddenAt;
  bool hiddenEverywhere = false;
  unsigned long long bodySize = 0;
};

// Whether a record is of that request: a transaction by its ordinal, any
// other request by its type and action.
bool sameKey(const AnswerKey& one, const AnswerKey& other);

// As the report names a request's testcase: "transaction 17" (its seq), or
// "project open".
std::string testcaseName(const AnswerKey& key);
// As messages name a request: its testcase's name, and a transaction's
// place in the log where that is another number than its seq
// ("transaction 11 (the 12th in the log)").
std::string requestName(const AnswerKey& key);

// Appends the header line and its line end (of the current version). False
// with `reason` when the type or action is empty or holds a space or a
// control character.
bool appendHeader(std::string& out, const RecordHeader& header,
                  std::string& reason);

// Reads a header line of that version without its line end; false with
// `reason`.
bool parseHeader(std::string_view line, int version, RecordHeader& header,
                 std::string& reason);

// The range line, and reading it; false when it is none.
std::string rangeLine(const SeqRange& range);
bool parseRangeLine(std::string_view line, SeqRange& range);

// Reads the last line's count, and whether it says that the run stopped
// replaying its log early; false when it is no end line.
bool parseEndLine(std::string_view line, unsigned long long& records,
                  bool* stopped = nullptr);

}  // namespace baseline_file
