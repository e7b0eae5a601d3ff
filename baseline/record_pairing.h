#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "baseline/baseline_reader.h"

// Records passed over: the first of them (a few) and how many.
struct PassedRecords {
  static constexpr std::size_t kNamed = 10;
  std::vector<AnswerKey> first;
  unsigned long long count = 0;
  void add(const AnswerKey& key) {
    if (first.size() < kNamed) first.push_back(key);
    ++count;
  }
};

struct Pairing {
  enum class Outcome {
    kPaired,    // with the record of the same request
    kChanged,   // with the record of its key, of another request
    kNotFound,  // with none
  };
  Outcome outcome = Outcome::kNotFound;
  // Records passed over before it: those of requests the run should have
  // sent (the log lost them), and those outside its range.
  PassedRecords removed;
  unsigned long long notReached = 0;
  // kNotFound while records lie past the window: a change that wide is not
  // paired.
  bool pastWindow = false;
};

// Pairs a run's requests with a baseline's records as a stream, by aligning
// their fingerprints and keys: a request pairs with the first record ahead
// of its fingerprint (of its key too, where there are several); failing
// that, with the first of its key (a changed request); failing that, with
// none (an added one). Records outside the run's range pair with nothing.
// What a pairing passes over was removed from the log, or lies outside the
// run's range.
class RecordPairing {
 public:
  RecordPairing(BaselineReader& reader, const SeqRange& range)
      : reader_(reader), range_(range) {}

  Pairing pair(const AnswerKey& key, const std::string& fingerprint,
               BaselineRecord& record, std::size_t most);
  // Told of each record passed over, in order, and whether it counts as
  // removed.
  void watchPassed(
      std::function<void(const baseline_file::RecordHeader&, bool removed)>
          watch) {
    watch_ = std::move(watch);
  }
  // The end of a run that reached its end: every record left is passed.
  Pairing finish();
  // The run sends nothing more of its log (a rejection stopped the
  // replay): what is passed from now on was not reached, not removed.
  void logEndsEarly() { countRemovals_ = false; }
  // The records hold fingerprints of another kind (a baseline of the first
  // version): requests pair by their keys alone, and none is told changed.
  void pairByKeysOnly() { keysOnly_ = true; }

 private:
  void pass(const baseline_file::RecordHeader& header, Pairing& pairing) const;

  BaselineReader& reader_;
  SeqRange range_;
  bool countRemovals_ = true;
  bool keysOnly_ = false;
  std::function<void(const baseline_file::RecordHeader&, bool)> watch_;
};
