#include "connection/provider_address.h"

std::string addressWithoutCredentials(const std::string& address) {
  const std::size_t scheme = address.find("://");
  if (scheme == std::string::npos) return address;
  const std::size_t start = scheme + 3;
  std::size_t end = address.find_first_of("/?#", start);
  if (end == std::string::npos) end = address.size();
  // The last '@' of the authority ends the credentials: a password may
  // itself hold one.
  const std::size_t at = address.rfind('@', end == 0 ? 0 : end - 1);
  if (at == std::string::npos || at < start) return address;
  return address.substr(0, start) + address.substr(at + 1);
}

bool isHttpAddress(const std::string& address) {
  return address.rfind("http://", 0) == 0 || address.rfind("https://", 0) == 0;
}
