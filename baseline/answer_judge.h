#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "baseline/baseline_reader.h"
#include "baseline/baseline_record.h"
#include "baseline/baseline_writer.h"
#include "baseline/comparison_rules.h"
#include "baseline/difference.h"
#include "baseline/difference_digest.h"
#include "baseline/record_comparison.h"
#include "baseline/record_pairing.h"

// One answered request, as the judge takes it.
struct Answered {
  AnswerKey key;
  std::string_view request;  // the envelope as serialized
  // Its payload's canonical form (platform/xml/xml_canonical_form.h).
  std::string_view payload;
  long status = 0;
  std::string_view mediaType;  // as Content-Type gave it; empty: none
  long milliseconds = -1;
  std::string_view body;  // the run's secrets hidden, "***" each...
  const std::vector<std::size_t>* hiddenAt = nullptr;  // ...at these bytes
};

struct Judgement {
  std::optional<Verdict> removed;  // records passed over before it
  std::optional<Verdict> request;  // set when its answer differs
  long baselineMilliseconds = -1;  // the record's answer time, when known
};

// The files of a comparison, as the run's settings name them; empty: none.
struct BaselineFiles {
  std::string record;    // MDPROVIDER_RECORD
  std::string baseline;  // MDPROVIDER_BASELINE
  std::string rules;     // MDPROVIDER_BASELINE_RULES
};

// Records a run's answers as a baseline, compares them with an earlier
// baseline, or both in one run.
class AnswerJudge {
 public:
  AnswerJudge();
  ~AnswerJudge();
  AnswerJudge(const AnswerJudge&) = delete;
  AnswerJudge& operator=(const AnswerJudge&) = delete;

  // Opens the files. `range`: the sequence numbers the run replays. False
  // with one line in `problem` when one is set without delivery, when the
  // rules are set without a baseline, when the recording and the baseline
  // are one path, when the baseline or the rules cannot be used, or when the
  // recording cannot be created.
  bool configure(bool delivering, const SeqRange& range,
                 const BaselineFiles& files, std::string& problem);
  // A baseline's bodies pass through it too, so that one recorded with
  // other secrets, or none, compares as the answers do.
  void hideSecrets(const SecretMask& secrets) { secrets_ = &secrets; }
  bool isOn() const { return recording() || comparing(); }
  bool recording() const { return writer_ != nullptr; }
  bool comparing() const { return reader_ != nullptr; }

  // One answered request: recorded when recording, compared when
  // comparing. Throws a TOVException naming the file when the recording
  // cannot be written or the baseline turns out damaged.
  Judgement judge(const Answered& answered);
  // The run sends nothing more of its log: records it passes over from now
  // on were not reached.
  void logEndsEarly() {
    if (pairing_) pairing_->logEndsEarly();
    if (writer_) writer_->noteStopped();
  }
  // The end of a run that reached its end: the records no request paired
  // with were removed from the log (those outside a -b/-e range are not
  // reached).
  std::optional<Verdict> finish();

  // Puts the recording in place. False with one line in `reason`
  // ("Failed to write the recording "<file>": <why>").
  bool commit(std::string& reason);

  long compared() const { return compared_; }
  long differing() const { return differing_; }
  // Records passed over that the run should have reached.
  unsigned long long removed() const { return removed_; }
  // Records never paired that the run did not reach.
  unsigned long long unreached() const;
  // Each kind of difference and the answers it occurs in, at most 20.
  std::vector<DifferenceDigest::Line> digest() const;
  // "Rule "<file>" line 3 (mask /*/@tiem) matched nothing in 20 answers".
  std::vector<std::string> unmatchedRules() const;

  // Said once at the start, when not empty: what the baseline cannot do.
  const std::string& notice() const { return notice_; }
  const std::string& baselinePath() const { return baselinePath_; }
  const std::string& rulesPath() const { return rulesPath_; }
  const std::string& recordPath() const { return recordPath_; }
  // The range a recording of a run given -b or -e holds, else null.
  const SeqRange* recordedRange() const {
    return writer_ && !range_.whole() ? &range_ : nullptr;
  }

 private:
  Judgement compare(const Answered& answered,
                    const baseline_file::RecordHeader& header);
  Verdict removal(const PassedRecords& passed);

  std::unique_ptr<BaselineWriter> writer_;
  std::unique_ptr<BaselineReader> reader_;
  std::unique_ptr<RecordPairing> pairing_;
  ComparisonRules rules_;
  std::vector<unsigned long> ruleMatches_;  // answers each rule matched in
  std::vector<char> ruleSelectedRoot_;      // an ignore rule, the root
  unsigned long answersWithRules_ = 0;
  BaselineRecord record_;  // the one body held, reused
  const SecretMask* secrets_ = nullptr;
  SeqRange range_;
  DifferenceDigest digest_;
  std::string notice_;
  std::string baselinePath_;
  std::string rulesPath_;
  std::string recordPath_;
  long compared_ = 0;
  long differing_ = 0;
  unsigned long long removed_ = 0;
  unsigned long long notReached_ = 0;
};
