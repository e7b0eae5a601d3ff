// The resend rule, played case by case as the transport meets it: the
// handshakes of each scheme, probes, challenges that never end, proxies,
// interim answers and connections that break.
//
// A script is what the transport tells the rule. Requests are separated by
// ";", the transfers of a request by "|", events by blanks:
//   send          a send is about to go out (the rule may refuse it)
//   probe:S[:C]   the status line S of an answer to a send without the body,
//   body:S[:C]    or with it; then "WWW-Authenticate: C" when C is given,
//                 and the end of the header
//   interim:S     an interim answer (1xx), its header ended
//   connect:S     a proxy's answer to CONNECT, before the send
//   large         the answer is larger than the transport holds
//   broke         the connection broke: the transfer ends without an answer
// The transcript gives, for each transfer, "refused" for each send refused,
// then the decision ("again" or "stop", "login" when the login goes on,
// "fresh" for a new connection) and, after "=>", how the request ended: the
// answer taken (the event that began it, whose status the rule gives) and
// the schemes offered, or why it failed.

#include "platform/http/auth/resend_rule.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

using platform::ResendRule;

std::vector<std::string> split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::istringstream in(text);
  for (std::string part; std::getline(in, part, separator);) {
    parts.push_back(part);
  }
  return parts;
}

std::vector<std::string> words(const std::string& text) {
  std::vector<std::string> found;
  std::istringstream in(text);
  for (std::string word; in >> word;) found.push_back(word);
  return found;
}

// One request's transfers, told to `rule` as the transport would.
class Transport {
 public:
  explicit Transport(ResendRule& rule) : rule_(rule) {}

  std::string request(std::size_t bodySize, const std::string& script) {
    rule_.beginRequest(bodySize);
    taken_.clear();
    std::string said;
    const std::vector<std::string> transfers = split(script, '|');
    for (std::size_t i = 0; i < transfers.size(); ++i) {
      const ResendRule::Decision next = transfer(transfers[i], said);
      said += next.sendAgain ? "again" : "stop";
      if (next.login) said += " login";
      if (next.fresh) said += " fresh";
      if (next.takeAnswer) taken_ = answer_;
      const bool last = i + 1 == transfers.size();
      if (next.sendAgain == last) {
        return said + (last ? " (the rule sends again)" : " (the rule stops)");
      }
      if (!last) said += " | ";
    }
    return said + " => " + outcome();
  }

 private:
  ResendRule::Decision transfer(const std::string& script, std::string& said) {
    answer_.clear();
    const char* failure = nullptr;
    for (const std::string& event : words(script)) {
      const std::vector<std::string> parts = split(event, ':');
      const std::string& kind = parts[0];
      if (kind == "send") {
        if (!rule_.send()) {
          said += "refused ";
          failure = "aborted by a callback";
        }
      } else if (kind == "broke") {
        failure = "the connection broke";
      } else if (kind == "large") {
        rule_.tooLarge();
        failure = "write error";
      } else {
        const long status = std::stol(parts.at(1));
        if (rule_.statusLine(status, kind == "body")) {
          answer_ = kind + ":" + parts[1];
        }
        if (parts.size() > 2) rule_.challenge(" " + parts[2] + "\r\n");
        rule_.headerEnded();
      }
    }
    return rule_.transferEnded(failure);
  }

  std::string outcome() const {
    switch (rule_.outcome()) {
      case ResendRule::Outcome::kPending:
        return "pending";
      case ResendRule::Outcome::kFailed:
        return "failed: " + rule_.failure();
      case ResendRule::Outcome::kTooLarge:
        return "too large";
      case ResendRule::Outcome::kKeptAsking:
      case ResendRule::Outcome::kAnswered:
        break;
    }
    std::string said = rule_.outcome() == ResendRule::Outcome::kKeptAsking
                           ? "kept asking "
                           : "";
    said += taken_;
    const std::string status = std::to_string(rule_.status());
    if (taken_.substr(taken_.find(':') + 1) != status) {
      said += " (status " + status + ")";
    }
    const auto& offered = rule_.offeredSchemes();
    for (std::size_t i = 0; i < offered.size(); ++i) {
      said += (i == 0 ? " [" : " ") + offered[i];
    }
    return said + (offered.empty() ? "" : "]");
  }

