#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

// Why `text` cannot be carried in an XML document, as the end of a sentence
// that names the value ("is not valid UTF-8", "holds U+0001, which XML
// cannot carry"); empty when it can. XML 1.0 carries tab, line feed,
// carriage return, U+0020-U+D7FF, U+E000-U+FFFD and U+10000-U+10FFFF.
std::string xmlValueFault(const std::string& text);

// Appends `text` to `out` as XML character data or attribute text: the
// markup characters escaped, line ends and tabs as character references,
// and what XML cannot carry (bytes that are not UTF-8, forbidden
// characters) replaced by U+FFFD.
// `asText` keeps line feeds, tabs and quotes as they are, as element text
// may.
void appendXmlEscaped(std::string& out, const char* text, std::size_t size,
                      bool asText = false);

// `text` as a message or a listing shows it, on one line: backslash, line
// ends, tabs and other control characters escaped (`\n`, `\x01`), bytes
// that are not UTF-8 as `\xff`, cut after `width` characters with "...".
// `quoted` puts it in double quotes and escapes those inside.
std::string shownText(std::string_view text, std::size_t width, bool quoted);

// Whether the text is UTF-32, which the parser does not read: a byte-order
// mark, or a first '<', in four bytes of either order.
bool isUtf32(const char* text, std::size_t size);
// Converts UTF-32 text (after its byte-order mark, if any) to UTF-8 into
// `out`. Returns `size`, or the byte offset of the first code unit that is
// no character.
std::size_t utf32ToUtf8(const char* text, std::size_t size, std::string& out);

// UTF-32 converted to UTF-8 a piece at a time: the first piece tells the
// byte order and may begin with a byte-order mark; every piece but the last
// holds whole code units.
class Utf32Decoder {
 public:
  // Appends the piece's text to `out`. Returns `size`, or the offset in the
  // piece of the first code unit that is no character.
  std::size_t convert(const char* text, std::size_t size, std::string& out);

 private:
  bool started_ = false;
  bool bigEndian_ = false;
};

}  // namespace platform
