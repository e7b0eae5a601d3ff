#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "baseline/baseline_reader.h"
#include "baseline/comparison_rules.h"
#include "baseline/record_comparison.h"
#include "baseline/record_pairing.h"

// One step of a recording compared with a baseline, in the order of both.
struct RecordingStep {
  enum class Kind : unsigned char {
    kKept,     // a baseline record outside the recording's range
    kRemoved,  // a baseline record the recording lost
    kSame,     // a recording's record as its baseline record
    kDiffers,  // paired with a baseline record, with differences
    kChanged,  // paired by its key with the record of another request
    kAdded,    // a recording's record no baseline record pairs with
  };
  Kind kind = Kind::kSame;
  AnswerKey key;  // of the recording's record, or of the baseline's
  bool hasBaseline() const { return kind != Kind::kAdded; }
  bool hasRecording() const {
    return kind != Kind::kKept && kind != Kind::kRemoved;
  }
};

// A recording compared with a baseline, without a provider, as a run that
// compared with the baseline while it recorded would have found it.
class RecordingComparison {
 public:
  // False with one line in `problem` when a file cannot be used; the
  // baseline must be of this version (its fingerprints are of requests'
  // normal forms).
  bool open(const std::string& baseline, const std::string& recording,
            const std::string& rules, std::string& problem);
  const BaselineReader& baseline() const { return *baseline_; }
  const BaselineReader& recording() const { return *recording_; }

  // Each step in order, with its verdict when it differs (a removal's on
  // the first record of the removed run). Throws a TOVException when a file
  // turns out damaged.
  void walk(
      const std::function<void(const RecordingStep&, const Verdict*)>& step);

 private:
  std::unique_ptr<BaselineReader> baseline_;
  std::unique_ptr<BaselineReader> recording_;
  ComparisonRules rules_;
};

// Writes the baseline that `steps` (as walked) and `accepted` (one a step)
// make: an accepted step's recording record (or, for a removal, nothing)
// and otherwise the baseline's. Throws a TOVException when a file cannot
// be read or written; false with `reason` when it cannot be put in place.
bool writeMerged(const std::string& baseline, const std::string& recording,
                 const std::vector<RecordingStep::Kind>& steps,
                 const std::vector<char>& accepted, const SeqRange& range,
                 std::string& reason);
