#include "platform/xml/xml_text_check.h"

#include <cstdio>
#include <string>

#include "platform/core/utf8_text.h"

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

void appendXmlEscaped(std::string& out, const char* text, std::size_t size,
                      bool asText) {
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
        out += asText ? "\"" : "&quot;";
        break;
      case '\t':
        out += asText ? "\t" : "&#9;";
        break;
      case '\n':
        out += asText ? "\n" : "&#10;";
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

std::string shownText(std::string_view text, std::size_t width, bool quoted) {
  static const char kHex[] = "0123456789abcdef";
  std::string out;
  if (quoted) out += '"';
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  std::size_t at = 0;
  for (std::size_t shown = 0; at < text.size() && shown < width; ++shown) {
    const unsigned char byte = bytes[at];
    const std::size_t length =
        byte >= 0x80 ? sequenceLength(bytes + at, text.size() - at) : 1;
    if (length > 1) {
      out.append(text.data() + at, length);
      at += length;
      continue;
    }
    ++at;
    switch (byte) {
      case '\\':
        out += "\\\\";
        continue;
      case '\n':
        out += "\\n";
        continue;
      case '\r':
        out += "\\r";
        continue;
      case '\t':
        out += "\\t";
        continue;
      case '"':
        out += quoted ? "\\\"" : "\"";
        continue;
      default:
        break;
    }
    if (byte < 0x20 || byte >= 0x7F) {
      out += "\\x";
      out += kHex[byte >> 4];
      out += kHex[byte & 0xF];
    } else {
      out += static_cast<char>(byte);
    }
  }
  if (quoted) out += '"';
  if (at < text.size()) out += "...";
  return out;
}

namespace {

char32_t utf32At(const unsigned char* at, bool bigEndian) {
  return bigEndian ? (char32_t{at[0]} << 24) | (char32_t{at[1]} << 16) |
                         (char32_t{at[2]} << 8) | at[3]
                   : (char32_t{at[3]} << 24) | (char32_t{at[2]} << 16) |
                         (char32_t{at[1]} << 8) | at[0];
}

}  // namespace

bool isUtf32(const char* text, std::size_t size) {
  if (size < 4) return false;
  const auto* b = reinterpret_cast<const unsigned char*>(text);
  const char32_t big = utf32At(b, true);
  const char32_t little = utf32At(b, false);
  return big == 0xFEFF || little == 0xFEFF || big == '<' || little == '<';
}

std::size_t utf32ToUtf8(const char* text, std::size_t size, std::string& out) {
  return Utf32Decoder().convert(text, size, out);
}

std::size_t Utf32Decoder::convert(const char* text, std::size_t size,
                                  std::string& out) {
  const auto* b = reinterpret_cast<const unsigned char*>(text);
  std::size_t at = 0;
  if (!started_ && size >= 4) {
    started_ = true;
    bigEndian_ = utf32At(b, true) == 0xFEFF || utf32At(b, true) == '<';
    if (utf32At(b, bigEndian_) == 0xFEFF) at = 4;
  }
  out.reserve(out.size() + size / 4);
  for (; at + 4 <= size; at += 4) {
    const char32_t code = utf32At(b + at, bigEndian_);
    if (code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return at;
    appendUtf8(out, code);
  }
  return at == size ? size : at;
}

}  // namespace platform
