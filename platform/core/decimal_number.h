#pragma once

namespace platform {

// Reads a number as atoi does (leading white space, an optional sign, the
// decimal digits up to the first other character; no digits give 0), but
// clamps a value beyond the range of int to INT_MIN or INT_MAX instead of
// leaving it undefined. A null text gives 0.
int decimalToInt(const char* text);

}  // namespace platform
