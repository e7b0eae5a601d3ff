#pragma once

#include <cstddef>

namespace platform {

// Where text stops being characters that an XML document may hold: NUL and
// the control characters other than tab, line feed and carriage return, and
// for UTF-8 text also malformed or overlong sequences and surrogates.
// `size` when it is clean.
std::size_t findInvalidXmlText(const char* text, std::size_t size,
                               bool utf8 = true);

// Whether the XML declaration names Latin-1 (latin1 or ISO-8859-1, in any
// case), which the parser converts rather than reads as UTF-8.
bool declaresLatin1(const char* text, std::size_t size);

// Whether the bytes announce UTF-16 or UTF-32 (a byte-order mark or the
// zero bytes of a first '<'); those are converted, not checked here.
bool isWideEncoded(const char* text, std::size_t size);

}  // namespace platform
