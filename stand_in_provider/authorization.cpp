#include "stand_in_provider/authorization.h"

#include <string>

namespace {

std::string base64(const std::string& text) {
  static const char kDigits[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (std::size_t i = 0; i < text.size(); i += 3) {
    unsigned value = static_cast<unsigned char>(text[i]) << 16;
    if (i + 1 < text.size())
      value |= static_cast<unsigned char>(text[i + 1]) << 8;
    if (i + 2 < text.size()) value |= static_cast<unsigned char>(text[i + 2]);
    out += kDigits[(value >> 18) & 63];
    out += kDigits[(value >> 12) & 63];
    out += i + 1 < text.size() ? kDigits[(value >> 6) & 63] : '=';
    out += i + 2 < text.size() ? kDigits[value & 63] : '=';
  }
  return out;
}

}  // namespace

bool authorized(const Faults& faults, const httplib::Request& request,
                httplib::Response& response) {
  const std::string given = request.get_header_value("Authorization");
  if (!faults.basic.empty() && given != "Basic " + base64(faults.basic)) {
    response.status = 401;
    response.set_header("WWW-Authenticate", "Basic realm=\"mdprovider\"");
    return false;
  }
  if (faults.ntlm) {
    // The handshake is never completed: the stand-in only demands it.
    response.status = 401;
    response.set_header("WWW-Authenticate", "NTLM");
    return false;
  }
  return true;
}
