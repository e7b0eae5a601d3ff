#pragma once

#include <cstddef>

namespace platform {

// Where UTF-8 text stops being characters that an XML document may hold:
// malformed or overlong UTF-8, surrogates, NUL and the control characters
// other than tab, line feed and carriage return. `size` when it is clean.
std::size_t findInvalidXmlText(const char* text, std::size_t size);

// Whether the bytes announce UTF-16 or UTF-32 (a byte-order mark or the
// zero bytes of a first '<'); those are converted, not checked here.
bool isWideEncoded(const char* text, std::size_t size);

}  // namespace platform
