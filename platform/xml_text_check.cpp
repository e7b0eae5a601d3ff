#include "platform/xml_text_check.h"

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

namespace platform {

namespace {

bool isContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// Length of the valid multi-byte sequence at `at`, or 0.
std::size_t sequenceLength(const unsigned char* at, std::size_t left) {
  const unsigned char lead = at[0];
  if (lead >= 0xC2 && lead <= 0xDF) {
    return left >= 2 && isContinuation(at[1]) ? 2 : 0;
  }
  if (lead >= 0xE0 && lead <= 0xEF) {
    if (left < 3 || !isContinuation(at[1]) || !isContinuation(at[2])) return 0;
    if (lead == 0xE0 && at[1] < 0xA0) return 0;   // overlong
    if (lead == 0xED && at[1] >= 0xA0) return 0;  // surrogate
    return 3;
  }
  if (lead >= 0xF0 && lead <= 0xF4) {
    if (left < 4 || !isContinuation(at[1]) || !isContinuation(at[2]) ||
        !isContinuation(at[3])) {
      return 0;
    }
    if (lead == 0xF0 && at[1] < 0x90) return 0;   // overlong
    if (lead == 0xF4 && at[1] >= 0x90) return 0;  // beyond U+10FFFF
    return 4;
  }
  return 0;
}

bool isAllowedAscii(unsigned char byte) {
  return byte >= 0x20 || byte == '\t' || byte == '\n' || byte == '\r';
}

}  // namespace

std::size_t findInvalidXmlText(const char* text, std::size_t size, bool utf8) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text);
  std::size_t at = 0;
  while (at < size) {
    // Eight bytes at a time while they are all printable ASCII: no byte
    // with the top bit set and none below 0x20.
    while (at + 8 <= size) {
      std::uint64_t word;
      std::memcpy(&word, bytes + at, 8);
      const std::uint64_t high = word & 0x8080808080808080ULL;
      const std::uint64_t control =
          (word - 0x2020202020202020ULL) & ~word & 0x8080808080808080ULL;
      if ((high | control) != 0) break;
      at += 8;
    }
    if (at >= size) break;
    const unsigned char byte = bytes[at];
    if (byte < 0x80 || !utf8) {
      if (!isAllowedAscii(byte)) return at;
      ++at;
      continue;
    }
    const std::size_t length = sequenceLength(bytes + at, size - at);
    if (length == 0) return at;
    at += length;
  }
  return size;
}

namespace {

char32_t decodeSequence(const unsigned char* at, std::size_t length) {
  char32_t code = at[0] & (0xFF >> (length + 1));
  for (std::size_t i = 1; i < length; ++i) code = (code << 6) | (at[i] & 0x3F);
  return code;
}

bool isXmlCharacter(char32_t code) {
  return code == 0x9 || code == 0xA || code == 0xD ||
         (code >= 0x20 && code <= 0xD7FF) ||
         (code >= 0xE000 && code <= 0xFFFD) ||
         (code >= 0x10000 && code <= 0x10FFFF);
}

std::string codePointName(char32_t code) {
  char name[16];
  std::snprintf(name, sizeof name, "U+%04X", static_cast<unsigned>(code));
  return name;
}

}  // namespace

std::string xmlValueFault(const std::string& text) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t length = 1;
    char32_t code = bytes[at];
    if (code >= 0x80) {
      length = sequenceLength(bytes + at, text.size() - at);
      if (length == 0) return "is not valid UTF-8";
      code = decodeSequence(bytes + at, length);
    }
    if (!isXmlCharacter(code)) {
      return "holds " + codePointName(code) + ", which XML cannot carry";
    }
    at += length;
  }
  return std::string();
}

void appendXmlEscaped(std::string& out, const char* text, std::size_t size) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text);
  std::size_t at = 0;
  while (at < size) {
    const unsigned char byte = bytes[at];
    if (byte >= 0x80) {
      const std::size_t length = sequenceLength(bytes + at, size - at);
      if (length == 0 || !isXmlCharacter(decodeSequence(bytes + at, length))) {
        out += "\xEF\xBF\xBD";
        at += length == 0 ? 1 : length;
      } else {
        out.append(text + at, length);
        at += length;
      }
      continue;
    }
    switch (byte) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\t':
        out += "&#9;";
        break;
      case '\n':
        out += "&#10;";
        break;
      case '\r':
        out += "&#13;";
        break;
      default:
        if (byte < 0x20) {
          out += "\xEF\xBF\xBD";
        } else {
          out += static_cast<char>(byte);
        }
    }
    ++at;
  }
}

namespace {

bool declaresLatin1(const char* text, std::size_t size) {
  // Only a declaration at the very start counts, within its usual length.
  const std::string head(text, size < 256 ? size : 256);
  if (head.compare(0, 5, "<?xml") != 0) return false;
  const std::size_t end = head.find("?>");
  const std::size_t key = head.find("encoding");
  if (end == std::string::npos || key == std::string::npos || key > end) {
    return false;
  }
  std::size_t at = head.find_first_not_of(" \t\r\n", key + 8);
  if (at == std::string::npos || head[at] != '=') return false;
  at = head.find_first_not_of(" \t\r\n", at + 1);
  if (at == std::string::npos || (head[at] != '"' && head[at] != '\'')) {
    return false;
  }
  const std::size_t close = head.find(head[at], at + 1);
  if (close == std::string::npos) return false;
  std::string name = head.substr(at + 1, close - at - 1);
  for (char& c : name)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return name == "latin1" || name == "iso-8859-1";
}

bool isWideEncoded(const char* text, std::size_t size) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text);
  if (size >= 2 && ((bytes[0] == 0xFE && bytes[1] == 0xFF) ||
                    (bytes[0] == 0xFF && bytes[1] == 0xFE))) {
    return true;
  }
  return size >= 2 && (bytes[0] == 0 || bytes[1] == 0);
}

}  // namespace

TextEncoding detectEncoding(const char* text, std::size_t size) {
  if (isWideEncoded(text, size)) return TextEncoding::kWide;
  return declaresLatin1(text, size) ? TextEncoding::kLatin1
                                    : TextEncoding::kUtf8;
}

}  // namespace platform
