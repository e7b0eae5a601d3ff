#include "baseline/record_comparison.h"

#include <algorithm>

#include "baseline/difference_text.h"

namespace {

// What a difference's excerpt and diff can show past the answer's end.
constexpr std::size_t kBeyondTheAnswer = 64 * 1024;

// "***" at these places stands for the run's password.
void markHidden(std::string& text, const std::vector<std::size_t>& at) {
  for (const std::size_t place : at) {
    if (place + 3 <= text.size() && text.compare(place, 3, "***") == 0) {
      text.replace(place, 3, kHiddenPassword);
    }
  }
}

void markEvery(std::string& text) {
  for (std::size_t at = 0; (at = text.find("***", at)) != std::string::npos;
       at += 3) {
    text.replace(at, 3, kHiddenPassword);
  }
}

std::string namesOf(const PassedRecords& passed) {
  std::string names;
  for (const AnswerKey& key : passed.first) {
    if (!names.empty()) names += ", ";
    names += baseline_file::testcaseName(key);
  }
  if (passed.count > passed.first.size()) {
    names +=
        " and " + std::to_string(passed.count - passed.first.size()) + " more";
  }
  return names;
}

}  // namespace

Verdict compareRecords(const baseline_file::RecordHeader& answer,
                       std::string_view body, BaselineRecord& baseline,
                       bool marked, const ComparisonRules& rules,
                       const SecretMask* secrets, RuleUse* use) {
  const baseline_file::RecordHeader& header = baseline.header;
  Verdict verdict;
  std::vector<Difference>& found = verdict.differences;
  if (answer.status != header.status) {
    Difference status;
    status.kind = Difference::Kind::kStatus;
    status.answer = std::to_string(answer.status);
    status.baseline = std::to_string(header.status);
    found.push_back(status);
  }
  if (header.mediaKnown && answer.mediaKnown &&
      answer.mediaType != header.mediaType) {
    Difference type;
    type.kind = Difference::Kind::kMediaType;
    type.answer = answer.mediaType;
    type.baseline = header.mediaType;
    found.push_back(type);
  }
  std::string& theirs = baseline.body;
  if (marked) {
    if (header.hiddenEverywhere) {
      markEvery(theirs);
    } else {
      markHidden(theirs, header.hiddenAt);
    }
  }
  // A baseline recorded without the run's password, or with another, holds
  // it where the answers hide it.
  if (secrets != nullptr && secrets->appearsIn(theirs)) {
    std::vector<std::size_t> at;
    theirs = secrets->hidden(theirs, &at);
    if (marked) markHidden(theirs, at);
  }
  // A head cut inside a secret would show a part of it: its end goes.
  if (baseline.partial && theirs.size() > kBeyondTheAnswer / 2) {
    theirs.resize(theirs.size() - kBeyondTheAnswer / 2);
  }
  std::string mine;
  if (marked && (answer.hiddenEverywhere || !answer.hiddenAt.empty())) {
    mine.assign(body);
    if (answer.hiddenEverywhere) {
      markEvery(mine);
    } else {
      markHidden(mine, answer.hiddenAt);
    }
    body = mine;
  }
  BodyDifference difference;
  if (body != theirs) {
    // Only the head of a body longer than any compared is held.
    difference = baseline.partial
                     ? compareBytes(body, theirs)
                     : compareBodies(body, theirs, rules, use, &theirs,
                                     marked ? secrets : nullptr);
  }
  verdict.count = static_cast<unsigned long>(found.size()) + difference.count;
  for (Difference& each : difference.differences) {
    if (found.size() == BodyDifference::kListed) break;
    found.push_back(std::move(each));
  }
  if (verdict.count == 0) return verdict;
  for (const std::string& line : difference.legend) {
    verdict.details += line + '\n';
  }
  if (!difference.diff.empty()) verdict.details += '\n' + difference.diff;
  verdict.answerLines = std::move(difference.answerLines);
  verdict.baselineLines = std::move(difference.baselineLines);
  verdict.firstLine = difference.firstLine;
  return verdict;
}

Verdict unpairedVerdict(const AnswerKey& key, const Pairing& pairing) {
  Verdict verdict;
  Difference difference;
  if (pairing.outcome == Pairing::Outcome::kChanged) {
    // Its answer is not compared: it would tell of the log, not the
    // provider.
    difference.kind = Difference::Kind::kRequestChanged;
  } else {
    difference.kind = key.isTransaction ? Difference::Kind::kAddedToLog
                                        : Difference::Kind::kNotInBaseline;
    if (pairing.pastWindow) {
      difference.note = "(no record among the next " +
                        std::to_string(BaselineReader::kWindow) +
                        " of the baseline pairs with it: a change wider than "
                        "that is not paired)";
    }
  }
  verdict.differences.push_back(difference);
  verdict.count = 1;
  return verdict;
}

Verdict removalVerdict(const PassedRecords& passed) {
  Verdict verdict;
  Difference difference;
  difference.kind = Difference::Kind::kRemovedFromLog;
  difference.answer = namesOf(passed);
  verdict.testcase = baseline_file::testcaseName(passed.first.front());
  verdict.message = describe(difference);
  verdict.line = "Differs from the baseline: " + verdict.message;
  verdict.details = verdict.message + '\n';
  verdict.differences.push_back(difference);
  verdict.count = 1;
  verdict.removed = passed.count;
  return verdict;
}

void tell(const AnswerKey& key, Verdict& verdict) {
  verdict.testcase = baseline_file::testcaseName(key);
  verdict.line = differenceLine(baseline_file::requestName(key),
                                verdict.differences.front(), verdict.count);
  verdict.message = describe(verdict.differences.front());
  std::string listed;
  for (const Difference& difference : verdict.differences) {
    listed += describe(difference) + '\n';
  }
  if (verdict.count > verdict.differences.size()) {
    listed += "... and " +
              std::to_string(verdict.count - verdict.differences.size()) +
              " more differences\n";
  }
  verdict.details = listed + verdict.details;
}
