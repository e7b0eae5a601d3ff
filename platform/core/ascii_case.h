#pragma once

#include <string_view>

namespace platform {

// Comparisons of protocol words (header names, scheme names), which ASCII
// spells in either case; no locale is consulted.
bool sameIgnoringCase(std::string_view a, std::string_view b);
bool startsWithIgnoringCase(std::string_view text, std::string_view start);

}  // namespace platform
