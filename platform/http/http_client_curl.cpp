#include <curl/curl.h>

#include <functional>
#include <memory>
#include <string_view>

#include "platform/core/tov_exception.h"
#include "platform/http/answer_header.h"
#include "platform/http/auth/resend_rule.h"
#include "platform/http/auth/session_sign_on.h"
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
  std::size_t answerLimit = 0;
  // The login, as libcurl is given it while the rule has it on.
  unsigned long auth = CURLAUTH_NONE;
  std::string user;
  bool loginOn = false;
  ResendRule rule;
  std::function<void()> whileWaiting;
  // The answer to the latest send.
  std::string answer;

  explicit Session(bool loginGiven) : rule(loginGiven) {}

  void set(CURLcode status) {
    if (status != CURLE_OK) throw new TOVException(curl_easy_strerror(status));
  }
  template <typename Value>
  void option(CURLoption name, Value value) {
    set(curl_easy_setopt(handle.get(), name, value));
  }

  void login(bool on) {
    if (on == loginOn) return;
    loginOn = on;
    option(CURLOPT_HTTPAUTH, on ? auth : CURLAUTH_NONE);
    option(CURLOPT_USERNAME, on ? user.c_str() : nullptr);
  }

  // Nothing may unwind through libcurl's C frames: an answer too large to
  // hold ends the transfer instead.
  static std::size_t keepAnswer(char* data, std::size_t size, std::size_t count,
                                void* session) {
    auto& state = *static_cast<Session*>(session);
    const std::size_t bytes = size * count;
    if (bytes > state.answerLimit - state.answer.size()) {
      state.rule.tooLarge();
      return 0;
    }
    try {
      state.answer.append(data, bytes);
    } catch (...) {
      state.rule.tooLarge();
      return 0;
    }
    return bytes;
  }
  // Every header line of every answer, those of challenges included.
  static std::size_t readHeader(char* data, std::size_t size, std::size_t count,
                                void* session) {
    auto& state = *static_cast<Session*>(session);
    const std::string_view line(data, size * count);
    try {
      if (!state.noteHeader(line)) return 0;
    } catch (...) {
      return 0;
    }
    return size * count;
  }
  bool noteHeader(std::string_view line) {
    const AnswerHeaderLine read = readAnswerHeaderLine(line);
    switch (read.kind) {
      case AnswerHeaderLine::Kind::kStatus: {
        curl_off_t uploaded = 0;
        curl_easy_getinfo(handle.get(), CURLINFO_SIZE_UPLOAD_T, &uploaded);
        if (rule.statusLine(read.status, uploaded > 0)) answer.clear();
        return true;
      }
      case AnswerHeaderLine::Kind::kChallenge:
        rule.challenge(read.value);
        return true;
      case AnswerHeaderLine::Kind::kEnd:
        return !rule.headerEnded() || fitsLimit();
      case AnswerHeaderLine::Kind::kOther:
        break;
    }
    return true;
  }
  // Told at the end of an answer's header: room for its announced length.
  bool fitsLimit() {
    curl_off_t length = -1;
    curl_easy_getinfo(handle.get(), CURLINFO_CONTENT_LENGTH_DOWNLOAD_T,
                      &length);
    if (length < 0) return true;
    if (static_cast<unsigned long long>(length) > answerLimit) {
      rule.tooLarge();
      return false;
    }
    answer.reserve(static_cast<std::size_t>(length));
    return true;
  }
  static int progress(void* session, curl_off_t, curl_off_t, curl_off_t,
                      curl_off_t) {
    auto& state = *static_cast<Session*>(session);
    try {
      state.whileWaiting();
    } catch (...) {
      // Nothing may unwind through libcurl, and a hook's fault is no
      // reason to drop the request.
    }
    return 0;
  }
  // Called before each send of the request, on a new or reused connection.
  static int beforeSend(void* session, char*, char*, int, int) {
    auto& state = *static_cast<Session*>(session);
    return state.rule.send() ? CURL_PREREQFUNC_OK : CURL_PREREQFUNC_ABORT;
  }

  void header(const char* line) {
    curl_slist* longer = curl_slist_append(headers.get(), line);
    if (longer == nullptr) throw new TOVException("out of memory");
    static_cast<void>(headers.release());
    headers.reset(longer);
  }

  // One transfer of the request, with every send libcurl makes for it;
  // libcurl keeps sending empty probes on a connection that has begun a
  // handshake, so the rule may ask for a new one.
  ResendRule::Decision transfer(bool fresh) {
    answer.clear();
    error[0] = '\0';
    if (fresh) option(CURLOPT_FRESH_CONNECT, 1L);
    const CURLcode status = curl_easy_perform(handle.get());
    if (fresh) option(CURLOPT_FRESH_CONNECT, 0L);
    const ResendRule::Decision decision = rule.transferEnded(
        status == CURLE_OK
            ? nullptr
            : (error[0] != '\0' ? error : curl_easy_strerror(status)));
    login(decision.login);
    return decision;
  }
};

