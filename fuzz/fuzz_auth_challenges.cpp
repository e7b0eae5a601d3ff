// Arbitrary bytes as the value of a WWW-Authenticate header: the schemes it
// offers are tokens, each once, those known before stay first, a second
// reading adds nothing, and the scheme that opens the value is offered.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "platform/http/auth/auth_challenges.h"

namespace {

// A token's characters as HTTP defines them.
bool isTokenChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
         (c >= '0' && c <= '9') ||
         std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
}

// The first challenge's scheme, after empty list elements; empty when the
// value does not open with one.
std::string openingScheme(std::string_view value) {
  std::size_t at = value.find_first_not_of(", \t");
  if (at == std::string_view::npos) return {};
  std::size_t end = at;
  while (end < value.size() && isTokenChar(value[end])) ++end;
  const std::size_t next = value.find_first_not_of(" \t", end);
  if (next != std::string_view::npos && value[next] == '=') return {};
  if (next != std::string_view::npos && next == end && value[next] != ',') {
    return {};  // no token, or one run into other characters
  }
  return std::string(value.substr(at, end - at));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  const std::string_view value(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> offered;
  platform::addOfferedSchemes(value, offered);
  for (std::size_t i = 0; i < offered.size(); ++i) {
    const std::string& scheme = offered[i];
    fuzz::expect(!scheme.empty() &&
                     std::all_of(scheme.begin(), scheme.end(), isTokenChar),
                 "a scheme is a token");
    fuzz::expect(std::find(offered.begin(), offered.begin() + i, scheme) ==
                     offered.begin() + i,
                 "a scheme is offered once");
  }
  const std::string opening = openingScheme(value);
  fuzz::expect(opening.empty() || (!offered.empty() && offered[0] == opening),
               "the scheme that opens the value comes first");

  std::vector<std::string> again = offered;
  platform::addOfferedSchemes(value, again);
  fuzz::expect(again == offered, "a second reading adds nothing");

  std::vector<std::string> known{"Basic"};
  platform::addOfferedSchemes(value, known);
  std::vector<std::string> expected{"Basic"};
  for (const std::string& scheme : offered) {
    if (scheme != "Basic") expected.push_back(scheme);
  }
  fuzz::expect(known == expected, "schemes known before stay first");
  return 0;
}
