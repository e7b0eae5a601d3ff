#include "run_record/run_record.h"

#include "report/run_page.h"
#include "secrets/secret_mask.h"

void RunRecord::begin(const std::string& type, const std::string& action) {
  if (!keeping()) return;
  isTransaction_ = nextIsTransaction_;
  nextIsTransaction_ = false;
  if (isTransaction_) {
    seq_ = nextSeq_;
  } else {
    name_.assign(type).append(1, ' ').append(action);
  }
  open_ = true;
  answered_ = false;
  accepted_ = false;
  differs_ = false;
  answerHead_.clear();
  status_ = 0;
  openedAt_ = std::chrono::steady_clock::now();
}

std::string RunRecord::requestName() const {
  return isTransaction_ ? "transaction " + std::to_string(seq_) : name_;
}

void RunRecord::close(TestCase::Outcome outcome, const char* message,
                      const std::string* answer) {
  if (!open_) return;
  open_ = false;
  const auto now = std::chrono::steady_clock::now();
  if (page_ != nullptr) show(outcome, message, now);
  if (report_ == nullptr) return;
  TestCase testcase;
  testcase.name = isTransaction_ ? nullptr : &name_;
  testcase.seq = seq_;
  testcase.outcome = outcome;
  testcase.seconds = std::chrono::duration<double>(now - openedAt_).count();
  testcase.message = message;
  testcase.answer = answer;
  report_->add(testcase);
}

void RunRecord::show(TestCase::Outcome outcome, const char* message,
                     std::chrono::steady_clock::time_point now) {
  PageRequest request;
  request.name = isTransaction_ ? nullptr : &name_;
  request.seq = seq_;
  request.answered = answered_;
  request.status = status_;
  request.differs = differs_;
  request.begun = openedAt_;
  request.ended = now;
  request.message = message;
  switch (outcome) {
    case TestCase::Outcome::kPassed:
      request.outcome = answered_ ? PageRequest::Outcome::kAccepted
                                  : PageRequest::Outcome::kBuilt;
      break;
    case TestCase::Outcome::kFailed:
      // A difference is no rejection: the status tells which it was.
      request.outcome = !differs_ || !accepted_
                            ? PageRequest::Outcome::kRejected
                            : PageRequest::Outcome::kAccepted;
      // A rejection's reason is its answer's start, without the
      // differences the report adds to it.
      if (!accepted_) request.reason = answerHead_;
      break;
    case TestCase::Outcome::kError:
      request.outcome = PageRequest::Outcome::kFailed;
      break;
    case TestCase::Outcome::kUnfinished:
      request.outcome = PageRequest::Outcome::kFailed;
      request.message = "the request did not finish";
      break;
  }
  page_->requestEnded(request);
}

void RunRecord::pass() { close(TestCase::Outcome::kPassed, "", nullptr); }

void RunRecord::fail(long status, const std::string& answer, const char* why,
                     const std::string& differences) {
  if (!open_) return;
  // The secrets are hidden before the cut, so that none shows in part.
  std::string head = secrets_->hiddenHead(answer, kAnswerHead + 1);
  std::size_t cut = head.size() < kAnswerHead ? head.size() : kAnswerHead;
  // Not inside a UTF-8 sequence.
  while (cut < head.size() && cut > 0 &&
         (static_cast<unsigned char>(head[cut]) & 0xC0) == 0x80) {
    --cut;
  }
  head.resize(cut);
  std::string message = "HTTP " + std::to_string(status);
  if (*why != '\0') message.append(" (").append(why).append(")");
  answerHead_ = head;
  if (!differences.empty()) {
    differs_ = true;
    head += "\n\nDiffers from the baseline:\n" + differences;
  }
  close(TestCase::Outcome::kFailed, message.c_str(), &head);
}

void RunRecord::fail(const std::string& message, const std::string& text) {
  differs_ = true;
  close(TestCase::Outcome::kFailed, message.c_str(), &text);
}

void RunRecord::addFailure(const std::string& name, const std::string& message,
                           const std::string& text) {
  if (report_ == nullptr) return;
  TestCase testcase;
  testcase.name = &name;
  testcase.outcome = TestCase::Outcome::kFailed;
  testcase.message = message.c_str();
  testcase.answer = &text;
  report_->add(testcase);
}

void RunRecord::endWithError(const std::string& message) {
  if (!keeping()) return;
  nextIsTransaction_ = false;
  if (open_) {
    close(TestCase::Outcome::kError, message.c_str(), nullptr);
  } else if (report_ != nullptr) {
    report_->addRunError(message);
  }
}

void RunRecord::skipRun(const std::string& message) {
  if (report_ != nullptr) report_->addRunSkipped(message);
}

void RunRecord::finish() { close(TestCase::Outcome::kUnfinished, "", nullptr); }
