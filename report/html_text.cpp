#include "report/html_text.h"

#include <cstdint>

#include "platform/core/utf8_text.h"

namespace {

using platform::appendUtf8;

constexpr char32_t kReplacement = 0xFFFD;
constexpr std::size_t kWhole = static_cast<std::size_t>(-1);

// The next character of `text` at `at`, moving `at` past it; U+FFFD for a
// byte that begins no valid sequence (overlong forms and surrogates
// included), which then is one byte long.
char32_t nextCharacter(std::string_view text, std::size_t& at) {
  const auto byte = [&text](std::size_t i) {
    return static_cast<std::uint8_t>(text[i]);
  };
  const std::uint8_t lead = byte(at);
  if (lead < 0x80) {
    ++at;
    return lead;
  }
  std::size_t length = 0;
  char32_t value = 0;
  char32_t least = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, value = lead & 0x1F, least = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, value = lead & 0x0F, least = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, value = lead & 0x07, least = 0x10000;
  }
  if (length == 0 || at + length > text.size()) {
    ++at;
    return kReplacement;
  }
  for (std::size_t i = 1; i < length; ++i) {
    const std::uint8_t next = byte(at + i);
    if ((next & 0xC0) != 0x80) {
      ++at;
      return kReplacement;
    }
    value = (value << 6) | (next & 0x3F);
  }
  if (value < least || value > 0x10FFFF ||
      (value >= 0xD800 && value <= 0xDFFF)) {
    ++at;
    return kReplacement;
  }
  at += length;
  return value;
}

bool isNoncharacter(char32_t c) {
  return (c >= 0xFDD0 && c <= 0xFDEF) || (c & 0xFFFE) == 0xFFFE;
}

// Appends at most `width` characters; returns whether all of `text` went.
bool appendShown(std::string& out, std::string_view text, std::size_t width) {
  std::size_t at = 0;
  std::size_t shown = 0;
  while (at < text.size()) {
    if (shown == width) return false;
    ++shown;
    const char32_t c = nextCharacter(text, at);
    switch (c) {
      case '&':
        out += "&amp;";
        continue;
      case '<':
        out += "&lt;";
        continue;
      case '>':
        out += "&gt;";
        continue;
      case '"':
        out += "&quot;";
        continue;
      case '\'':
        out += "&#39;";
        continue;
      case '\t':
      case '\n':
        out += static_cast<char>(c);
        continue;
      case '\r':
        if (at < text.size() && text[at] == '\n') {
          --shown;  // CR LF is one line end
          continue;
        }
        appendUtf8(out, 0x240D);
        continue;
      default:
        break;
    }
    if (c < 0x20) {
      appendUtf8(out, 0x2400 + c);
    } else if (c == 0x7F) {
      appendUtf8(out, 0x2421);
    } else if ((c >= 0x80 && c <= 0x9F) || isNoncharacter(c)) {
      appendUtf8(out, kReplacement);
    } else {
      appendUtf8(out, c);
    }
  }
  return true;
}

}  // namespace

namespace html {

void appendEscaped(std::string& out, std::string_view text) {
  appendShown(out, text, kWhole);
}

void appendEscapedCut(std::string& out, std::string_view text,
                      std::size_t width) {
  if (!appendShown(out, text, width)) out += "\xE2\x80\xA6";
}

std::string cut(std::string_view text, std::size_t width) {
  std::size_t at = 0;
  for (std::size_t shown = 0; at < text.size(); ++shown) {
    if (shown == width) {
      return std::string(text.substr(0, at)) + "\xE2\x80\xA6";
    }
    nextCharacter(text, at);
  }
  return std::string(text);
}

}  // namespace html
