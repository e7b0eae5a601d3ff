#include "secrets/secret_mask.h"

#include <algorithm>

#include "platform/core/wipe.h"

namespace {

constexpr std::string_view kShown = "***";

// The secret as XML text or an attribute value would carry it.
std::string xmlEscaped(const std::string& text) {
  std::string escaped;
  for (const char c : text) {
    switch (c) {
      case '&':
        escaped += "&amp;";
        break;
      case '<':
        escaped += "&lt;";
        break;
      case '>':
        escaped += "&gt;";
        break;
      case '"':
        escaped += "&quot;";
        break;
      case '\'':
        escaped += "&apos;";
        break;
      default:
        escaped += c;
    }
  }
  return escaped;
}

}  // namespace

SecretMask::~SecretMask() {
  for (std::string& secret : secrets_) platform::wipe(secret);
}

void SecretMask::add(const std::string& secret) {
  if (secret.empty()) return;
  keep(secret);
  std::string escaped = xmlEscaped(secret);
  keep(escaped);
  platform::wipe(escaped);
}

void SecretMask::keep(const std::string& secret) {
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

std::string SecretMask::hidden(std::string_view text,
                               std::vector<std::size_t>* at) const {
  return hiddenHead(text, std::string::npos, at);
}

std::string SecretMask::hiddenHead(std::string_view text, std::size_t most,
                                   std::vector<std::size_t>* hiddenAt) const {
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
    if (hiddenAt != nullptr && shown.size() + kShown.size() <= most) {
      hiddenAt->push_back(shown.size());
    }
    shown.append(
        kShown.substr(0, std::min(kShown.size(), most - shown.size())));
    from = at + size;
  }
  return shown;
}
