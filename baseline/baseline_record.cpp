#include "baseline/baseline_record.h"

#include <array>
#include <charconv>

#include "platform/xml/xml_text_check.h"

namespace baseline_file {

namespace {

bool isWord(std::string_view word) {
  if (word.empty()) return false;
  for (const char c : word) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte == 0x7F) return false;
  }
  return true;
}

template <typename Number>
bool readNumber(std::string_view text, Number& value) {
  if (text.empty() || text.size() > 20) return false;
  const char* end = text.data() + text.size();
  const auto [stop, fault] = std::from_chars(text.data(), end, value);
  return fault == std::errc() && stop == end;
}

bool isFingerprint(std::string_view text) {
  if (text.size() != 16) return false;
  for (const char c : text) {
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  }
  return true;
}

// The words of a line split at single spaces, up to the most a header
// has and one more; their count.
constexpr std::size_t kMostWords = 12;
std::size_t wordsOf(std::string_view line,
                    std::array<std::string_view, kMostWords>& words) {
  std::size_t count = 0;
  std::size_t at = 0;
  while (count < kMostWords) {
    const std::size_t space = line.find(' ', at);
    words[count++] = line.substr(at, space - at);
    if (space == std::string_view::npos) break;
    at = space + 1;
  }
  return count;
}

void appendNumber(std::string& out, unsigned long long value) {
  char digits[24];
  const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  out.append(digits, end);
}

}  // namespace

bool sameKey(const AnswerKey& one, const AnswerKey& other) {
  if (one.isTransaction != other.isTransaction) return false;
  // The ordinal alone: a seq changed in the log changes the request, which
  // its fingerprint tells.
  if (one.isTransaction) return one.ordinal == other.ordinal;
  return one.type == other.type && one.action == other.action;
}

std::string requestName(const AnswerKey& key) {
  if (!key.isTransaction) return key.type + ' ' + key.action;
  return "transaction " + std::to_string(key.ordinal) + " (seq " +
         std::to_string(key.seq) + ")";
}

bool appendHeader(std::string& out, const AnswerKey& key,
                  std::string_view fingerprint, long status,
                  std::size_t bodySize, std::string& reason) {
  if (!key.isTransaction && (!isWord(key.type) || !isWord(key.action))) {
    reason = "the request's type and action must be words: " +
             platform::shownText(key.type + ' ' + key.action, 60, true);
    return false;
  }
  if (status < 0 || !isFingerprint(fingerprint)) {
    reason = "no record of a status below 0 or without a fingerprint";
    return false;
  }
  out += "record ";
  if (key.isTransaction) {
    out += "transaction ";
    appendNumber(out, key.ordinal);
    out += " seq ";
    out += std::to_string(key.seq);
  } else {
    out += key.type;
    out += ' ';
    out += key.action;
  }
  out += " request ";
  out += fingerprint;
  out += " status ";
  appendNumber(out, static_cast<unsigned long long>(status));
  out += " body ";
  appendNumber(out, bodySize);
  out += '\n';
  return true;
}

bool parseHeader(std::string_view line, RecordHeader& header,
                 std::string& reason) {
  std::array<std::string_view, kMostWords> words;
  const std::size_t n = wordsOf(line, words);
  const bool shaped = (n == 9 || n == 11) && words[0] == "record" &&
                      words[n - 6] == "request" && words[n - 4] == "status" &&
                      words[n - 2] == "body";
  AnswerKey& key = header.key;
  key.isTransaction = n == 11;
  bool read = shaped && isFingerprint(words[n - 5]) &&
              readNumber(words[n - 3], header.status) &&
              readNumber(words[n - 1], header.bodySize);
  if (read && key.isTransaction) {
    read = words[1] == "transaction" && words[3] == "seq" &&
           readNumber(words[2], key.ordinal) && key.ordinal > 0 &&
           readNumber(words[4], key.seq);
  } else if (read) {
    read = isWord(words[1]) && isWord(words[2]);
    key.type.assign(words[1]);
    key.action.assign(words[2]);
  }
  if (!read || header.status < 0) {
    reason = "a bad record header: " + platform::shownText(line, 80, true);
    return false;
  }
  header.fingerprint.assign(words[n - 5]);
  return true;
}

bool parseEndLine(std::string_view line, unsigned long long& records) {
  constexpr std::string_view kEnd = "end ";
  return line.substr(0, kEnd.size()) == kEnd &&
         readNumber(line.substr(kEnd.size()), records);
}

}  // namespace baseline_file
