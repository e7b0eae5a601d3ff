#include "platform/http/auth/resend_rule.h"

#include "platform/http/auth/auth_challenges.h"

namespace platform {

namespace {

// A provider that answers more challenges than this to one request keeps
// asking: a Digest server that finds every nonce stale, for one.
constexpr int kMostChallenges = 3;
// Every send of one transfer, probes and challenges included.
constexpr int kMostSends = 8;
// The same request sent again after its answer: once without a login the
// provider did not ask for, once with it when the provider then asks after
// all.
constexpr int kMostTransfers = 3;

bool isChallenge(long status) { return status == 401 || status == 407; }

}  // namespace

ResendRule::ResendRule(bool loginGiven)
    : loginGiven_(loginGiven), loginOn_(loginGiven) {}

void ResendRule::beginRequest(std::size_t bodySize) {
  bodySize_ = bodySize;
  transfers_ = 0;
  loginTried_ = loginOn_;
  fresh_ = false;
  bodyAnswered_ = false;
  decided_ = Outcome::kAnswered;
  decidedStatus_ = 0;
  decidedOffered_.clear();
  outcome_ = Outcome::kPending;
  failure_.clear();
  beginTransfer();
}

void ResendRule::beginTransfer() {
  sends_ = 0;
  challenges_ = 0;
  keptAsking_ = false;
  refused_ = false;
  answerTooLarge_ = false;
  bodyLeft_ = false;
  awaiting_ = false;
  inAnswer_ = false;
  lastStatus_ = 0;
  lastCarriedBody_ = false;
  offered_.clear();
  probeNotChallenged_ = false;
}

bool ResendRule::send() {
  // The send before got no answer: it may have carried the body.
  if (sends_ > 0 && lastStatus_ == 0 && bodySize_ > 0) bodyLeft_ = true;
  if (sends_ > 0 && bodyLeft_) {
    // Again only in answer to a challenge to the body, a few times.
    if (!isChallenge(lastStatus_)) {
      refused_ = true;
      return false;
    }
    if (++challenges_ > kMostChallenges) {
      keptAsking_ = refused_ = true;
      return false;
    }
  }
  if (++sends_ > kMostSends) {
    keptAsking_ = refused_ = true;
    return false;
  }
  awaiting_ = true;
  inAnswer_ = false;
  lastStatus_ = 0;
  return true;
}

bool ResendRule::statusLine(long status, bool bodyWent) {
  if (!awaiting_ || status < 200) return false;
  awaiting_ = false;
  inAnswer_ = true;
  lastStatus_ = status;
  lastCarriedBody_ = bodySize_ == 0 || bodyWent;
  if (lastCarriedBody_) bodyLeft_ = true;
  if (!lastCarriedBody_ && !isChallenge(status)) probeNotChallenged_ = true;
  offered_.clear();
  return true;
}

void ResendRule::challenge(std::string_view value) {
  if (inAnswer_) addOfferedSchemes(value, offered_);
}

bool ResendRule::headerEnded() {
  if (!inAnswer_) return false;
  inAnswer_ = false;
  return true;
}

void ResendRule::tooLarge() { answerTooLarge_ = true; }

ResendRule::Decision ResendRule::transferEnded(const char* failure) {
  Decision decision;
  if (answerTooLarge_) {
    outcome_ = Outcome::kTooLarge;
    decision.login = loginOn_;
    return decision;
  }
  if (failure != nullptr && !keptAsking_) {
    outcome_ = Outcome::kFailed;
    // A send refused: the library wanted the body to go again without a
    // challenge, on a new connection after the old one broke.
    failure_ =
        refused_ ? "the connection closed before an answer came" : failure;
    if (bodyLeft_ || (sends_ > 0 && lastStatus_ == 0 && bodySize_ > 0)) {
      failure_ +=
          "; the request may have reached the provider and is not sent again";
    }
    decision.login = loginOn_;
    return decision;
  }
  // A login the provider did not ask for is not offered to it again.
  if (probeNotChallenged_) loginOn_ = false;
  if (lastCarriedBody_ || keptAsking_) {
    // The answer to the latest send that carried the body decides.
    decided_ = keptAsking_ ? Outcome::kKeptAsking : Outcome::kAnswered;
    decidedStatus_ = lastStatus_;
    decidedOffered_.swap(offered_);
    decision.takeAnswer = true;
    bodyAnswered_ = true;
  }
  if (++transfers_ >= kMostTransfers || keptAsking_) return stop(decision);
  if (!lastCarriedBody_) {
    // The answer to a probe decides nothing, whatever it says: unless the
    // body was answered already, it goes now, without a login, on a new
    // connection, since the library keeps sending empty probes on one that
    // has begun a handshake.
    if (bodyAnswered_) return stop(decision);
    loginOn_ = false;
    fresh_ = true;
    return again(decision);
  }
  // Asked for a login after all, while none was sent: once.
  if (isChallenge(lastStatus_) && loginGiven_ && !loginOn_ && !loginTried_) {
    loginOn_ = true;
    loginTried_ = true;
    fresh_ = false;
    return again(decision);
  }
  return stop(decision);
}

ResendRule::Decision ResendRule::again(Decision decision) {
  decision.sendAgain = true;
  decision.login = loginOn_;
  decision.fresh = fresh_;
  beginTransfer();
  return decision;
}

ResendRule::Decision ResendRule::stop(Decision decision) {
  if (!bodyAnswered_) {
    // The body never got through the handshake: the probe's answer is all
    // there is to tell.
    decidedStatus_ = lastStatus_;
    decidedOffered_.swap(offered_);
    decision.takeAnswer = true;
  }
  if (decidedStatus_ != 401) decidedOffered_.clear();
  outcome_ = decided_;
  decision.login = loginOn_;
  return decision;
}

}  // namespace platform
