#include "baseline/answer_judge.h"

#include <algorithm>
#include <cctype>

#include "baseline/body_comparison.h"
#include "baseline/difference_text.h"
#include "baseline/request_fingerprint.h"
#include "platform/os/environment.h"

namespace {

constexpr const char* kRecordVariable = "MDPROVIDER_RECORD";
constexpr const char* kBaselineVariable = "MDPROVIDER_BASELINE";
constexpr const char* kRulesVariable = "MDPROVIDER_BASELINE_RULES";

// A baseline's body is read up to the larger of this and the answer...
constexpr std::size_t kLeastHeld = std::size_t{4} << 20;
// ...and what a difference's excerpt and diff can show past the answer's end.
constexpr std::size_t kBeyondTheAnswer = 64 * 1024;
constexpr std::size_t kDigestLines = 20;

// "application/xml; charset=UTF-8" as "application/xml".
std::string mediaTypeOf(std::string_view contentType) {
  std::string type(contentType.substr(0, contentType.find(';')));
  type.erase(std::remove_if(type.begin(), type.end(),
                            [](unsigned char c) { return std::isspace(c); }),
             type.end());
  std::transform(type.begin(), type.end(), type.begin(),
                 [](unsigned char c) { return std::tolower(c); });
  return type;
}

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

AnswerJudge::AnswerJudge() = default;
AnswerJudge::~AnswerJudge() = default;

bool AnswerJudge::configure(bool delivering, const SeqRange& range,
                            std::string& problem) {
  recordPath_ = platform::environmentValue(kRecordVariable);
  baselinePath_ = platform::environmentValue(kBaselineVariable);
  rulesPath_ = platform::environmentValue(kRulesVariable);
  range_ = range;
  const std::string& record = recordPath_;
  const std::string& baseline = baselinePath_;
  const std::string& rules = rulesPath_;
  if (record.empty() && baseline.empty() && rules.empty()) return true;
  if (!delivering) {
    // The first set, in the order the README lists them.
    const char* named = !record.empty()     ? kRecordVariable
                        : !baseline.empty() ? kBaselineVariable
                                            : kRulesVariable;
    problem = std::string(named) +
              " is set, but nothing is delivered: set MDPROVIDER_DELIVER too";
    return false;
  }
  if (!rules.empty() && baseline.empty()) {
    problem = std::string(kRulesVariable) + " is set, but " +
              kBaselineVariable + " is not: the rules serve a comparison";
    return false;
  }
  if (!record.empty() && record == baseline) {
    problem = std::string(kRecordVariable) + " and " + kBaselineVariable +
              " name the same file \"" + record +
              "\": a run never rewrites its baseline";
    return false;
  }
  if (!baseline.empty()) {
    auto reader = std::make_unique<BaselineReader>();
    if (!reader->open(baseline, problem)) return false;
    if (!rules.empty() && !readComparisonRules(rules, rules_, problem)) {
      return false;
    }
    ruleMatches_.assign(rules_.rules().size(), 0);
    pairing_ = std::make_unique<RecordPairing>(*reader, range);
    reader_ = std::move(reader);
  }
  if (!record.empty()) {
    auto writer = std::make_unique<BaselineWriter>();
    std::string reason;
    if (!writer->open(record, reason, range)) {
      problem = "Cannot write the recording \"" + record + "\": " + reason;
      pairing_.reset();
      reader_.reset();
      return false;
    }
    writer_ = std::move(writer);
  }
  return true;
}

Judgement AnswerJudge::judge(const Answered& answered) {
  if (!isOn()) return Judgement();
  const std::string fingerprint = requestFingerprint(
      answered.key.type, answered.key.action, answered.request);
  if (writer_) {
    baseline_file::RecordHeader header;
    header.key = answered.key;
    header.fingerprint = fingerprint;
    header.status = answered.status;
    header.mediaType = mediaTypeOf(answered.mediaType);
    header.milliseconds = answered.milliseconds;
    if (answered.hiddenAt != nullptr) header.hiddenAt = *answered.hiddenAt;
    writer_->add(header, answered.body);
  }
  if (!reader_) return Judgement();
  // Baselines of version 1 hold the fingerprint of the text as sent.
  return compare(answered, reader_->version() == 1
                               ? legacyRequestFingerprint(answered.key.type,
                                                          answered.key.action,
                                                          answered.request)
                               : fingerprint);
}

Verdict AnswerJudge::removal(const PassedRecords& passed) {
  Verdict verdict;
  Difference difference;
  difference.kind = Difference::Kind::kRemovedFromLog;
  difference.answer = namesOf(passed);
  verdict.testcase = baseline_file::testcaseName(passed.first.front());
  verdict.line = "Differs from the baseline: " + describe(difference);
  verdict.differences.push_back(difference);
  verdict.count = 1;
  verdict.message = describe(difference);
  verdict.details = verdict.message + '\n';
  removed_ += passed.count;
  digest_.add(verdict.differences);
  return verdict;
}

Judgement AnswerJudge::compare(const Answered& answered,
                               const std::string& fingerprint) {
  ++compared_;
  // A body larger than both the answer and what is always held differs from
  // the answer byte for byte: its head tells how, and a baseline made by
  // hand with a huge length costs no more than the answer.
  const std::size_t most =
      std::max(answered.body.size(), kLeastHeld) + kBeyondTheAnswer;
  const Pairing pairing =
      pairing_->pair(answered.key, fingerprint, record_, most);
  Judgement judgement;
  notReached_ += pairing.notReached;
  if (pairing.removed.count > 0) judgement.removed = removal(pairing.removed);
  Verdict verdict;
  verdict.testcase = baseline_file::testcaseName(answered.key);
  Difference difference;
  switch (pairing.outcome) {
    case Pairing::Outcome::kNotFound:
      difference.kind = answered.key.isTransaction
                            ? Difference::Kind::kAddedToLog
                            : Difference::Kind::kNotInBaseline;
      if (pairing.pastWindow) {
        difference.note = "(no record among the next " +
                          std::to_string(BaselineReader::kWindow) +
                          " of the baseline pairs with it: a change wider "
                          "than that is not paired)";
      }
      verdict.differences.push_back(difference);
      verdict.count = 1;
      break;
    case Pairing::Outcome::kChanged:
      // Its answer is not compared: it would tell of the log, not the
      // provider.
      difference.kind = Difference::Kind::kRequestChanged;
      verdict.differences.push_back(difference);
      verdict.count = 1;
      break;
    case Pairing::Outcome::kPaired:
      judgement.baselineMilliseconds = record_.header.milliseconds;
      compareBody(answered, verdict);
      break;
  }
  if (verdict.count == 0) return judgement;
  verdict.line = differenceLine(baseline_file::requestName(answered.key),
                                verdict.differences.front(), verdict.count);
  count(verdict);
  judgement.request = std::move(verdict);
  return judgement;
}

void AnswerJudge::compareBody(const Answered& answered, Verdict& verdict) {
  const baseline_file::RecordHeader& header = record_.header;
  std::vector<Difference> found;
  if (answered.status != header.status) {
    Difference status;
    status.kind = Difference::Kind::kStatus;
    status.answer = std::to_string(answered.status);
    status.baseline = std::to_string(header.status);
    found.push_back(status);
  }
  const std::string media = mediaTypeOf(answered.mediaType);
  if (reader_->version() != 1 && media != header.mediaType) {
    Difference type;
    type.kind = Difference::Kind::kMediaType;
    type.answer = media;
    type.baseline = header.mediaType;
    found.push_back(type);
  }
  std::string& theirs = record_.body;
  const bool marked = reader_->version() != 1;
  if (marked) {
    if (header.hiddenEverywhere) {
      markEvery(theirs);
    } else {
      markHidden(theirs, header.hiddenAt);
    }
  }
  // A baseline recorded without the run's password, or with another, holds
  // it where the answers hide it.
  if (hide_) {
    std::vector<std::size_t> at;
    theirs = hide_(theirs, at);
    if (marked) markHidden(theirs, at);
  }
  // A head cut inside a secret would show a part of it: its end goes.
  if (record_.partial && theirs.size() > kBeyondTheAnswer / 2) {
    theirs.resize(theirs.size() - kBeyondTheAnswer / 2);
  }
  std::string mine;
  std::string_view body = answered.body;
  if (marked && answered.hiddenAt != nullptr && !answered.hiddenAt->empty()) {
    mine.assign(body);
    markHidden(mine, *answered.hiddenAt);
    body = mine;
  }
  BodyDifference difference;
  if (body != theirs) {
    RuleUse use;
    // Only the head of a body longer than any compared is held.
    difference = record_.partial ? compareBytes(body, theirs)
                                 : compareBodies(body, theirs, rules_, &use);
    if (use.applied) {
      ++answersWithRules_;
      for (std::size_t r = 0; r < use.matched.size(); ++r) {
        ruleMatches_[r] += use.matched[r] != 0;
      }
    }
  }
  verdict.count = found.size() + difference.count;
  for (Difference& each : difference.differences) {
    if (found.size() == BodyDifference::kListed) break;
    found.push_back(std::move(each));
  }
  verdict.differences = std::move(found);
  if (verdict.count == 0) return;
  for (const std::string& line : difference.legend) {
    verdict.details += line + '\n';
  }
  if (!difference.diff.empty()) verdict.details += '\n' + difference.diff;
  verdict.answerLines = std::move(difference.answerLines);
  verdict.baselineLines = std::move(difference.baselineLines);
  verdict.firstLine = difference.firstLine;
}

void AnswerJudge::count(Verdict& verdict) {
  ++differing_;
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
  digest_.add(verdict.differences);
}

std::optional<Verdict> AnswerJudge::finish() {
  if (!pairing_) return std::nullopt;
  const Pairing left = pairing_->finish();
  notReached_ += left.notReached;
  if (left.removed.count == 0) return std::nullopt;
  return removal(left.removed);
}

bool AnswerJudge::commit(std::string& reason) {
  if (!writer_) return true;
  std::string why;
  if (writer_->commit(why)) return true;
  reason = "Failed to write the recording \"" + writer_->path() + "\": " + why;
  return false;
}

unsigned long long AnswerJudge::unreached() const {
  return reader_ ? reader_->records() - reader_->paired() - removed_ : 0;
}

std::vector<std::string> AnswerJudge::digest() const {
  std::vector<std::string> lines;
  for (const DifferenceDigest::Line& line : digest_.lines(kDigestLines)) {
    lines.push_back(digestLine(line));
  }
  return lines;
}

std::vector<std::string> AnswerJudge::unmatchedRules() const {
  std::vector<std::string> lines;
  if (answersWithRules_ == 0) return lines;
  const auto& rules = rules_.rules();
  for (std::size_t r = 0; r < rules.size(); ++r) {
    if (ruleMatches_[r] != 0) continue;
    lines.push_back("Rule \"" + rules_.source() + "\" line " +
                    std::to_string(rules[r].line) + " (" + rules[r].text +
                    ") matched nothing in " +
                    std::to_string(answersWithRules_) +
                    (answersWithRules_ == 1 ? " answer" : " answers"));
  }
  return lines;
}
