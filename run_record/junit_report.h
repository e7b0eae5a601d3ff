#pragma once

#include <cstdint>
#include <string>

#include "platform/os/atomic_file.h"
#include "run_record/report_text.h"

class SecretMask;

// What the report says about the run as a whole, known when it starts.
struct ReportHeader {
  std::string suiteName;  // the test type and the project
  std::string project;
  std::string script;
  bool delivering = false;
  std::string address;    // without credentials
  std::string timestamp;  // ISO 8601, UTC
  std::string hostname;
  // The baseline's files, when the run records or compares answers.
  std::string baseline;
  std::string rules;
  std::string recording;
};

// One request of the run as the report shows it.
struct TestCase {
  enum class Outcome { kPassed, kFailed, kError, kUnfinished };
  // "transaction <seq>" when `name` is null, otherwise "<type> <action>".
  const std::string* name = nullptr;
  std::int32_t seq = 0;
  Outcome outcome = Outcome::kPassed;
  double seconds = 0;        // building and delivering
  const char* message = "";  // "HTTP 500", or the text the driver printed
  const std::string* answer = nullptr;  // the start of a rejecting answer
};

// The run as a JUnit XML report: one testsuite, one testcase per request in
// order, a `failure` for a rejected request, an `error` for one whose
// delivery failed, and a `run` testcase for a failure outside any request.
// Well-formed UTF-8 whatever the texts hold, and without the secrets. The
// report is written as the run goes, to the one file that `commit` puts in
// place: the counts and the time, known only then, are written over room
// that the suite's head keeps for them.
class JUnitReport {
 public:
  // False with `reason` set when the report cannot be written.
  bool open(const std::string& path, const ReportHeader& header,
            const SecretMask& secrets, std::string& reason);
  bool isOpen() const { return file_.isOpen(); }
  const std::string& path() const { return file_.path(); }
  // Where `commit` put it: the path, or beside it when that was held open.
  const std::string& placedAt() const { return file_.placedAt(); }

  void add(const TestCase& testcase);
  // A failure outside any request.
  void addRunError(const std::string& message);
  // What the run said of itself as a whole (the digest of its
  // differences): the `run` testcase's system-out.
  void setRunOutput(const std::string& text) { runOutput_ = text; }
  // A run that tests nothing.
  void addRunSkipped(const std::string& message);
  // False with the reason of the first write that failed.
  bool commit(double seconds, std::string& reason);

 private:
  void write();
  void fillCounts(unsigned long long at, std::size_t room, bool suite,
                  double seconds, std::string& reason);

  platform::AtomicFile file_;
  ReportText text_;
  std::string caseHead_;  // every testcase up to its name, escaped once
  unsigned long long suitesCounts_ = 0;  // where the room for counts begins
  unsigned long long suiteCounts_ = 0;
  std::string runError_;
  std::string runOutput_;
  bool hasRunError_ = false;
  std::string runSkipped_;
  bool hasRunSkipped_ = false;
  long tests_ = 0;
  long failures_ = 0;
  long errors_ = 0;
  long skipped_ = 0;
  std::string writeError_;
};
