#include "delivery/provider_address.h"

#include <cctype>

std::string addressWithoutCredentials(const std::string& address) {
  const std::size_t scheme = address.find("://");
  const std::size_t start = scheme == std::string::npos ? 0 : scheme + 3;
  // Whatever comes before the last '@' may be a user name and password,
  // written with characters an address does not allow unencoded: it is
  // never shown.
  const std::size_t at = address.rfind('@');
  if (at == std::string::npos || at < start) return address;
  return address.substr(0, start) + address.substr(at + 1);
}

bool isHttpAddress(const std::string& address) {
  std::string scheme = address.substr(0, address.find("://"));
  for (char& c : scheme) {
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return address.find("://") != std::string::npos &&
         (scheme == "http" || scheme == "https");
}

std::string withoutBlanksAround(const std::string& text) {
  const char* const kBlanks = " \t\r\n";
  const std::size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}
