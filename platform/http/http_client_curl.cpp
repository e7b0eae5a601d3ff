#include <curl/curl.h>

#include <cctype>
#include <cstring>
#include <memory>
#include <string_view>

#include "platform/core/tov_exception.h"
#include "platform/http/http_client.h"

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

bool startsWithIgnoringCase(std::string_view text, std::string_view start) {
  if (text.size() < start.size()) return false;
  for (std::size_t i = 0; i < start.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(text[i])) !=
        std::tolower(static_cast<unsigned char>(start[i]))) {
      return false;
    }
  }
  return true;
}

// "HTTP/1.1 401 Unauthorized": the status.
bool statusOf(std::string_view line, long& status) {
  if (!startsWithIgnoringCase(line, "HTTP/")) return false;
  const std::size_t space = line.find(' ');
  if (space == std::string_view::npos) return false;
  status = 0;
  for (std::size_t i = space + 1; i < line.size() && i < space + 4; ++i) {
    if (line[i] < '0' || line[i] > '9') return false;
    status = status * 10 + (line[i] - '0');
  }
  return true;
}

// "WWW-Authenticate: Digest realm=..." (or Proxy-Authenticate): "Digest".
bool challengeOf(std::string_view line, std::string_view& scheme) {
  std::size_t at = 0;
  for (const std::string_view name :
       {std::string_view("WWW-Authenticate:"),
        std::string_view("Proxy-Authenticate:")}) {
    if (startsWithIgnoringCase(line, name)) at = name.size();
  }
  if (at == 0) return false;
  while (at < line.size() && (line[at] == ' ' || line[at] == '\t')) ++at;
  std::size_t end = at;
  while (end < line.size() && line[end] != ' ' && line[end] != '\t' &&
         line[end] != '\r' && line[end] != '\n' && line[end] != ',') {
    ++end;
  }
  scheme = line.substr(at, end - at);
  return !scheme.empty();
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
  std::string answer;
  int sends = 0;
  long lastStatus = 0;  // of the answer to the latest send, 0 before it
  std::string offered;  // the schemes that answer asks for
  bool answerTooLarge = false;

  void set(CURLcode status) {
    if (status != CURLE_OK) throw new TOVException(curl_easy_strerror(status));
  }
  template <typename Value>
  void option(CURLoption name, Value value) {
    set(curl_easy_setopt(handle.get(), name, value));
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
  // Every header line of every answer, those of challenges included.
  static std::size_t readHeader(char* data, std::size_t size, std::size_t count,
                                void* session) {
    auto& state = *static_cast<Session*>(session);
    const std::string_view line(data, size * count);
    try {
      state.noteHeader(line);
    } catch (...) {
      return 0;
    }
    return size * count;
  }
  void noteHeader(std::string_view line) {
    long status = 0;
    if (statusOf(line, status)) {
      lastStatus = status;
      offered.clear();
      return;
    }
    std::string_view scheme;
    if (challengeOf(line, scheme)) {
      if (!offered.empty()) offered += ", ";
      offered.append(scheme.data(), scheme.size());
    }
  }
  // Called before each send of the request, on a new or reused connection:
  // the first, and another only in answer to a challenge of the one before.
  static int beforeSend(void* session, char*, char*, int, int) {
    auto& state = *static_cast<Session*>(session);
    const bool challenged = state.lastStatus == 401 || state.lastStatus == 407;
    const bool allowed = ++state.sends == 1 || challenged;
    state.lastStatus = 0;
    return allowed ? CURL_PREREQFUNC_OK : CURL_PREREQFUNC_ABORT;
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
  // The body goes from memory, with the headers in one write when small;
  // beforeSend decides whether libcurl may send it again.
  s.option(CURLOPT_PREREQFUNCTION, Session::beforeSend);
  s.option(CURLOPT_PREREQDATA, &s);
  s.option(CURLOPT_HEADERFUNCTION, Session::readHeader);
  s.option(CURLOPT_HEADERDATA, &s);
  s.option(CURLOPT_WRITEFUNCTION, Session::keepAnswer);
  s.option(CURLOPT_WRITEDATA, &s);
  s.option(CURLOPT_FOLLOWLOCATION, 0L);
  s.option(CURLOPT_NOSIGNAL, 1L);
  s.option(CURLOPT_TIMEOUT, settings.timeoutSeconds);
  s.option(CURLOPT_CONNECTTIMEOUT, settings.timeoutSeconds);
  if (!settings.caFile.empty()) {
    s.option(CURLOPT_CAINFO, settings.caFile.c_str());
    s.option(CURLOPT_CAPATH, static_cast<const char*>(nullptr));
  }
  s.header("Content-Type: application/xml; charset=utf-8");
  s.header("Expect:");  // send the body at once, never wait for 100
  s.option(CURLOPT_HTTPHEADER, s.headers.get());
  if (settings.auth != HttpAuthScheme::kNone) {
    // One scheme alone: Basic then goes with the first request.
    s.option(CURLOPT_HTTPAUTH, curlAuth(settings.auth));
    // Negotiate without a password presents the session's own ticket,
    // which a user name would make Windows' SSPI look past.
    const bool sessionTicket = settings.auth == HttpAuthScheme::kNegotiate &&
                               settings.password.empty();
    s.option(CURLOPT_USERNAME, sessionTicket ? "" : settings.user.c_str());
    s.option(CURLOPT_PASSWORD, settings.password.c_str());
  }
}

HttpClient::~HttpClient() = default;

HttpAnswer HttpClient::post(const char* body, std::size_t size) {
  Session& s = *session_;
  s.sends = 0;
  s.lastStatus = 0;
  s.offered.clear();
  s.answerTooLarge = false;
  s.answer.clear();
  s.error[0] = '\0';
  s.option(CURLOPT_POSTFIELDS, body);
  s.option(CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(size));
  const CURLcode status = curl_easy_perform(s.handle.get());
  if (status == CURLE_ABORTED_BY_CALLBACK && s.sends > 1) {
    // libcurl wanted to send it again without a challenge: on a new
    // connection after the old one broke.
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
  if (answer.status == 401 || answer.status == 407) {
    answer.offeredSchemes.swap(s.offered);
  }
  return answer;
}

}  // namespace platform
