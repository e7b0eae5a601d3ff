#include "platform/http/auth/basic_login.h"

#include "platform/core/wipe.h"

namespace platform {

namespace {

std::string base64(const std::string& text) {
  static const char kDigits[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((text.size() + 2) / 3 * 4);
  for (std::size_t i = 0; i < text.size(); i += 3) {
    unsigned value = static_cast<unsigned>(static_cast<unsigned char>(text[i]))
                     << 16;
    if (i + 1 < text.size()) {
      value |= static_cast<unsigned>(static_cast<unsigned char>(text[i + 1]))
               << 8;
    }
    if (i + 2 < text.size()) value |= static_cast<unsigned char>(text[i + 2]);
    out += kDigits[(value >> 18) & 63];
    out += kDigits[(value >> 12) & 63];
    out += i + 1 < text.size() ? kDigits[(value >> 6) & 63] : '=';
    out += i + 2 < text.size() ? kDigits[value & 63] : '=';
  }
  return out;
}

}  // namespace

std::string basicCredentials(const std::string& user,
                             const std::string& password) {
  std::string login = user + ":" + password;
  std::string sent = base64(login);
  wipe(login);
  return sent;
}

}  // namespace platform
