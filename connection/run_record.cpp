#include "connection/run_record.h"

#include "connection/secret_mask.h"

void RunRecord::begin(const std::string& type, const std::string& action) {
  if (report_ == nullptr) return;
  isTransaction_ = nextIsTransaction_;
  nextIsTransaction_ = false;
  if (isTransaction_) {
    seq_ = nextSeq_;
  } else {
    name_.assign(type).append(1, ' ').append(action);
  }
  open_ = true;
  openedAt_ = std::chrono::steady_clock::now();
}

void RunRecord::close(TestCase::Outcome outcome, const char* message,
                      const std::string* answer) {
  if (!open_) return;
  TestCase testcase;
  testcase.name = isTransaction_ ? nullptr : &name_;
  testcase.seq = seq_;
  testcase.outcome = outcome;
  testcase.seconds = std::chrono::duration<double>(
                         std::chrono::steady_clock::now() - openedAt_)
                         .count();
  testcase.message = message;
  testcase.answer = answer;
  open_ = false;
  report_->add(testcase);
}

void RunRecord::pass() { close(TestCase::Outcome::kPassed, "", nullptr); }

void RunRecord::fail(long status, const std::string& answer, const char* why) {
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
  close(TestCase::Outcome::kFailed, message.c_str(), &head);
}

void RunRecord::fail(const std::string& message, const std::string& text) {
  close(TestCase::Outcome::kFailed, message.c_str(), &text);
}

void RunRecord::endWithError(const std::string& message) {
  if (report_ == nullptr) return;
  nextIsTransaction_ = false;
  if (open_) {
    close(TestCase::Outcome::kError, message.c_str(), nullptr);
  } else {
    report_->addRunError(message);
  }
}

void RunRecord::skipRun(const std::string& message) {
  if (report_ != nullptr) report_->addRunSkipped(message);
}

void RunRecord::finish() { close(TestCase::Outcome::kUnfinished, "", nullptr); }
