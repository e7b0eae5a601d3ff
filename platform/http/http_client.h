#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/core/wipe.h"
#include "platform/http/auth/auth_scheme.h"

namespace platform {

struct HttpSettings {
  std::string url;
  long timeoutSeconds = 60;  // for one request, connecting included
  HttpAuthScheme auth = HttpAuthScheme::kNone;
  std::string user;
  std::string password;
  std::string caFile;  // PEM certificates to trust; empty: the system's
  // The largest answer held; a larger one is not taken.
  std::size_t answerLimit = std::size_t{256} << 20;
  // Called now and then while a request is in flight, on the thread that
  // posts it, at least about once a second while nothing arrives. It must
  // not throw.
  std::function<void()> whileWaiting;

  HttpSettings() = default;
  HttpSettings(const HttpSettings&) = default;
  HttpSettings& operator=(const HttpSettings&) = default;
  // The password goes with the settings, wiped.
  ~HttpSettings() { wipe(password); }
};

struct HttpAnswer {
  enum class Kind {
    kAnswered,    // `status` and `body` are the answer to the request's body
    kKeptAsking,  // the peer answered every send with a challenge; `status`
                  // and `body` are its last answer
    kTooLarge,    // the answer was larger than the limit: nothing is held
  };
  Kind kind = Kind::kAnswered;
  long status = 0;
  std::string body;
  std::string mediaType;  // as its Content-Type gave it; empty: none
  // The schemes a 401 answer asks for.
  std::vector<std::string> offeredSchemes;
};

// HTTP/1.1 POSTs to one address over one kept-alive connection, opened on
// the first request and again only when the peer has closed it. A request's
// body reaches the peer once: when it goes again, and with or without the
// login, is the resend rule's to say (platform/http/auth/resend_rule.h).
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
