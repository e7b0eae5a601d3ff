#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// When a request goes to the provider again. A request's body reaches the
// provider once, and only the answer to a send that carried it decides: it
// is sent again only when that send was answered 401 or 407, a challenge,
// which the provider answers before it does anything with the request, and
// then only a few times. A send that carried no body (the probe that opens
// an NTLM, Digest or Negotiate handshake) is no send of the request: when
// the provider answers it without a challenge, it asks for no login, and the
// body goes without one. A connection that dies after the body went out
// fails the request instead: the provider may have processed it.
//
// The transport tells it what happens (events) and does what it decides. A
// transfer is what the HTTP library makes of one go at the request: a send,
// and again for each challenge it answers itself; between transfers the
// rule decides whether the request goes again, with or without the login.
class ResendRule {
 public:
  enum class Outcome {
    kPending,     // the request is under way
    kAnswered,    // status() and the answer taken last are the answer
    kKeptAsking,  // the provider answered every send with a challenge
    kFailed,      // no answer to tell: failure() says why
    kTooLarge,    // the answer was larger than the transport holds
  };
  // What the transport does when a transfer has ended.
  struct Decision {
    bool sendAgain = false;   // false: the request is done, as outcome() says
    bool login = false;       // whether the login goes with the sends now
    bool fresh = false;       // the next send on a new connection
    bool takeAnswer = false;  // the transfer's answer is the request's so far
  };

  // `loginGiven`: the run has a login, on until the provider shows that it
  // asks for none.
  explicit ResendRule(bool loginGiven);

  // A request of `bodySize` bytes begins, with its first transfer.
  void beginRequest(std::size_t bodySize);

  // Events of a transfer.
  // A send of the request is about to go out, on a new connection or one
  // kept: false refuses it, and the transport ends the transfer.
  bool send();
  // A status line came, after the send carried the body or not. True when it
  // begins the answer to the send: neither an interim 1xx, nor a proxy's
  // answer to CONNECT, which comes before the send.
  bool statusLine(long status, bool bodyWent);
  // The value of a WWW-Authenticate line.
  void challenge(std::string_view value);
  // The header ended: true when it was the answer's.
  bool headerEnded();
  // The answer is larger than the transport holds.
  void tooLarge();
  // The transfer is over: `failure` is null when it completed, otherwise the
  // transport's reason (the connection broke, no answer came, a send was
  // refused).
  Decision transferEnded(const char* failure);

  bool loginOn() const { return loginOn_; }
  Outcome outcome() const { return outcome_; }
  // The status of the answer that decides.
  long status() const { return decidedStatus_; }
  // The schemes a 401 that decides asks for; none for any other status.
  const std::vector<std::string>& offeredSchemes() const {
    return decidedOffered_;
  }
  const std::string& failure() const { return failure_; }

 private:
  void beginTransfer();
  Decision again(Decision decision);
  Decision stop(Decision decision);

  // The run's.
  bool loginGiven_;
  bool loginOn_;

  // The request's.
  std::size_t bodySize_ = 0;
  int transfers_ = 0;
  bool loginTried_ = false;
  bool fresh_ = false;
  bool bodyAnswered_ = false;
  Outcome decided_ = Outcome::kAnswered;
  long decidedStatus_ = 0;
  std::vector<std::string> decidedOffered_;
  Outcome outcome_ = Outcome::kPending;
  std::string failure_;

  // The transfer's.
  int sends_ = 0;
  int challenges_ = 0;
  bool keptAsking_ = false;
  bool refused_ = false;
  bool answerTooLarge_ = false;
  // Whether a send of the body may have reached the provider.
  bool bodyLeft_ = false;
  bool awaiting_ = false;  // a send went out and its answer has not begun
  bool inAnswer_ = false;  // the answer's header lines are coming
  // The answer to the latest send: its status (0 before it comes), whether
  // that send carried the body, and the schemes it asks for.
  long lastStatus_ = 0;
  bool lastCarriedBody_ = false;
  std::vector<std::string> offered_;
  // A probe was answered without a challenge: the provider asks for no login.
  bool probeNotChallenged_ = false;
};

}  // namespace platform
