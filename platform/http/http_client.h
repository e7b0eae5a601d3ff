#pragma once

#include <cstddef>
#include <memory>
#include <string>

namespace platform {

enum class HttpAuthScheme { kNone, kBasic, kDigest, kNtlm, kNegotiate };

struct HttpSettings {
  std::string url;
  long timeoutSeconds = 60;  // for one request, connecting included
  HttpAuthScheme auth = HttpAuthScheme::kNone;
  std::string user;
  std::string password;
  std::string caFile;  // PEM certificates to trust; empty: the system's
};

struct HttpAnswer {
  long status = 0;
  std::string body;
  // The schemes a 401 or 407 answer asks for, as "NTLM, Negotiate".
  std::string offeredSchemes;
};

// HTTP/1.1 POSTs to one address over one kept-alive connection, opened on
// the first request and again only when the peer has closed it. A request
// is sent again only when the peer answered the send before with 401 or
// 407, an authentication challenge, which the peer answers before it does
// anything with the request. A connection that dies after the request went
// out fails the request instead: the peer may have processed it.
// Redirects are not followed.
class HttpClient {
 public:
  explicit HttpClient(const HttpSettings& settings);
  ~HttpClient();
  HttpClient(const HttpClient&) = delete;
  HttpClient& operator=(const HttpClient&) = delete;

  // Posts `size` bytes as application/xml. Throws a TOVException whose text
  // is the reason when no whole HTTP answer came back.
  HttpAnswer post(const char* body, std::size_t size);

 private:
  struct Session;
  std::unique_ptr<Session> session_;
};

}  // namespace platform
