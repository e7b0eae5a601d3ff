#pragma once

#include <cstdint>
#include <string_view>

// FNV-1a, defined byte by byte so that no platform changes it: request
// fingerprints are kept in baseline files.
class Fnv1a {
 public:
  static constexpr std::uint64_t kOffset = 0xcbf29ce484222325ULL;

  explicit Fnv1a(std::uint64_t seed = kOffset) : hash_(seed) {}

  void add(std::string_view text) {
    for (const char c : text) step(static_cast<unsigned char>(c));
  }
  // Eight bytes, least significant first.
  void addNumber(std::uint64_t value) {
    for (int i = 0; i < 8; ++i, value >>= 8) step(value & 0xFF);
  }
  std::uint64_t value() const { return hash_; }

 private:
  void step(std::uint64_t byte) { hash_ = (hash_ ^ byte) * 0x100000001b3ULL; }

  std::uint64_t hash_;
};
