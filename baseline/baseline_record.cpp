#include "baseline/baseline_record.h"

#include <array>
#include <charconv>

#include "platform/xml/xml_text_check.h"

namespace baseline_file {

namespace {

// Beyond this, the places of the hidden password are not listed.
constexpr std::size_t kMostPlaces = 3000;

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
constexpr std::size_t kMostWords = 18;
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

std::string ordinalText(unsigned long long number) {
  const unsigned long long lastTwo = number % 100;
  const char* suffix = "th";
  if (lastTwo < 11 || lastTwo > 13) {
    switch (number % 10) {
      case 1:
        suffix = "st";
        break;
      case 2:
        suffix = "nd";
        break;
      case 3:
        suffix = "rd";
        break;
      default:
        break;
    }
  }
  return std::to_string(number) + suffix;
}

// The places rise, "***" apart at least, and each "***" lies inside the
// body: a place near the largest number must not wrap round.
bool readPlaces(std::string_view text, RecordHeader& header) {
  header.hiddenAt.clear();
  header.hiddenEverywhere = text == "*";
  if (text == "-" || text == "*") return true;
  std::size_t at = 0;
  while (at <= text.size()) {
    std::size_t comma = text.find(',', at);
    if (comma == std::string_view::npos) comma = text.size();
    std::size_t place = 0;
    if (!readNumber(text.substr(at, comma - at), place)) return false;
    if (!header.hiddenAt.empty() && (place < header.hiddenAt.back() ||
                                     place - header.hiddenAt.back() < 3)) {
      return false;
    }
    if (place > header.bodySize || header.bodySize - place < 3) return false;
    header.hiddenAt.push_back(place);
    at = comma + 1;
  }
  return true;
}

bool readKey(const std::array<std::string_view, kMostWords>& words,
             bool transaction, AnswerKey& key) {
  key.isTransaction = transaction;
  if (transaction) {
    return words[1] == "transaction" && words[3] == "seq" &&
           readNumber(words[2], key.ordinal) && key.ordinal > 0 &&
           readNumber(words[4], key.seq);
  }
  key.type.assign(words[1]);
  key.action.assign(words[2]);
  return isWord(words[1]) && isWord(words[2]);
}

}  // namespace

bool sameKey(const AnswerKey& one, const AnswerKey& other) {
  if (one.isTransaction != other.isTransaction) return false;
  if (one.isTransaction) return one.ordinal == other.ordinal;
  return one.type == other.type && one.action == other.action;
}

std::string testcaseName(const AnswerKey& key) {
  if (!key.isTransaction) return key.type + ' ' + key.action;
  return "transaction " + std::to_string(key.seq);
}

std::string requestName(const AnswerKey& key) {
  std::string name = testcaseName(key);
  if (key.isTransaction && (key.seq < 0 || static_cast<unsigned long long>(
                                               key.seq) != key.ordinal)) {
    name += " (the " + ordinalText(key.ordinal) + " in the log)";
  }
  return name;
}

bool appendHeader(std::string& out, const RecordHeader& header,
                  std::string& reason) {
  const AnswerKey& key = header.key;
  if (!key.isTransaction && (!isWord(key.type) || !isWord(key.action))) {
    reason = "the request's type and action must be words: " +
             platform::shownText(key.type + ' ' + key.action, 60, true);
    return false;
  }
  if (header.status < 0 || !isFingerprint(header.fingerprint)) {
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
  out += header.fingerprint;
  out += " status ";
  appendNumber(out, static_cast<unsigned long long>(header.status));
  out += " media ";
  out += !header.mediaKnown         ? std::string("?")
         : isWord(header.mediaType) ? header.mediaType
                                    : std::string("-");
  out += " time ";
  if (header.milliseconds < 0) {
    out += '-';
  } else {
    appendNumber(out, static_cast<unsigned long long>(header.milliseconds));
  }
  out += " hidden ";
  std::string places;
  for (const std::size_t place : header.hiddenAt) {
    if (!places.empty()) places += ',';
    appendNumber(places, place);
  }
  out += header.hiddenEverywhere || places.size() > kMostPlaces ? "*"
         : places.empty()                                       ? "-"
                                                                : places;
  out += " body ";
  appendNumber(out, header.bodySize);
  out += '\n';
  return true;
}

bool parseHeader(std::string_view line, int version, RecordHeader& header,
                 std::string& reason) {
  std::array<std::string_view, kMostWords> words;
  const std::size_t n = wordsOf(line, words);
  // Version 1 lacks media, time and hidden.
  const std::size_t tail = version == 1 ? 6 : 12;
  const bool shaped = (n == tail + 3 || n == tail + 5) &&
                      words[0] == "record" && words[n - tail] == "request" &&
                      words[n - tail + 2] == "status" && words[n - 2] == "body";
  bool read = shaped && isFingerprint(words[n - tail + 1]) &&
              readNumber(words[n - tail + 3], header.status) &&
              readNumber(words[n - 1], header.bodySize) &&
              readKey(words, n == tail + 5, header.key);
  header.mediaType.clear();
  header.mediaKnown = version != 1;
  header.milliseconds = -1;
  header.hiddenAt.clear();
  header.hiddenEverywhere = false;
  if (read && version != 1) {
    read = words[n - 8] == "media" && isWord(words[n - 7]) &&
           words[n - 6] == "time" && words[n - 4] == "hidden" &&
           (words[n - 5] == "-" ||
            (readNumber(words[n - 5], header.milliseconds) &&
             header.milliseconds >= 0)) &&
           readPlaces(words[n - 3], header);
    header.mediaKnown = words[n - 7] != "?";
    if (words[n - 7] != "-" && header.mediaKnown) {
      header.mediaType.assign(words[n - 7]);
    }
  }
  if (!read || header.status < 0) {
    reason = "a bad record header: " + platform::shownText(line, 160, true);
    return false;
  }
  header.fingerprint.assign(words[n - tail + 1]);
  return true;
}

std::string rangeLine(const SeqRange& range) {
  return "range " + std::to_string(range.first) + " " +
         std::to_string(range.last);
}

bool parseRangeLine(std::string_view line, SeqRange& range) {
  std::array<std::string_view, kMostWords> words;
  return wordsOf(line, words) == 3 && words[0] == "range" &&
         readNumber(words[1], range.first) && readNumber(words[2], range.last);
}

bool parseEndLine(std::string_view line, unsigned long long& records,
                  bool* stopped) {
  constexpr std::string_view kEnd = "end ";
  constexpr std::string_view kStopped = " stopped";
  if (line.substr(0, kEnd.size()) != kEnd) return false;
  line.remove_prefix(kEnd.size());
  const bool early = line.size() > kStopped.size() &&
                     line.substr(line.size() - kStopped.size()) == kStopped;
  if (early) line.remove_suffix(kStopped.size());
  if (stopped != nullptr) *stopped = early;
  return readNumber(line, records);
}

}  // namespace baseline_file
