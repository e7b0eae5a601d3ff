#pragma once

#include <cstddef>
#include <string>

namespace platform {

// Where text stops being characters that an XML document may hold: NUL and
// the control characters other than tab, line feed and carriage return, and
// for UTF-8 text also malformed or overlong sequences and surrogates.
// `size` when it is clean.
std::size_t findInvalidXmlText(const char* text, std::size_t size,
                               bool utf8 = true);

// Why `text` cannot be carried in an XML document, as the end of a sentence
// that names the value ("is not valid UTF-8", "holds U+0001, which XML
// cannot carry"); empty when it can. XML 1.0 carries tab, line feed,
// carriage return, U+0020-U+D7FF, U+E000-U+FFFD and U+10000-U+10FFFF.
std::string xmlValueFault(const std::string& text);

// Appends `text` to `out` as XML character data or attribute text: the
// markup characters escaped, line ends and tabs as character references,
// and what XML cannot carry (bytes that are not UTF-8, forbidden
// characters) replaced by U+FFFD.
void appendXmlEscaped(std::string& out, const char* text, std::size_t size);

enum class TextEncoding { kUtf8, kLatin1, kWide };

// How the parser will read the bytes: UTF-16 or UTF-32 when they announce
// it (a byte-order mark or the zero bytes of a first '<'), Latin-1 when the
// XML declaration names latin1 or ISO-8859-1 in any case, UTF-8 otherwise.
// Wide and Latin-1 text is converted to UTF-8 before it is parsed.
TextEncoding detectEncoding(const char* text, std::size_t size);

}  // namespace platform
