#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

// What a Content-Security-Policy names an inline script or style by:
// "sha256-" and the base64 of the SHA-256 of its exact text.
std::string cspHash(std::string_view text);

// The SHA-256 digest of `data`.
std::array<std::uint8_t, 32> sha256(std::string_view data);