  ResendRule& rule_;
  std::string answer_;  // the answer to the latest send
  std::string taken_;   // the request's answer
};

struct Case {
  const char* name;
  bool login;  // whether the run has a login
  std::size_t bodySize;
  std::string script;
  std::string transcript;
};

// Plays each case's requests, one after the other, to one rule.
void play(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    ResendRule rule(c.login);
    Transport transport(rule);
    std::string said;
    for (const std::string& request : split(c.script, ';')) {
      said +=
          (said.empty() ? "" : " ; ") + transport.request(c.bodySize, request);
    }
    EXPECT_EQ(said, c.transcript) << c.name;
  }
}

constexpr bool kLogin = true;
constexpr bool kNoLogin = false;

TEST(ResendRuleTest, EachSchemeSendsTheBodyOnce) {
  play({
      {"no login", kNoLogin, 10, "send body:200", "stop => body:200"},
      {"Basic goes with the body", kLogin, 10, "send body:200 ; send body:200",
       "stop login => body:200 ; stop login => body:200"},
      {"Digest: the probe meets the challenge; later requests reuse the nonce",
       kLogin, 10, "send probe:401:Digest send body:200 ; send body:200",
       "stop login => body:200 ; stop login => body:200"},
      {"Digest: a stale nonce is renewed after a 401 to the body", kLogin, 10,
       "send body:401:Digest,stale=true send body:200",
       "stop login => body:200"},
      {"NTLM authenticates a connection", kLogin, 10,
       "send probe:401:NTLM send body:200 ; send body:200",
       "stop login => body:200 ; stop login => body:200"},
      {"Negotiate", kLogin, 10, "send probe:401:Negotiate send body:200",
       "stop login => body:200"},
  });
}

TEST(ResendRuleTest, AProbeAnsweredWithoutAChallengeDecidesNothing) {
  play({
      {"200: the body goes without the login, on a new connection; so do the "
       "next",
       kLogin, 10, "send probe:200 | send body:200 ; send body:200",
       "again fresh | stop => body:200 ; stop => body:200"},
      {"400 to an empty body", kLogin, 10, "send probe:400 | send body:200",
       "again fresh | stop => body:200"},
      {"302, not followed", kLogin, 10, "send probe:302 | send body:201",
       "again fresh | stop => body:201"},
      {"401 without a challenge the library can answer", kLogin, 10,
       "send probe:401 | send body:200 ; send body:200",
       "again fresh | stop => body:200 ; stop => body:200"},
      {"the body refused: that answer decides", kLogin, 10,
       "send probe:200 | send body:500", "again fresh | stop => body:500"},
      {"a later 401 to the body turns the login on, once", kLogin, 10,
       "send probe:200 | send body:200 ; "
       "send body:401:Digest | send probe:401:Digest send body:200 ; "
       "send body:200",
       "again fresh | stop => body:200 ; again login | stop login => body:200 "
       "; stop login => body:200"},
      {"asked again after the login went: the body's 401 is the answer", kLogin,
       10, "send probe:200 | send body:200 ; send body:401 | send probe:401",
       "again fresh | stop => body:200 ; again login | stop login => body:401"},
      {"the login turned on, then a probe not challenged: off again", kLogin,
       10, "send probe:200 | send body:200 ; send body:401 | send probe:200",
       "again fresh | stop => body:200 ; again login | stop => body:401"},
      {"a body that never goes: three tries at most", kLogin, 10,
       "send probe:200 | send probe:200 | send probe:200",
       "again fresh | again fresh | stop => probe:200"},
      {"a request without a body: what answers it is no probe's answer", kLogin,
       0, "send probe:200", "stop login => probe:200"},
      {"a run without a login sends nothing again", kNoLogin, 10,
       "send body:401:Basic", "stop => body:401 [Basic]"},
  });
}

