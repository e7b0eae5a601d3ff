#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "baseline/baseline_reader.h"
#include "baseline/baseline_record.h"
#include "baseline/baseline_writer.h"
#include "platform/xml/xml_answer_compare.h"

struct Judgement {
  enum class Kind {
    kSame,
    kStatus,          // the status differs (the body may too)
    kBody,            // the body differs
    kNotInBaseline,   // no record of this request
    kRequestChanged,  // the record is of another request
  };
  Kind kind = Kind::kSame;
  bool differs = false;
  // "Differs from the baseline: transaction 17 (seq 17): <first difference>
  // (and 2 more)", without a line end.
  std::string line;
  // The first difference, for the report's <failure message="...">.
  std::string message;
  // Every difference (at most 50 listed) and a unified diff (at most about
  // 60 lines), for the failure's text; lines end with '\n'.
  std::string details;
};

// Records a run's answers as a baseline, compares them with an earlier
// baseline, or both in one run.
class AnswerJudge {
 public:
  AnswerJudge();
  ~AnswerJudge();
  AnswerJudge(const AnswerJudge&) = delete;
  AnswerJudge& operator=(const AnswerJudge&) = delete;

  // Reads MDPROVIDER_RECORD, MDPROVIDER_BASELINE and
  // MDPROVIDER_BASELINE_RULES. False with one line in `problem` when one is
  // set without delivery, when the rules are set without a baseline, when
  // the recording and the baseline are one path, when the baseline or the
  // rules cannot be used, or when the recording cannot be created.
  bool configure(bool delivering, std::string& problem);
  // What hides the run's secrets in its answers: a baseline's bodies pass
  // through it too, so that one recorded with other secrets, or none,
  // compares as the answers do.
  void hideSecretsWith(std::function<void(std::string&)> hide) {
    hide_ = std::move(hide);
  }
  bool isOn() const { return recording() || comparing(); }
  bool recording() const { return writer_ != nullptr; }
  bool comparing() const { return reader_ != nullptr; }

  // One answered request; `payload` as envelopePayload gives it. Records it
  // when recording; compares it when comparing. Throws a TOVException
  // naming the file when the recording cannot be written or the baseline
  // turns out damaged.
  Judgement judge(const AnswerKey& key, std::string_view payload, long status,
                  const std::string& body);

  // The end of a run that reached its end: puts the recording in place.
  // False with one line in `reason` ("Failed to write the recording
  // "<file>": <why>").
  bool commit(std::string& reason);

  long compared() const { return compared_; }
  long differing() const { return differing_; }
  // Baseline records never paired with a request of the run.
  long unreached() const;

 private:
  Judgement compare(const AnswerKey& key, const std::string& fingerprint,
                    long status, const std::string& body);

  std::unique_ptr<BaselineWriter> writer_;
  std::unique_ptr<BaselineReader> reader_;
  platform::XmlCompareRules rules_;
  BaselineRecord record_;  // the one body held, reused
  std::function<void(std::string&)> hide_;
  long compared_ = 0;
  long differing_ = 0;
};
