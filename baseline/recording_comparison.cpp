#include "baseline/recording_comparison.h"

#include <algorithm>

#include "baseline/baseline_writer.h"
#include "platform/core/tov_exception.h"

using Kind = RecordingStep::Kind;

bool RecordingComparison::open(const std::string& baseline,
                               const std::string& recording,
                               const std::string& rules, std::string& problem) {
  baseline_ = std::make_unique<BaselineReader>();
  recording_ = std::make_unique<BaselineReader>();
  if (!baseline_->open(baseline, problem)) return false;
  if (!recording_->open(recording, problem)) {
    // The file is the recording: its messages say so.
    for (const std::string& word :
         {std::string("The baseline \""),
          std::string("Cannot read the baseline \"")}) {
      if (problem.compare(0, word.size(), word) == 0) {
        problem.replace(word.find("baseline"), 8, "recording");
      }
    }
    return false;
  }
  for (const BaselineReader* file : {baseline_.get(), recording_.get()}) {
    if (file->version() == 1) {
      problem = "The baseline \"" + file->path() +
                "\" is of the first version, whose fingerprints are of "
                "another kind: compare it in a run, or accept a whole "
                "recording in its place";
      return false;
    }
  }
  return rules.empty() || readComparisonRules(rules, rules_, problem);
}

void RecordingComparison::walk(
    const std::function<void(const RecordingStep&, const Verdict*)>& step) {
  RecordPairing pairing(*baseline_, recording_->range());
  std::vector<RecordingStep> passed;
  pairing.watchPassed(
      [&](const baseline_file::RecordHeader& header, bool removed) {
        RecordingStep kept;
        kept.key = header.key;
        kept.kind = removed ? Kind::kRemoved : Kind::kKept;
        passed.push_back(std::move(kept));
      });
  // A run of removed records is one difference, told on its first.
  const auto tellPassed = [&] {
    for (std::size_t i = 0; i < passed.size(); ++i) {
      if (passed[i].kind != Kind::kRemoved) {
        step(passed[i], nullptr);
        continue;
      }
      PassedRecords run;
      std::size_t end = i;
      while (end < passed.size() && passed[end].kind == Kind::kRemoved) {
        run.add(passed[end++].key);
      }
      const Verdict verdict = removalVerdict(run);
      for (std::size_t k = i; k < end; ++k) {
        step(passed[k], k == i ? &verdict : nullptr);
      }
      i = end - 1;
    }
    passed.clear();
  };
  BaselineRecord recorded;
  BaselineRecord paired;
  bool replayed = false;
  while (recording_->ahead(0) != nullptr) {
    recording_->take(0, recorded, static_cast<std::size_t>(-1),
                     [](const baseline_file::RecordHeader&) {});
    const baseline_file::RecordHeader& header = recorded.header;
    // After a replay that a rejection stopped, the rest of the log was
    // not reached.
    replayed = replayed || header.key.isTransaction;
    if (recording_->stopped() && replayed && !header.key.isTransaction) {
      pairing.logEndsEarly();
    }
    const Pairing found = pairing.pair(header.key, header.fingerprint, paired,
                                       static_cast<std::size_t>(-1));
    RecordingStep own;
    own.key = header.key;
    Verdict verdict;
    if (found.outcome == Pairing::Outcome::kPaired) {
      verdict = compareRecords(header, recorded.body, paired, true, rules_,
                               nullptr, nullptr);
      own.kind = verdict.count == 0 ? Kind::kSame : Kind::kDiffers;
    } else {
      verdict = unpairedVerdict(header.key, found);
      own.kind = found.outcome == Pairing::Outcome::kChanged ? Kind::kChanged
                                                             : Kind::kAdded;
    }
    tellPassed();
    if (verdict.count > 0) tell(header.key, verdict);
    step(own, verdict.count > 0 ? &verdict : nullptr);
  }
  // The end of the recording: what no record reached is passed.
  if (recording_->stopped()) pairing.logEndsEarly();
  pairing.finish();
  tellPassed();
}

bool writeMerged(const std::string& baseline, const std::string& recording,
                 const std::vector<RecordingStep::Kind>& steps,
                 const std::vector<char>& accepted, const SeqRange& range,
                 std::string& reason) {
  BaselineWriter writer;
  {
    BaselineReader theirs;
    BaselineReader mine;
    if (!theirs.open(baseline, reason) || !mine.open(recording, reason)) {
      return false;
    }
    const SecretMask none;  // the files' secrets are hidden already
    if (!writer.open(baseline, none, reason, range)) return false;
    BaselineRecord old;
    BaselineRecord recorded;
    unsigned long long lastOrdinal = 0;
    const auto next = [](BaselineReader& reader, BaselineRecord& record) {
      if (reader.ahead(0) == nullptr) {
        throw new TOVException("The baseline \"" + reader.path() +
                               "\" changed while it was merged");
      }
      reader.take(0, record, static_cast<std::size_t>(-1),
                  [](const baseline_file::RecordHeader&) {});
    };
    for (std::size_t i = 0; i < steps.size(); ++i) {
      RecordingStep step;
      step.kind = steps[i];
      if (step.hasBaseline()) next(theirs, old);
      if (step.hasRecording()) next(mine, recorded);
      const BaselineRecord* kept = nullptr;
      if (accepted[i]) {
        if (step.hasRecording()) kept = &recorded;
      } else if (step.hasBaseline()) {
        kept = &old;
      }
      if (kept == nullptr) continue;
      baseline_file::RecordHeader header = kept->header;
      // A merged file's transactions keep their places where they can; the
      // ordinals still rise.
      if (header.key.isTransaction) {
        header.key.ordinal = std::max(header.key.ordinal, lastOrdinal + 1);
        lastOrdinal = header.key.ordinal;
      }
      writer.add(header, kept->body);
    }
  }
  // The readers are closed: the file they read can be replaced.
  return writer.commit(reason);
}