TEST(ResendRuleTest, AChallengeToTheBodyIsItsAnswerWhenTheLoginFails) {
  play({
      {"Basic, a wrong password", kLogin, 10, "send body:401:Basic",
       "stop login => body:401 [Basic]"},
      {"NTLM, a wrong password", kLogin, 10,
       "send probe:401:NTLM send body:401:NTLM",
       "stop login => body:401 [NTLM]"},
      {"a scheme not offered: every scheme of the challenge counts", kLogin, 10,
       "send probe:401:Digest,Basic | send body:401:Digest,Basic",
       "again fresh | stop => body:401 [Digest Basic]"},
      {"407 to everything: no scheme of the provider's; the login goes and "
       "comes back, the body at most twice",
       kLogin, 10,
       "send probe:407:Basic | send body:407:Basic ; "
       "send body:407:Basic | send probe:407:Basic ; "
       "send probe:407:Basic | send body:407:Basic",
       "again fresh | stop => body:407 ; again login | stop login => body:407 "
       "; again fresh | stop => body:407"},
  });
}

TEST(ResendRuleTest, AProviderThatKeepsAskingIsAnsweredAFewTimes) {
  std::string stale = "send probe:401:Digest";
  for (int body = 0; body < 4; ++body) {
    stale += " send body:401:Digest,stale=true,Basic";
  }
  std::string handshake;
  for (int probe = 0; probe < 8; ++probe) handshake += "send probe:401:NTLM ";
  play({
      {"a stale nonce for ever: the body goes 4 times", kLogin, 10,
       stale + " send",
       "refused stop login => kept asking body:401 [Digest Basic]"},
      {"a handshake that never ends: 8 sends", kLogin, 10, handshake + "send",
       "refused stop login => kept asking probe:401 [NTLM]"},
      {"the login turned on, then asked for ever", kLogin, 10,
       "send probe:200 | send body:200 ; send body:401:Digest | " + stale +
           " send",
       "again fresh | stop => body:200 ; again login | refused stop login => "
       "kept asking body:401 [Digest Basic]"},
  });
}

TEST(ResendRuleTest, ProxiesAndInterimAnswersAreNoAnswerOfTheProvider) {
  play({
      {"HTTPS through a proxy, the connection kept", kLogin, 10,
       "connect:200 send probe:401:Digest send body:200",
       "stop login => body:200"},
      {"HTTPS through a proxy, a new tunnel for the answer to the challenge",
       kLogin, 10,
       "connect:200 send probe:401:Digest connect:200 send body:200",
       "stop login => body:200"},
      {"interim answers before the answer", kLogin, 10,
       "send interim:100 interim:102 body:200", "stop login => body:200"},
      {"an interim answer to the probe", kLogin, 10,
       "send interim:100 probe:401:Digest send interim:100 body:200",
       "stop login => body:200"},
  });
}

TEST(ResendRuleTest, ABodyThatMayHaveGoneIsNeverSentAgain) {
  const std::string broke = "failed: the connection broke";
  const std::string resent =
      "refused stop login => failed: the connection closed before an answer "
      "came";
  const std::string mayHaveReached =
      "; the request may have reached the provider and is not sent again";
  const std::string gone = "stop login => " + broke + mayHaveReached;
  play({
      {"no connection at all", kLogin, 10, "broke", "stop login => " + broke},
      {"a request without a body", kLogin, 0, "send broke",
       "stop login => " + broke},
      {"dies after the body", kLogin, 10, "send broke", gone},
      {"dies after the probe's challenge", kLogin, 10,
       "send probe:401:NTLM send broke", gone},
      {"dies after a challenge to the body", kLogin, 10,
       "send body:401:Digest send broke", gone},
      {"dies with the body on a new connection after a probe", kLogin, 10,
       "send probe:200 | send broke",
       "again fresh | stop => " + broke + mayHaveReached},
      {"the library would send again after no answer", kLogin, 10, "send send",
       resent + mayHaveReached},
      {"the library would send again after an answer", kLogin, 10,
       "send body:200 send", resent + mayHaveReached},
      {"a kept connection closed under the next request", kLogin, 10,
       "send body:200 ; send send",
       "stop login => body:200 ; " + resent + mayHaveReached},
      {"too large", kLogin, 10, "send probe:401:Digest send body:200 large",
       "stop login => too large"},
  });
}

}  // namespace
