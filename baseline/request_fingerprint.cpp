#include "baseline/request_fingerprint.h"

#include <cstdint>

namespace {

// FNV-1a: defined byte by byte, so no platform can change it.
class Fnv1a {
 public:
  void add(std::string_view text) {
    for (const char c : text) {
      hash_ = (hash_ ^ static_cast<unsigned char>(c)) * 0x100000001b3ULL;
    }
  }
  std::uint64_t value() const { return hash_; }

 private:
  std::uint64_t hash_ = 0xcbf29ce484222325ULL;
};

}  // namespace

std::string requestFingerprint(std::string_view type, std::string_view action,
                               std::string_view payload) {
  // XML names hold no NUL, so the parts cannot run into each other.
  Fnv1a hash;
  hash.add(type);
  hash.add(std::string_view("", 1));
  hash.add(action);
  hash.add(std::string_view("", 1));
  hash.add(payload);
  static const char kHex[] = "0123456789abcdef";
  std::string digits(16, '0');
  std::uint64_t value = hash.value();
  for (std::size_t i = 16; i-- > 0; value >>= 4) digits[i] = kHex[value & 0xF];
  return digits;
}

std::string_view envelopePayload(std::string_view request) {
  if (!request.empty() && request.back() == '\0') request.remove_suffix(1);
  constexpr std::string_view kOpen = "<mdprovider";
  constexpr std::string_view kClose = "</mdprovider>";
  if (request.substr(0, kOpen.size()) != kOpen) return request;
  std::size_t at = kOpen.size();
  // Attribute values may hold '>' (the writer escapes only the quote), so
  // each value is passed by its closing quote.
  while (at < request.size()) {
    const char c = request[at];
    if (c == '>') break;
    if (c == '/')
      return request.substr(at, 2) == "/>" ? std::string_view() : request;
    if (c != '"' && c != '\'') {
      ++at;
      continue;
    }
    const std::size_t end = request.find(c, at + 1);
    if (end == std::string_view::npos) return request;
    at = end + 1;
  }
  const std::size_t start = at + 1;
  const std::size_t end = request.rfind(kClose);
  if (at >= request.size() || end == std::string_view::npos || end < start ||
      end + kClose.size() != request.size()) {
    return request;
  }
  return request.substr(start, end - start);
}
