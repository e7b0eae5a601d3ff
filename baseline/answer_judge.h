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
#include "baseline/record_pairing.h"

// One answered request, as the judge takes it.
struct Answered {
  AnswerKey key;
  std::string_view request;  // the envelope as serialized
  long status = 0;
  std::string_view mediaType;  // as Content-Type gave it; empty: none
  long milliseconds = -1;
  std::string_view body;  // the run's secrets hidden, "***" each...
  const std::vector<std::size_t>* hiddenAt = nullptr;  // ...at these bytes
};

// What differs of one request, or of records the log lost.
struct Verdict {
  std::string testcase;  // the report's name of it
  std::string line;      // "Differs from the baseline: ...", no line end
  std::string message;   // the first difference
  // Every difference (at most 50 listed), the names of namespaces, and a
  // unified diff (at most about 60 lines), for the report; lines end '\n'.
  std::string details;
  unsigned long count = 0;
  std::vector<Difference> differences;
  // The two answers' normal forms around their first difference, numbered
  // from `firstLine`; empty when they were not compared as XML.
  std::vector<std::string> answerLines;
  std::vector<std::string> baselineLines;
  std::size_t firstLine = 0;
};

struct Judgement {
  std::optional<Verdict> removed;  // records passed over before it
  std::optional<Verdict> request;  // set when its answer differs
  long baselineMilliseconds = -1;  // the record's answer time, when known
};

// Records a run's answers as a baseline, compares them with an earlier
// baseline, or both in one run.
class AnswerJudge {
 public:
  // What hides the run's secrets in a text: the text with each written
  // "***", and where.
  using Hide =
      std::function<std::string(std::string_view, std::vector<std::size_t>&)>;

  AnswerJudge();
  ~AnswerJudge();
  AnswerJudge(const AnswerJudge&) = delete;
  AnswerJudge& operator=(const AnswerJudge&) = delete;

  // Reads MDPROVIDER_RECORD, MDPROVIDER_BASELINE and
  // MDPROVIDER_BASELINE_RULES. `range`: the sequence numbers the run
  // replays. False with one line in `problem` when one is set without
  // delivery, when the rules are set without a baseline, when the recording
  // and the baseline are one path, when the baseline or the rules cannot be
  // used, or when the recording cannot be created.
  bool configure(bool delivering, const SeqRange& range, std::string& problem);
  // A baseline's bodies pass through it too, so that one recorded with
  // other secrets, or none, compares as the answers do.
  void hideSecretsWith(Hide hide) { hide_ = std::move(hide); }
  bool isOn() const { return recording() || comparing(); }
  bool recording() const { return writer_ != nullptr; }
  bool comparing() const { return reader_ != nullptr; }

  // One answered request: recorded when recording, compared when
  // comparing. Throws a TOVException naming the file when the recording
  // cannot be written or the baseline turns out damaged.
  Judgement judge(const Answered& answered);
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
  // "Differences by place: ..." lines, at most 20.
  std::vector<std::string> digest() const;
  // "Rule "<file>" line 3 (mask /*/@tiem) matched nothing in 20 answers".
  std::vector<std::string> unmatchedRules() const;

  const std::string& baselinePath() const { return baselinePath_; }
  const std::string& rulesPath() const { return rulesPath_; }
  const std::string& recordPath() const { return recordPath_; }
  // The range a recording of a run given -b or -e holds, else null.
  const SeqRange* recordedRange() const {
    return writer_ && !range_.whole() ? &range_ : nullptr;
  }

 private:
  Judgement compare(const Answered& answered, const std::string& fingerprint);
  void compareBody(const Answered& answered, Verdict& verdict);
  Verdict removal(const PassedRecords& passed);
  void count(Verdict& verdict);

  std::unique_ptr<BaselineWriter> writer_;
  std::unique_ptr<BaselineReader> reader_;
  std::unique_ptr<RecordPairing> pairing_;
  ComparisonRules rules_;
  std::vector<unsigned long> ruleMatches_;  // answers each rule matched in
  unsigned long answersWithRules_ = 0;
  BaselineRecord record_;  // the one body held, reused
  Hide hide_;
  SeqRange range_;
  DifferenceDigest digest_;
  std::string baselinePath_;
  std::string rulesPath_;
  std::string recordPath_;
  long compared_ = 0;
  long differing_ = 0;
  unsigned long long removed_ = 0;
  unsigned long long notReached_ = 0;
};
