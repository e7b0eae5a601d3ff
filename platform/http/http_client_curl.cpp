#include <curl/curl.h>

#include <cctype>
#include <cstring>
#include <memory>
#include <string_view>

#include "platform/core/tov_exception.h"
#include "platform/http/auth/auth_challenges.h"
#include "platform/http/auth/session_sign_on.h"
#include "platform/http/http_client.h"

namespace platform {

namespace {

// A peer that answers more challenges than this to one request keeps
// asking: a Digest server that finds every nonce stale, for one.
constexpr int kMostChallenges = 3;
// Every send of one request, probes and challenges included.
constexpr int kMostSends = 8;
// The same request sent again after its answer: once without a login the
// peer did not ask for, once with it when the peer then asks after all.
constexpr int kMostPerforms = 3;

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

// The value of a WWW-Authenticate line, if it is one: the provider's; a
// proxy's Proxy-Authenticate is no word of the provider's.
bool challengeOf(std::string_view line, std::string_view& value) {
  const std::string_view name = "WWW-Authenticate:";
  if (!startsWithIgnoringCase(line, name)) return false;
  value = line.substr(name.size());
  return true;
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
  // The login, as libcurl is given it while the peer asks for one.
  unsigned long auth = CURLAUTH_NONE;
  std::string user;
  bool loginOn = false;

  // One request.
  std::size_t bodySize = 0;
  int sends = 0;
  int challenges = 0;
  bool keptAsking = false;
  bool answerTooLarge = false;
  // Whether a send of the body may have reached the peer.
  bool bodyLeft = false;
  // The answer to the latest send: its status (0 before it comes), whether
  // that send carried the body, and the schemes it asks for.
  bool awaiting = false;  // a send went out and its answer has not begun
  bool inAnswer = false;  // the answer's header lines are coming
  long lastStatus = 0;
  bool lastCarriedBody = false;
  std::string answer;
  std::vector<std::string> offered;
  // A probe was answered without a challenge: the peer asks for no login.
  bool probeNotChallenged = false;

  void set(CURLcode status) {
    if (status != CURLE_OK) throw new TOVException(curl_easy_strerror(status));
  }
  template <typename Value>
  void option(CURLoption name, Value value) {
    set(curl_easy_setopt(handle.get(), name, value));
  }

  void login(bool on) {
    loginOn = on;
    option(CURLOPT_HTTPAUTH, on ? auth : CURLAUTH_NONE);
    option(CURLOPT_USERNAME, on ? user.c_str() : nullptr);
  }
  // libcurl keeps sending empty probes on a connection that has begun a
  // handshake: the body goes on a new one.
  CURLcode performAfresh() {
    option(CURLOPT_FRESH_CONNECT, 1L);
    const CURLcode status = perform();
    option(CURLOPT_FRESH_CONNECT, 0L);
    return status;
  }

  // Nothing may unwind through libcurl's C frames: an answer too large to
  // hold ends the transfer instead.
  static std::size_t keepAnswer(char* data, std::size_t size, std::size_t count,
                                void* session) {
    auto& state = *static_cast<Session*>(session);
    const std::size_t bytes = size * count;
    if (bytes > state.answerLimit - state.answer.size()) {
      state.answerTooLarge = true;
      return 0;
    }
    try {
      state.answer.append(data, bytes);
    } catch (...) {
      state.answerTooLarge = true;
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
    long status = 0;
    if (statusOf(line, status)) {
      // A proxy's answer to CONNECT comes before any send: it is not the
      // peer's answer. Nor is an interim 1xx.
      if (!awaiting || status < 200) return true;
      awaiting = false;
      inAnswer = true;
      lastStatus = status;
      curl_off_t uploaded = 0;
      curl_easy_getinfo(handle.get(), CURLINFO_SIZE_UPLOAD_T, &uploaded);
      lastCarriedBody = bodySize == 0 || uploaded > 0;
      if (lastCarriedBody) bodyLeft = true;
      const bool challenge = status == 401 || status == 407;
      if (!lastCarriedBody && !challenge) probeNotChallenged = true;
      answer.clear();
      offered.clear();
      return true;
    }
    if (!inAnswer) return true;
    std::string_view value;
    if (challengeOf(line, value)) {
      addOfferedSchemes(value, offered);
    } else if (line == "\r\n" || line == "\n") {
      inAnswer = false;
      return fitsLimit();
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
      answerTooLarge = true;
      return false;
    }
    answer.reserve(static_cast<std::size_t>(length));
    return true;
  }
  // Called before each send of the request, on a new or reused connection.
  static int beforeSend(void* session, char*, char*, int, int) {
    auto& state = *static_cast<Session*>(session);
    return state.maySend() ? CURL_PREREQFUNC_OK : CURL_PREREQFUNC_ABORT;
  }
  bool maySend() {
    if (sends > 0 && lastStatus == 0 && bodySize > 0) {
      // The send before got no answer: it may have carried the body.
      bodyLeft = true;
    }
    if (sends > 0 && bodyLeft) {
      // Again only in answer to a challenge to the body, a few times.
      if (lastStatus != 401 && lastStatus != 407) return false;
      if (++challenges > kMostChallenges) {
        keptAsking = true;
        return false;
      }
    }
    if (++sends > kMostSends) {
      keptAsking = true;
      return false;
    }
    awaiting = true;
    inAnswer = false;
    lastStatus = 0;
    return true;
  }

  void header(const char* line) {
    curl_slist* longer = curl_slist_append(headers.get(), line);
    if (longer == nullptr) throw new TOVException("out of memory");
    static_cast<void>(headers.release());
    headers.reset(longer);
  }

  // One transfer of the request, with every send libcurl makes for it.
  CURLcode perform() {
    sends = 0;
    challenges = 0;
    keptAsking = false;
    bodyLeft = false;
    awaiting = false;
    inAnswer = false;
    lastStatus = 0;
    lastCarriedBody = false;
    answer.clear();
    offered.clear();
    error[0] = '\0';
    return curl_easy_perform(handle.get());
  }
};

HttpClient::HttpClient(const HttpSettings& settings)
    : session_(std::make_unique<Session>()) {
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
  s.bodySize = size;
  s.answerTooLarge = false;
  s.option(CURLOPT_POSTFIELDS, body);
  s.option(CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(size));
  const bool loginGiven = s.auth != CURLAUTH_NONE;
  bool loginTried = s.loginOn;
  bool afresh = false;
  // The answer to the latest send that carried the body: the one that
  // decides.
  HttpAnswer decided;
  bool bodyAnswered = false;
  for (int performs = 1;; ++performs) {
    s.probeNotChallenged = false;
    const CURLcode status = afresh ? s.performAfresh() : s.perform();
    if (s.answerTooLarge) {
      decided.kind = HttpAnswer::Kind::kTooLarge;
      return decided;
    }
    if (status != CURLE_OK && !s.keptAsking) {
      std::string reason =
          status == CURLE_ABORTED_BY_CALLBACK
              // libcurl wanted to send the body again without a challenge:
              // on a new connection after the old one broke.
              ? std::string("the connection closed before an answer came")
              : std::string(s.error[0] != '\0' ? s.error
                                               : curl_easy_strerror(status));
      // A send that got no answer may have carried the body.
      if (s.bodyLeft || (s.sends > 0 && s.lastStatus == 0 && size > 0)) {
        reason +=
            "; the request may have reached the provider and is not "
            "sent again";
      }
      throw new TOVException(reason);
    }
    // A login the peer did not ask for is not offered to it again.
    if (s.probeNotChallenged && s.loginOn) s.login(false);
    const bool challenged = s.lastStatus == 401 || s.lastStatus == 407;
    if (s.lastCarriedBody || s.keptAsking) {
      decided.kind = s.keptAsking ? HttpAnswer::Kind::kKeptAsking
                                  : HttpAnswer::Kind::kAnswered;
      decided.status = s.lastStatus;
      decided.body.swap(s.answer);
      decided.offeredSchemes.swap(s.offered);
      decided.mediaType = contentTypeOf(s.handle.get());
      bodyAnswered = true;
    }
    if (performs >= kMostPerforms || s.keptAsking) break;
    if (!s.lastCarriedBody) {
      // The answer to a probe decides nothing, whatever it says: unless the
      // body was answered already, it goes now, without a login.
      if (bodyAnswered) break;
      if (s.loginOn) s.login(false);
      afresh = true;
      continue;
    }
    // Asked for a login after all, while none was sent: once.
    if (challenged && loginGiven && !s.loginOn && !loginTried) {
      s.login(true);
      loginTried = true;
      afresh = false;
      continue;
    }
    break;
  }
  if (!bodyAnswered) {
    // The body never got through the handshake: the probe's answer is all
    // there is to tell.
    decided.status = s.lastStatus;
    decided.body.swap(s.answer);
    decided.offeredSchemes.swap(s.offered);
    decided.mediaType = contentTypeOf(s.handle.get());
  }
  if (decided.status != 401) decided.offeredSchemes.clear();
  return decided;
}

}  // namespace platform
