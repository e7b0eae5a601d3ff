#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Which request an answer belongs to.
struct AnswerKey {
  bool isTransaction = false;
  unsigned long long ordinal = 0;  // among all transaction elements, from 1
  std::int32_t seq = 0;
  // Of every request; they name one that is not a transaction.
  std::string type;
  std::string action;
};

// A baseline file: the line `KesMDProviderClient baseline 1`, then per
// answer a header line
//   record <key> request <fingerprint> status <status> body <size>
// where <key> is `transaction <ordinal> seq <seq>` or `<type> <action>`,
// followed by exactly <size> bytes of body and one line feed; last the line
// `end <number of records>`, so that a file cut short between two records
// is known as such.
namespace baseline_file {

inline constexpr std::string_view kFirstLine = "KesMDProviderClient baseline 1";
inline constexpr std::string_view kFirstLineStem =
    "KesMDProviderClient baseline ";
// No header of a request this client sends comes near it.
inline constexpr std::size_t kLongestLine = 4096;

struct RecordHeader {
  AnswerKey key;
  std::string fingerprint;
  long status = 0;
  unsigned long long bodySize = 0;
};

// Whether a record is of that request: a transaction by its ordinal, any
// other request by its type and action.
bool sameKey(const AnswerKey& one, const AnswerKey& other);

// "transaction 17 (seq 17)" or "project open", as messages name a request.
std::string requestName(const AnswerKey& key);

// Appends the header line and its line end. False with `reason` when the
// type or action is empty or holds a space or a control character.
bool appendHeader(std::string& out, const AnswerKey& key,
                  std::string_view fingerprint, long status,
                  std::size_t bodySize, std::string& reason);

// Reads a header line without its line end; false with `reason`.
bool parseHeader(std::string_view line, RecordHeader& header,
                 std::string& reason);

// Reads the last line's count; false when it is no end line.
bool parseEndLine(std::string_view line, unsigned long long& records);

}  // namespace baseline_file
