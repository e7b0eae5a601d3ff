#include "platform/core/utf16_text.h"

#include "platform/core/utf8_text.h"

namespace platform {

namespace {}  // namespace

bool utf16ToUtf8(std::string_view text, bool bigEndian, std::string& out) {
  if (text.size() % 2 != 0) return false;
  const auto unit = [&](std::size_t at) {
    const auto first = static_cast<unsigned char>(text[at]);
    const auto second = static_cast<unsigned char>(text[at + 1]);
    return static_cast<char32_t>(bigEndian ? first << 8 | second
                                           : second << 8 | first);
  };
  for (std::size_t at = 0; at < text.size(); at += 2) {
    char32_t c = unit(at);
    if (c >= 0xD800 && c <= 0xDBFF) {
      if (at + 2 >= text.size()) return false;
      const char32_t low = unit(at + 2);
      if (low < 0xDC00 || low > 0xDFFF) return false;
      c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
      at += 2;
    } else if (c >= 0xDC00 && c <= 0xDFFF) {
      return false;
    }
    appendUtf8(out, c);
  }
  return true;
}

}  // namespace platform
