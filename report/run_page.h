#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "report/answer_times.h"
#include "report/side_by_side.h"
#include "report/time_slices.h"
#include "report/top_requests.h"
#include "secrets/secret_mask.h"

// The run as a whole, known at its start.
struct PageRun {
  std::string test;  // what -t named
  std::string project;
  std::string script;
  bool delivering = false;
  std::string address;  // without credentials
  std::string started;  // UTC, ISO 8601 without the zone
  std::string hostname;
  bool reportKept = false;  // a JUnit report holds every request
};

// One request of the run as it ends.
struct PageRequest {
  enum class Outcome { kBuilt, kAccepted, kRejected, kFailed };
  const std::string* name = nullptr;  // null: "transaction <seq>"
  std::int32_t seq = 0;
  Outcome outcome = Outcome::kBuilt;
  bool answered = false;  // an answer came: its time counts
  bool differs = false;   // from the baseline
  long status = 0;        // the answer's HTTP status
  std::chrono::steady_clock::time_point begun;
  std::chrono::steady_clock::time_point ended;
  std::string_view message;  // "HTTP 500", or the text the run printed
  std::string_view reason;   // the start of a rejecting answer
};

// What the baseline's part of the page is fed with: plain texts.
struct PageDifference {
  std::string name;                // as the JUnit report names the request
  std::vector<std::string> lines;  // its difference lines
  // The two answers' normal forms, a line each: set side by side.
  std::vector<std::string> baseline;
  std::vector<std::string> answer;
  std::size_t firstLine = 0;  // the listings' first line, from 0
  // Records of the baseline the log lost, not an answer that differs.
  unsigned long long removed = 0;
};
struct DigestLine {
  std::string text;
  long count = 0;  // answers it occurs in
};

// What the run's page shows, gathered as the run goes: counts, the answer
// times, the slowest requests and capped lists, never the whole run. Every
// text passes through the run's secret hiding before it is kept.
class RunPage {
 public:
  static constexpr std::size_t kSlowest = 20;
  static constexpr std::size_t kListed = 1000;    // rejected or failed
  static constexpr std::size_t kDiffering = 200;  // differing requests
  static constexpr std::size_t kTextWidth = 300;  // characters of a text
  static constexpr std::size_t kLinesShown = 20;  // of one difference
  static constexpr std::size_t kRows = 40;        // side by side
  static constexpr std::size_t kCellWidth = 160;

  RunPage();
  // Every text kept passes through `secrets`, which outlives the page.
  void begin(PageRun run, const SecretMask& secrets);
  void requestEnded(const PageRequest& request);
  // What ended the run: a failure as the run printed it, or the
  // interruption's line.
  void noteFailure(const std::string& message);
  void noteInterruption(const std::string& line);
  // The run took `seconds` in all.
  void end(double seconds) { seconds_ = seconds; }

  // The baseline's part. `compareWithBaseline` says the run compares, so
  // that a comparison without a difference says so.
  void compareWithBaseline() { comparing_ = true; }
  void addDifference(PageDifference difference);
  // Whether the next difference's lines and answers are kept: a feeder
  // need not gather them for one that is only counted.
  bool keepsDifferenceDetails() const { return differing_.size() < kDiffering; }
  void setDigest(std::vector<DigestLine> lines);
  void setUnmatchedRules(std::vector<std::string> rules);
  void setUnreached(unsigned long long records) { unreached_ = records; }
  // The baseline's recorded time of the request in hand, paired with its
  // own when it ends.
  void recordedTime(double milliseconds);

  struct Listed {  // a rejected or failed request
    std::string name;
    PageRequest::Outcome outcome = PageRequest::Outcome::kFailed;
    long status = 0;
    std::string message;
    std::string reason;
  };
  struct Differing {
    std::string name;
    std::vector<std::string> lines;  // at most kLinesShown
    std::size_t lineCount = 0;
    std::vector<SideBySideRow> rows;
  };
  struct Counts {
    std::uint64_t requests = 0;  // sent, or built without delivery
    std::uint64_t accepted = 0;
    std::uint64_t rejected = 0;
    std::uint64_t failed = 0;
    std::uint64_t differing = 0;
    std::uint64_t removed = 0;  // baseline records the log lost
    std::uint64_t transactions = 0;
  };

  const PageRun& run() const { return run_; }
  const Counts& counts() const { return counts_; }
  double seconds() const { return seconds_; }
  // Answers a second, from the first request's start to the last's end.
  double requestsPerSecond() const;
  const std::string& failure() const { return failure_; }
  const std::string& interruption() const { return interruption_; }
  std::string firstTransaction() const;
  std::string lastTransaction() const;
  const AnswerTimes& times() const { return times_; }
  const TimeSlices& slices() const { return slices_; }
  std::vector<RankedRequest> slowest() const { return slowest_.sorted(); }
  const std::vector<Listed>& listed() const { return listed_; }
  bool comparing() const { return comparing_; }
  // Whether the digest, and the rules' check, were handed at all.
  bool hasDigest() const { return hasDigest_; }
  bool hasRuleCheck() const { return hasRuleCheck_; }
  const std::vector<DigestLine>& digest() const { return digest_; }
  const std::vector<Differing>& differing() const { return differing_; }
  const std::vector<std::string>& unmatchedRules() const { return rules_; }
  unsigned long long unreached() const { return unreached_; }
  // The paired requests' own times and their baseline's.
  const AnswerTimes& pairedTimes() const { return pairedTimes_; }
  const AnswerTimes& recordedTimes() const { return recordedTimes_; }
  std::vector<RankedRequest> grown() const { return grown_.sorted(); }

 private:
  std::string shown(std::string_view text, std::size_t width) const;
  static std::string nameOf(const PageRequest& request);

  const SecretMask* secrets_ = nullptr;
  PageRun run_;
  std::chrono::steady_clock::time_point begun_;
  double seconds_ = 0;
  Counts counts_;
  std::string failure_;
  std::string interruption_;
  // The first and last transaction's numbers: named only when written.
  std::int32_t firstTransaction_ = 0;
  std::int32_t lastTransaction_ = 0;
  AnswerTimes times_;
  TimeSlices slices_;
  TopRequests slowest_;
  double firstBegun_ = -1;  // seconds from the page's begin
  double lastEnded_ = 0;
  std::vector<Listed> listed_;
  bool comparing_ = false;
  bool hasDigest_ = false;
  bool hasRuleCheck_ = false;
  std::vector<DigestLine> digest_;
  std::vector<Differing> differing_;
  std::vector<std::string> rules_;
  unsigned long long unreached_ = 0;
  double recorded_ = -1;  // of the request in hand
  AnswerTimes pairedTimes_;
  AnswerTimes recordedTimes_;
  TopRequests grown_;
};
