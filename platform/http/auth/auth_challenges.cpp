#include "platform/http/auth/auth_challenges.h"

#include <algorithm>

#include "platform/core/ascii_case.h"

namespace platform {

namespace {

bool isSpace(char c) { return c == ' ' || c == '\t'; }

bool isTokenChar(char c) {
  return c > ' ' && c < 0x7f && c != ',' && c != '=' && c != '"' && c != '(' &&
         c != ')' && c != '/' && c != ':' && c != ';' && c != '<' && c != '>' &&
         c != '?' && c != '@' && c != '[' && c != '\\' && c != ']' &&
         c != '{' && c != '}';
}

// The list's elements, split at commas outside quoted strings.
std::vector<std::string_view> elements(std::string_view value) {
  std::vector<std::string_view> found;
  std::size_t start = 0;
  bool quoted = false;
  for (std::size_t i = 0; i <= value.size(); ++i) {
    if (i == value.size() || (!quoted && value[i] == ',')) {
      found.push_back(value.substr(start, i - start));
      start = i + 1;
    } else if (value[i] == '"') {
      quoted = !quoted;
    } else if (quoted && value[i] == '\\' && i + 1 < value.size()) {
      // An escaped character, a quote included; a value that ends after
      // the backslash still ends its last element.
      ++i;
    }
  }
  return found;
}

}  // namespace

void addOfferedSchemes(std::string_view value,
                       std::vector<std::string>& schemes) {
  for (std::string_view element : elements(value)) {
    std::size_t at = 0;
    while (at < element.size() && isSpace(element[at])) ++at;
    std::size_t end = at;
    while (end < element.size() && isTokenChar(element[end])) ++end;
    if (end == at) continue;
    // A token followed by "=" is a parameter of the challenge before it;
    // followed by anything else, or nothing, it names a scheme.
    std::size_t next = end;
    while (next < element.size() && isSpace(element[next])) ++next;
    if (next < element.size() && element[next] == '=') continue;
    const std::string scheme(element.substr(at, end - at));
    if (std::find(schemes.begin(), schemes.end(), scheme) == schemes.end()) {
      schemes.push_back(scheme);
    }
  }
}

bool offersScheme(const std::vector<std::string>& offered,
                  std::string_view name) {
  for (const std::string& scheme : offered) {
    if (sameIgnoringCase(scheme, name)) return true;
  }
  return false;
}

}  // namespace platform
