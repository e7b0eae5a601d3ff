#pragma once

#include <string>

namespace platform {

// One character (a Unicode scalar value) appended to `out` as UTF-8.
void appendUtf8(std::string& out, char32_t c);

}  // namespace platform
