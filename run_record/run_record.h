#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

#include "run_record/junit_report.h"

class RunPage;
class SecretMask;

// What became of each request of the run, handed to the report and to the
// page as each request ends: nothing of the run is held but the request in
// hand.
class RunRecord {
 public:
  // At most this much of a rejecting answer is kept.
  static constexpr std::size_t kAnswerHead = 4096;

  // Nothing is recorded until a report or the page asks for it.
  void enable(JUnitReport& report, const SecretMask& secrets) {
    report_ = &report;
    secrets_ = &secrets;
  }
  void showOn(RunPage& page, const SecretMask& secrets) {
    page_ = &page;
    secrets_ = &secrets;
  }
  // The next request is the replay of the transaction numbered `seq`.
  void nextIsTransaction(std::int32_t seq) {
    nextSeq_ = seq;
    nextIsTransaction_ = keeping();
  }
  // A request begins: open until it is passed, failed or errored.
  void begin(const std::string& type, const std::string& action);
  // The provider answered the request in hand: its status, and whether it
  // accepted it.
  void answered(long status, bool accepted) {
    status_ = status;
    answered_ = true;
    accepted_ = accepted;
  }
  // The request in hand as the report names it: "transaction 11",
  // "project open".
  std::string requestName() const;
  void pass();
  // A rejection: its status, what the answer holds, and why, when more
  // than the status tells it.
  // `differences`: how the answer differs from the baseline too.
  void fail(long status, const std::string& answer, const char* why = "",
            const std::string& differences = "");
  // An answer that differs from the baseline: its first difference, and
  // every difference with a diff.
  void fail(const std::string& message, const std::string& text);
  // A failure of no request of the run, in a testcase of its own: records
  // of a baseline that the log lost.
  void addFailure(const std::string& name, const std::string& message,
                  const std::string& text);
  // A failure that ended the run: the error of the open request, or of a
  // `run` testcase of its own when no request was open.
  void endWithError(const std::string& message);
  // The run tests nothing: a `run` testcase of its own, skipped.
  void skipRun(const std::string& message);
  // The end of the run: a request still open did not finish.
  void finish();

 private:
  bool keeping() const { return report_ != nullptr || page_ != nullptr; }
  void close(TestCase::Outcome outcome, const char* message,
             const std::string* answer);
  void show(TestCase::Outcome outcome, const char* message,
            std::chrono::steady_clock::time_point now);

  JUnitReport* report_ = nullptr;
  RunPage* page_ = nullptr;
  const SecretMask* secrets_ = nullptr;
  bool open_ = false;
  bool isTransaction_ = false;
  std::int32_t seq_ = 0;
  std::string name_;  // "type action"
  std::chrono::steady_clock::time_point openedAt_;
  long status_ = 0;
  bool answered_ = false;
  bool accepted_ = false;
  bool differs_ = false;
  std::string answerHead_;  // a rejection's answer, its start
  bool nextIsTransaction_ = false;
  std::int32_t nextSeq_ = 0;
};
