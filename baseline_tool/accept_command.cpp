// accept BASELINE RECORDING [KEY...]: the recording's records, or those the
// keys name, put into the baseline in their places.

#include <iostream>
#include <set>

#include "baseline/baseline_writer.h"
#include "baseline/recording_comparison.h"
#include "baseline_tool/baseline_commands.h"

namespace {

using Kind = RecordingStep::Kind;

bool isChange(Kind kind) {
  return kind == Kind::kDiffers || kind == Kind::kChanged ||
         kind == Kind::kAdded || kind == Kind::kRemoved;
}

const char* verbOf(Kind kind) {
  return kind == Kind::kAdded     ? "Added"
         : kind == Kind::kRemoved ? "Removed"
                                  : "Replaced";
}

// A baseline of the first version cannot be merged into: a whole recording
// takes its place.
int replaceFirstVersion(const std::string& baseline,
                        const std::string& recording) {
  BaselineReader mine;
  std::string problem;
  if (!mine.open(recording, problem)) return refuse(problem);
  if (!mine.range().whole()) {
    return refuse("The baseline \"" + baseline +
                  "\" is of the first version: only a recording of a whole "
                  "log, accepted whole, can take its place");
  }
  BaselineWriter writer;
  std::string reason;
  const SecretMask none;  // a recording's secrets are hidden already
  if (!writer.open(baseline, none, reason)) {
    return refuse("Failed to write \"" + baseline + "\": " + reason);
  }
  BaselineRecord record;
  while (mine.ahead(0) != nullptr) {
    mine.take(0, record, static_cast<std::size_t>(-1),
              [](const baseline_file::RecordHeader&) {});
    writer.add(record.header, record.body);
  }
  if (!writer.commit(reason)) {
    return refuse("Failed to write \"" + baseline + "\": " + reason +
                  "; it is as it was");
  }
  std::cout << "Replaced the baseline \"" << baseline
            << "\" of the first version with the " << mine.records()
            << " records of \"" << recording << "\"" << std::endl;
  return 0;
}

}  // namespace

int mergeAccepted(const std::string& baseline, const std::string& recording,
                  const std::vector<RecordingStep::Kind>& steps,
                  const std::vector<char>& accepted, const SeqRange& range,
                  const std::vector<std::string>& lines) {
  std::size_t changes = 0;
  for (std::size_t i = 0; i < steps.size(); ++i) {
    changes += isChange(steps[i]) && accepted[i] != 0;
  }
  if (changes == 0) {
    std::cout << "Nothing accepted: \"" << baseline << "\" is as it was"
              << std::endl;
    return 0;
  }
  std::string reason;
  if (!writeMerged(baseline, recording, steps, accepted, range, reason)) {
    return refuse("Failed to write \"" + baseline + "\": " + reason +
                  "; it is as it was");
  }
  for (const std::string& line : lines) std::cout << line << '\n';
  std::cout << "Wrote \"" << baseline << "\": " << changes
            << (changes == 1 ? " change" : " changes") << " accepted"
            << std::endl;
  return 0;
}

int acceptCommand(const Words& words) {
  if (words.size() < 2) return usage();
  const std::string& baseline = words[0];
  const std::string& recording = words[1];
  const std::set<std::string> keys(words.begin() + 2, words.end());
  {
    BaselineReader theirs;
    std::string problem;
    if (!theirs.open(baseline, problem)) return refuse(problem);
    if (theirs.version() == 1 && keys.empty()) {
      return replaceFirstVersion(baseline, recording);
    }
  }
  std::vector<Kind> steps;
  std::vector<char> accepted;
  std::set<std::string> named;
  std::vector<std::string> lines;
  SeqRange range;
  {
    RecordingComparison comparison;
    std::string problem;
    if (!comparison.open(baseline, recording, "", problem)) {
      return refuse(problem);
    }
    bool all = keys.empty();
    comparison.walk([&](const RecordingStep& step, const Verdict*) {
      std::string name = baseline_file::testcaseName(step.key);
      // A key may name a request with its place too, where numbers repeat.
      const std::string placed = baseline_file::requestName(step.key);
      if (keys.count(placed) > 0) name = placed;
      const bool wanted = keys.empty() || keys.count(name) > 0;
      // An unnamed record that is the same keeps the baseline's.
      const bool take = isChange(step.kind)        ? wanted
                        : step.kind == Kind::kSame ? keys.empty()
                                                   : false;
      if (isChange(step.kind) && wanted) {
        named.insert(name);
        lines.push_back(verbOf(step.kind) + (' ' + name));
      }
      all = all && (take || !isChange(step.kind));
      steps.push_back(step.kind);
      accepted.push_back(take ? 1 : 0);
    });
    // A recording of part of the log merges into the whole; a whole one,
    // taken whole, is whole.
    const SeqRange& theirs = comparison.baseline().range();
    range = theirs.whole() || (comparison.recording().range().whole() && all)
                ? SeqRange()
                : theirs;
  }
  std::string unnamed;
  std::size_t missing = 0;
  for (const std::string& key : keys) {
    if (named.count(key) != 0) continue;
    unnamed += (unnamed.empty() ? "\"" : ", \"") + key + "\"";
    ++missing;
  }
  if (missing > 0) {
    return refuse(unnamed + (missing == 1 ? " names" : " name") +
                  " no record that differs between \"" + baseline +
                  "\" and \"" + recording + "\": nothing is written");
  }
  return mergeAccepted(baseline, recording, steps, accepted, range, lines);
}
