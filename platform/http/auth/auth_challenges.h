#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Adds to `schemes` each authentication scheme that one WWW-Authenticate or
// Proxy-Authenticate value offers, in order and once each: a value may
// hold several challenges, `Digest realm="a", nonce="n", Basic realm="b"`
// offering Digest and Basic.
void addOfferedSchemes(std::string_view value,
                       std::vector<std::string>& schemes);

// Whether `offered` holds the scheme `name`: scheme names are compared
// without regard to case.
bool offersScheme(const std::vector<std::string>& offered,
                  std::string_view name);

}  // namespace platform
