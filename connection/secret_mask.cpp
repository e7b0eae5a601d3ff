#include "connection/secret_mask.h"

#include <algorithm>

#include "platform/core/wipe.h"

namespace {

constexpr std::string_view kShown = "***";

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string percentDecoded(const std::string& text) {
  std::string decoded;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 &&
        hexValue(text[i + 2]) >= 0) {
      decoded +=
          static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
      i += 2;
    } else {
      decoded += text[i];
    }
  }
  return decoded;
}

}  // namespace

SecretMask::~SecretMask() {
  for (std::string& secret : secrets_) platform::wipe(secret);
}

void SecretMask::add(const std::string& secret) {
  if (secret.empty()) return;
  if (std::find(secrets_.begin(), secrets_.end(), secret) != secrets_.end()) {
    return;
  }
  secrets_.push_back(secret);
  // The longest first, so that a secret inside another is hidden with it.
  std::sort(secrets_.begin(), secrets_.end(),
            [](const std::string& a, const std::string& b) {
              return a.size() > b.size();
            });
}

void SecretMask::addFromAddress(const std::string& address) {
  const std::size_t scheme = address.find("://");
  if (scheme == std::string::npos) return;
  const std::size_t start = scheme + 3;
  std::size_t end = address.find_first_of("/?#", start);
  if (end == std::string::npos) end = address.size();
  const std::size_t at = address.rfind('@', end == 0 ? 0 : end - 1);
  if (at == std::string::npos || at < start) return;
  const std::size_t colon = address.find(':', start);
  if (colon == std::string::npos || colon > at) return;
  std::string password = address.substr(colon + 1, at - colon - 1);
  std::string decoded = percentDecoded(password);
  add(password);
  add(decoded);
  platform::wipe(password);
  platform::wipe(decoded);
}

std::size_t SecretMask::next(std::string_view text, std::size_t from,
                             std::size_t& size) const {
  std::size_t first = std::string_view::npos;
  for (const std::string& secret : secrets_) {
    const std::size_t at = text.find(secret, from);
    if (at < first) {
      first = at;
      size = secret.size();
    }
  }
  return first;
}

bool SecretMask::appearsIn(std::string_view text) const {
  std::size_t size = 0;
  return next(text, 0, size) != std::string_view::npos;
}

std::string SecretMask::hidden(std::string_view text) const {
  return hiddenHead(text, std::string::npos);
}

std::string SecretMask::hiddenHead(std::string_view text,
                                   std::size_t most) const {
  std::string shown;
  std::size_t from = 0;
  while (shown.size() < most) {
    std::size_t size = 0;
    const std::size_t at = next(text, from, size);
    const std::string_view plain =
        text.substr(from, at == std::string_view::npos ? text.npos : at - from);
    // Plain text holds the start of no secret: it may be cut anywhere.
    if (shown.size() + plain.size() >= most) {
      shown.append(plain.substr(0, most - shown.size()));
      break;
    }
    shown.append(plain);
    if (at == std::string_view::npos) break;
    shown.append(
        kShown.substr(0, std::min(kShown.size(), most - shown.size())));
    from = at + size;
  }
  return shown;
}
