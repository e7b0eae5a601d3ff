#include <curl/curl.h>

#include <cstring>
#include <memory>

#include "platform/http_client.h"
#include "platform/tov_exception.h"

namespace platform {

namespace {

struct EasyCleanup {
  void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
struct ListCleanup {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

void initializeOnce() {
  static const CURLcode status = curl_global_init(CURL_GLOBAL_DEFAULT);
  if (status != CURLE_OK) throw new TOVException(curl_easy_strerror(status));
}

unsigned long curlAuth(HttpAuthScheme scheme) {
  switch (scheme) {
    case HttpAuthScheme::kBasic:
      return CURLAUTH_BASIC;
    case HttpAuthScheme::kDigest:
      return CURLAUTH_DIGEST;
    case HttpAuthScheme::kNtlm:
      return CURLAUTH_NTLM;
    case HttpAuthScheme::kNegotiate:
      return CURLAUTH_NEGOTIATE;
    case HttpAuthScheme::kNone:
      break;
  }
  return CURLAUTH_NONE;
}

}  // namespace

struct HttpClient::Session {
  std::unique_ptr<CURL, EasyCleanup> handle;
  std::unique_ptr<curl_slist, ListCleanup> headers;
  char error[CURL_ERROR_SIZE] = {};
  const char* body = nullptr;
  std::size_t left = 0;
  std::string answer;
  // How the body goes out. With a scheme that takes a handshake, libcurl
  // sends the request more than once by design, the body only with the
  // last leg: the body is then read through a callback that cannot be
  // rewound. Otherwise it goes with the headers in one write, and a second
  // send of the same request is refused before it leaves.
  bool handshake = false;
  int sends = 0;
  bool answerTooLarge = false;

  void set(CURLcode status) {
    if (status != CURLE_OK) throw new TOVException(curl_easy_strerror(status));
  }
  template <typename Value>
  void option(CURLoption name, Value value) {
    set(curl_easy_setopt(handle.get(), name, value));
  }
  // The body is fed through this and there is no seek callback: libcurl
  // can then never rewind it to send it again on another connection.
  static std::size_t readBody(char* into, std::size_t size, std::size_t count,
                              void* session) {
    auto& state = *static_cast<Session*>(session);
    const std::size_t room = size * count;
    const std::size_t taken = state.left < room ? state.left : room;
    std::memcpy(into, state.body, taken);
    state.body += taken;
    state.left -= taken;
    return taken;
  }
  // Nothing may unwind through libcurl's C frames: an answer too large to
  // hold ends the transfer instead.
  static std::size_t keepAnswer(char* data, std::size_t size, std::size_t count,
                                void* session) {
    auto& state = *static_cast<Session*>(session);
    try {
      state.answer.append(data, size * count);
    } catch (...) {
      state.answerTooLarge = true;
      return 0;
    }
    return size * count;
  }
  // Called before each send of the request, on a new or reused connection.
  static int beforeSend(void* session, char*, char*, int, int) {
    auto& state = *static_cast<Session*>(session);
    return ++state.sends > 1 ? CURL_PREREQFUNC_ABORT : CURL_PREREQFUNC_OK;
  }
  void header(const char* line) {
    curl_slist* longer = curl_slist_append(headers.get(), line);
    if (longer == nullptr) throw new TOVException("out of memory");
    static_cast<void>(headers.release());
    headers.reset(longer);
  }
};

HttpClient::HttpClient(const HttpSettings& settings)
    : session_(std::make_unique<Session>()) {
  initializeOnce();
  Session& s = *session_;
  s.handle.reset(curl_easy_init());
  if (!s.handle) throw new TOVException("the HTTP library could not start");
  s.option(CURLOPT_ERRORBUFFER, s.error);
  s.option(CURLOPT_URL, settings.url.c_str());
  s.option(CURLOPT_PROTOCOLS_STR, "http,https");
  s.option(CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
  s.option(CURLOPT_POST, 1L);
  s.handshake = settings.auth == HttpAuthScheme::kNtlm ||
                settings.auth == HttpAuthScheme::kNegotiate ||
                settings.auth == HttpAuthScheme::kDigest;
  if (s.handshake) {
    s.option(CURLOPT_READFUNCTION, Session::readBody);
    s.option(CURLOPT_READDATA, &s);
  } else {
    s.option(CURLOPT_PREREQFUNCTION, Session::beforeSend);
    s.option(CURLOPT_PREREQDATA, &s);
  }
  s.option(CURLOPT_WRITEFUNCTION, Session::keepAnswer);
  s.option(CURLOPT_WRITEDATA, &s);
  s.option(CURLOPT_FOLLOWLOCATION, 0L);
  s.option(CURLOPT_NOSIGNAL, 1L);
  s.option(CURLOPT_TIMEOUT, settings.timeoutSeconds);
  s.option(CURLOPT_CONNECTTIMEOUT, settings.timeoutSeconds);
  s.header("Content-Type: application/xml; charset=utf-8");
  s.header("Expect:");  // send the body at once, never wait for 100
  s.option(CURLOPT_HTTPHEADER, s.headers.get());
  if (settings.auth != HttpAuthScheme::kNone) {
    // One scheme alone: Basic then goes with the first request.
    s.option(CURLOPT_HTTPAUTH, curlAuth(settings.auth));
    s.option(CURLOPT_USERNAME, settings.user.c_str());
    s.option(CURLOPT_PASSWORD, settings.password.c_str());
  }
}

HttpClient::~HttpClient() = default;

HttpAnswer HttpClient::post(const char* body, std::size_t size) {
  Session& s = *session_;
  s.body = body;
  s.left = size;
  s.sends = 0;
  s.answerTooLarge = false;
  s.answer.clear();
  s.error[0] = '\0';
  if (!s.handshake) s.option(CURLOPT_POSTFIELDS, body);
  s.option(CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(size));
  const CURLcode status = curl_easy_perform(s.handle.get());
  if (status == CURLE_SEND_FAIL_REWIND ||
      (status == CURLE_ABORTED_BY_CALLBACK && s.sends > 1)) {
    // libcurl wanted to send it again on a new connection.
    throw new TOVException(
        "the connection closed before an answer came; the request may have "
        "reached the provider and is not sent again");
  }
  if (s.answerTooLarge) {
    throw new TOVException("out of memory for the answer");
  }
  if (status != CURLE_OK) {
    throw new TOVException(s.error[0] != '\0' ? s.error
                                              : curl_easy_strerror(status));
  }
  HttpAnswer answer;
  curl_easy_getinfo(s.handle.get(), CURLINFO_RESPONSE_CODE, &answer.status);
  answer.body.swap(s.answer);
  return answer;
}

}  // namespace platform
