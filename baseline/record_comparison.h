#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "baseline/baseline_reader.h"
#include "baseline/body_comparison.h"
#include "baseline/difference.h"
#include "baseline/record_pairing.h"

// What differs of one request, or of records the log lost, as every text
// tells it.
struct Verdict {
  std::string testcase;  // the report's name of it
  std::string line;      // "Differs from the baseline: ...", no line end
  std::string message;   // the first difference
  // Every difference (at most 50 listed), the names of namespaces, and a
  // unified diff (at most about 60 lines), for the report; lines end '\n'.
  std::string details;
  unsigned long count = 0;
  std::vector<Difference> differences;
  unsigned long long removed = 0;  // records, when the log lost them
  // The two answers' normal forms around their first difference, numbered
  // from `firstLine`; empty when they were not compared as XML.
  std::vector<std::string> answerLines;
  std::vector<std::string> baselineLines;
  std::size_t firstLine = 0;
};

// An answer (as a record's header tells it and its body, "***" at the
// header's hiddenAt standing for the run's password) compared with its
// baseline record: status, media type, body. `marked`: whether the
// baseline knows where it hid a password (not so in the first version).
// `secrets`, when given, are hidden in the baseline's body too.
// Empty when they are the same.
Verdict compareRecords(const baseline_file::RecordHeader& answer,
                       std::string_view body, BaselineRecord& baseline,
                       bool marked, const ComparisonRules& rules,
                       const SecretMask* secrets, RuleUse* use);

// A request paired with no record, or with the record of another request.
Verdict unpairedVerdict(const AnswerKey& key, const Pairing& pairing);

// Records passed over that the run should have reached.
Verdict removalVerdict(const PassedRecords& passed);

// Fills the verdict's line, message and the listed lines of its details,
// naming the request.
void tell(const AnswerKey& key, Verdict& verdict);
