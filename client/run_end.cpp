// The end of a run: what a delivering run says on standard error, and the
// report of every run.

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <iostream>
#include <optional>
#include <vector>

#include "client/md_provider_client.h"
#include "run_record/junit_report.h"

namespace {

std::string utcTimestamp() {
  const std::time_t now = std::time(nullptr);
  char text[32] = {};
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", std::gmtime(&now));
  return text;
}

}  // namespace

void MDProviderClient::startRun() {
  startedAt = std::chrono::steady_clock::now();
  startedTimestamp = utcTimestamp();
}

void MDProviderClient::noteRunFailure(const char* message) {
  runRecord.endWithError(message);
  page.noteFailure(message);
}

void MDProviderClient::noteNoTest() {
  const std::string line = "No test is run: -t \"" + testType.str() +
                           "\" names none of AC, MA, XS (letters are "
                           "case-sensitive)";
  std::cerr << line << std::endl;
  runRecord.skipRun(line);
}

void MDProviderClient::nextIsTransaction(unsigned long long ordinal,
                                         std::int32_t seq) {
  nextRequest.isTransaction = true;
  nextRequest.ordinal = ordinal;
  nextRequest.seq = seq;
  runRecord.nextIsTransaction(seq);
}

void MDProviderClient::noteInterruption() {
  std::string line = "Interrupted: ";
  if (!answeredAny) {
    line += "no request was answered";
  } else {
    line += "no request was sent after " +
            baseline_file::requestName(lastAnswered) + ", the last " +
            (delivery.isOn() ? "the provider answered" : "one built");
    // -b resumes after it when every transaction before it has a lower
    // number and every one after it a higher.
    if (lastAnswered.isTransaction) {
      line += seqsRise && lastAnswered.seq < INT32_MAX
                  ? "; -b" + std::to_string(lastAnswered.seq + 1) +
                        " resumes after it"
                  : "; the log's sequence numbers do not rise, so no -b "
                    "resumes exactly after it";
    }
  }
  std::cerr << line << std::endl;
  runRecord.endWithError(line);
  page.noteInterruption(line);
}

void MDProviderClient::finishComparison() {
  const std::optional<Verdict> removed = judge.finish();
  if (removed) {
    tellDifference(*removed);
    runRecord.addFailure(removed->testcase, removed->message, removed->details);
  }
}

void MDProviderClient::tellComparisonEnd() {
  if (differencesTold > kDifferencesShown) {
    std::cerr << differencesTold - kDifferencesShown
              << " more differences from the baseline than the "
              << kDifferencesShown << " shown: "
              << (report.isOpen() ? "the report holds each"
                                  : "a report (MDPROVIDER_REPORT) would hold "
                                    "each")
              << ", the digest below each kind" << std::endl;
  }
  std::string digest;
  std::vector<DigestLine> shown;
  for (const DifferenceDigest::Line& line : judge.digest()) {
    const std::string text = digestLine(line);
    std::cerr << secrets.hidden(text) << std::endl;
    digest += text + '\n';
    shown.push_back({line.text, static_cast<long>(line.answers)});
  }
  if (!digest.empty()) report.setRunOutput(digest);
  page.setDigest(std::move(shown));
  const std::vector<std::string> unmatched = judge.unmatchedRules();
  for (const std::string& line : unmatched) {
    std::cerr << secrets.hidden(line) << std::endl;
  }
  page.setUnmatchedRules(unmatched);
}

bool MDProviderClient::finishRun(bool reachedEnd) {
  const double seconds = std::chrono::duration<double>(
                             std::chrono::steady_clock::now() - startedAt)
                             .count();
  if (delivery.isOn()) {
    // The connection and the password's copies go with the delivery.
    delivery.end();
    password.wipe();
    char took[32];
    std::snprintf(took, sizeof took, "%.2f", seconds);
    std::cerr << "Delivered " << delivery.answered() << " requests to "
              << delivery.address() << ": " << delivery.accepted()
              << " accepted, " << delivery.rejected() << " rejected in " << took
              << " s";
    if (judge.comparing()) {
      std::cerr << "; compared with the baseline: " << judge.compared()
                << " answers, " << judge.differing() << " differing, "
                << judge.unreached() << " baseline records not reached";
      if (judge.removed() > 0) {
        std::cerr << ", " << judge.removed() << " removed from the log";
      }
    }
    std::cerr << std::endl;
    if (judge.comparing()) tellComparisonEnd();
  }
  bool finished = true;
  std::string reason;
  if (judge.recording()) {
    // A run that did not reach its end leaves an earlier recording as it
    // was: nothing of it is written.
    if (!reachedEnd) {
      std::cerr << "The recording is not written: the run did not reach its "
                   "end"
                << std::endl;
    } else if (!judge.commit(reason)) {
      std::cerr << reason << std::endl;
      page.noteFailure(reason);
      finished = false;
    } else if (const SeqRange* range = judge.recordedRange()) {
      std::cerr << "The recording \"" << judge.recordPath()
                << "\" holds only the transactions of -b" << range->first;
      if (range->last != -1) std::cerr << " -e" << range->last;
      std::cerr << ": mdprovider_baseline accept merges it into a baseline "
                   "of the whole log"
                << std::endl;
    }
  }
  runRecord.finish();
  // A committed report is closed: whether there was one is asked before.
  const bool reporting = report.isOpen();
  if (reporting && !report.commit(seconds, reason)) {
    const std::string line =
        "Failed to write the report \"" + report.path() + "\": " + reason;
    std::cerr << line << std::endl;
    page.noteFailure(line);
    finished = false;
  } else if (reporting && report.placedAt() != report.path()) {
    std::cerr << "The report \"" << report.path()
              << "\" is held open by another program; this run's report is \""
              << report.placedAt() << "\"" << std::endl;
  }
  return writePage(seconds) && finished;
}
