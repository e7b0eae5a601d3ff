#include <curl/curl.h>

#include <memory>

#include "platform/core/wipe.h"
#include "platform/http/http_address.h"

namespace platform {

namespace {

struct UrlCleanup {
  void operator()(CURLU* url) const { curl_url_cleanup(url); }
};

// A part of the address, "" when it has none.
std::string partOf(CURLU* url, CURLUPart part, unsigned int flags) {
  char* text = nullptr;
  if (curl_url_get(url, part, &text, flags) != CURLUE_OK || text == nullptr) {
    return "";
  }
  std::string value = text;
  curl_free(text);
  return value;
}

}  // namespace

HttpAddress::~HttpAddress() {
  wipe(passwordAsWritten);
  wipe(password);
}

bool readHttpAddress(const std::string& address, HttpAddress& parts,
                     std::string& reason) {
  const std::unique_ptr<CURLU, UrlCleanup> url(curl_url());
  if (!url) {
    reason = "out of memory";
    return false;
  }
  const CURLUcode read = curl_url_set(url.get(), CURLUPART_URL, address.c_str(),
                                      CURLU_NON_SUPPORT_SCHEME);
  if (read != CURLUE_OK) {
    reason = curl_url_strerror(read);
    return false;
  }
  parts.user = partOf(url.get(), CURLUPART_USER, CURLU_URLDECODE);
  parts.passwordAsWritten = partOf(url.get(), CURLUPART_PASSWORD, 0);
  parts.password = partOf(url.get(), CURLUPART_PASSWORD, CURLU_URLDECODE);
  curl_url_set(url.get(), CURLUPART_USER, nullptr, 0);
  curl_url_set(url.get(), CURLUPART_PASSWORD, nullptr, 0);
  parts.shown = partOf(url.get(), CURLUPART_URL, 0);
  return true;
}

}  // namespace platform