HttpClient::HttpClient(const HttpSettings& settings)
    : session_(
          std::make_unique<Session>(settings.auth != HttpAuthScheme::kNone)) {
  initializeOnce();
  Session& s = *session_;
  s.handle.reset(curl_easy_init());
  if (!s.handle) throw new TOVException("the HTTP library could not start");
  s.answerLimit = settings.answerLimit;
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
  if (settings.whileWaiting) {
    s.whileWaiting = settings.whileWaiting;
    s.option(CURLOPT_XFERINFOFUNCTION, Session::progress);
    s.option(CURLOPT_XFERINFODATA, &s);
    s.option(CURLOPT_NOPROGRESS, 0L);
  }
  s.option(CURLOPT_FOLLOWLOCATION, 0L);
  s.option(CURLOPT_NOSIGNAL, 1L);
  // One connection at a time: a fresh one replaces the one before, which
  // is never taken up again.
  s.option(CURLOPT_MAXCONNECTS, 1L);
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
    s.auth = curlAuth(settings.auth);
    // Signing on as the session (Negotiate's ticket; on Windows NTLM too)
    // takes no user name: one would make SSPI look past the session's own
    // credentials.
    const bool asSession =
        settings.password.empty() && signsOnAsSession(settings.auth);
    s.user = asSession ? "" : settings.user;
    s.option(CURLOPT_PASSWORD, settings.password.c_str());
    s.login(true);
  }
}

HttpClient::~HttpClient() = default;

namespace {

std::string contentTypeOf(CURL* handle) {
  const char* type = nullptr;
  curl_easy_getinfo(handle, CURLINFO_CONTENT_TYPE, &type);
  return type != nullptr ? type : "";
}

}  // namespace

HttpAnswer HttpClient::post(const char* body, std::size_t size) {
  Session& s = *session_;
  s.option(CURLOPT_POSTFIELDS, body);
  s.option(CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(size));
  s.rule.beginRequest(size);
  HttpAnswer taken;
  for (bool fresh = false;;) {
    const ResendRule::Decision next = s.transfer(fresh);
    if (next.takeAnswer) {
      taken.body.swap(s.answer);
      taken.mediaType = contentTypeOf(s.handle.get());
    }
    if (!next.sendAgain) break;
    fresh = next.fresh;
  }
  switch (s.rule.outcome()) {
    case ResendRule::Outcome::kFailed:
      throw new TOVException(s.rule.failure());
    case ResendRule::Outcome::kTooLarge: {
      HttpAnswer nothing;  // nothing of it is held
      nothing.kind = HttpAnswer::Kind::kTooLarge;
      return nothing;
    }
    case ResendRule::Outcome::kKeptAsking:
      taken.kind = HttpAnswer::Kind::kKeptAsking;
      break;
    case ResendRule::Outcome::kAnswered:
    case ResendRule::Outcome::kPending:
      break;
  }
  taken.status = s.rule.status();
  taken.offeredSchemes = s.rule.offeredSchemes();
  return taken;
}

}  // namespace platform
