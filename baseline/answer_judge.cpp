#include "baseline/answer_judge.h"

#include <algorithm>
#include <cctype>

#include "baseline/body_comparison.h"
#include "baseline/difference_text.h"
#include "baseline/request_fingerprint.h"

namespace {

constexpr const char* kRecordVariable = "MDPROVIDER_RECORD";
constexpr const char* kBaselineVariable = "MDPROVIDER_BASELINE";
constexpr const char* kRulesVariable = "MDPROVIDER_BASELINE_RULES";

// A baseline's body is read up to the larger of this and the answer, and
// as much again as a difference's excerpt and diff can show past the
// answer's end.
constexpr std::size_t kLeastHeld = std::size_t{4} << 20;
constexpr std::size_t kBeyondTheAnswer = 64 * 1024;
constexpr std::size_t kDigestLines = 20;

// "application/xml; Charset=UTF-8" as "application/xml;charset=utf-8":
// without blanks, in lower case, the parameters in order. Parameters count:
// another charset is another answer.
std::string mediaTypeOf(std::string_view contentType) {
  std::vector<std::string> parts;
  std::size_t at = 0;
  while (at <= contentType.size()) {
    std::size_t end = contentType.find(';', at);
    if (end == std::string_view::npos) end = contentType.size();
    std::string part(contentType.substr(at, end - at));
    part.erase(std::remove_if(part.begin(), part.end(),
                              [](unsigned char c) { return std::isspace(c); }),
               part.end());
    std::transform(part.begin(), part.end(), part.begin(),
                   [](unsigned char c) { return std::tolower(c); });
    if (!part.empty() || parts.empty()) parts.push_back(std::move(part));
    at = end + 1;
  }
  std::sort(parts.begin() + 1, parts.end());
  std::string type;
  for (const std::string& part : parts) {
    if (!type.empty()) type += ';';
    type += part;
  }
  return type;
}

}  // namespace

AnswerJudge::AnswerJudge() = default;
AnswerJudge::~AnswerJudge() = default;

bool AnswerJudge::configure(bool delivering, const SeqRange& range,
                            const BaselineFiles& files, std::string& problem) {
  recordPath_ = files.record;
  baselinePath_ = files.baseline;
  rulesPath_ = files.rules;
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
    ruleSelectedRoot_.assign(rules_.rules().size(), 0);
    pairing_ = std::make_unique<RecordPairing>(*reader, range);
    if (reader->version() == 1) {
      pairing_->pairByKeysOnly();
      notice_ = "The baseline \"" + baseline +
                "\" was recorded by an earlier version of the client: its "
                "requests pair by their numbers alone, and a changed request "
                "shows as a changed answer; record it again to tell them apart";
    } else if (!reader->range().whole()) {
      const SeqRange& held = reader->range();
      notice_ = "The baseline \"" + baseline +
                "\" holds only the transactions of -b" +
                std::to_string(held.first) +
                (held.last == -1 ? "" : " -e" + std::to_string(held.last)) +
                ": the others are not compared";
    }
    reader_ = std::move(reader);
  }
  if (!record.empty()) {
    auto writer = std::make_unique<BaselineWriter>();
    std::string reason;
    // The run's secrets, or none when it has not handed them.
    static const SecretMask kNone;
    if (!writer->open(record, secrets_ != nullptr ? *secrets_ : kNone, reason,
                      range)) {
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
  baseline_file::RecordHeader header;
  header.key = answered.key;
  header.fingerprint = requestFingerprint(
      answered.key.type, answered.key.action, answered.payload);
  header.status = answered.status;
  header.mediaType = mediaTypeOf(answered.mediaType);
  header.milliseconds = answered.milliseconds;
  if (answered.hiddenAt != nullptr) header.hiddenAt = *answered.hiddenAt;
  if (writer_) writer_->add(header, answered.body);
  if (!reader_) return Judgement();
  // Baselines of the first version hold the fingerprint of the text as
  // sent.
  if (reader_->version() == 1) {
    header.fingerprint = legacyRequestFingerprint(
        answered.key.type, answered.key.action, answered.request);
  }
  return compare(answered, header);
}

Verdict AnswerJudge::removal(const PassedRecords& passed) {
  Verdict verdict = removalVerdict(passed);
  removed_ += passed.count;
  digest_.add(verdict.differences);
  return verdict;
}

Judgement AnswerJudge::compare(const Answered& answered,
                               const baseline_file::RecordHeader& header) {
  // A body larger than both the answer and what is always held differs from
  // the answer byte for byte: its head tells how, and a baseline made by
  // hand with a huge length costs no more than the answer.
  const std::size_t most =
      std::max(answered.body.size(), kLeastHeld) + kBeyondTheAnswer;
  const Pairing pairing =
      pairing_->pair(answered.key, header.fingerprint, record_, most);
  Judgement judgement;
  notReached_ += pairing.notReached;
  if (pairing.removed.count > 0) judgement.removed = removal(pairing.removed);
  // A baseline of part of the log says nothing of the rest.
  if (pairing.outcome == Pairing::Outcome::kNotFound &&
      answered.key.isTransaction && !reader_->range().holds(answered.key.seq)) {
    return judgement;
  }
  ++compared_;
  Verdict verdict;
  if (pairing.outcome == Pairing::Outcome::kPaired) {
    judgement.baselineMilliseconds = record_.header.milliseconds;
    RuleUse use;
    verdict = compareRecords(header, answered.body, record_,
                             reader_->version() != 1, rules_, secrets_, &use);
    if (use.applied) {
      ++answersWithRules_;
      for (std::size_t r = 0; r < use.matched.size(); ++r) {
        ruleMatches_[r] += use.matched[r] != 0;
        if ((use.matched[r] & 2) != 0) ruleSelectedRoot_[r] = 1;
      }
    }
  } else {
    verdict = unpairedVerdict(answered.key, pairing);
  }
  if (verdict.count == 0) return judgement;
  tell(answered.key, verdict);
  ++differing_;
  digest_.add(verdict.differences);
  judgement.request = std::move(verdict);
  return judgement;
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

std::vector<DifferenceDigest::Line> AnswerJudge::digest() const {
  return digest_.lines(kDigestLines);
}

std::vector<std::string> AnswerJudge::unmatchedRules() const {
  std::vector<std::string> lines;
  if (answersWithRules_ == 0) return lines;
  const auto& rules = rules_.rules();
  for (std::size_t r = 0; r < rules.size(); ++r) {
    const std::string rule = "Rule \"" + rules_.source() + "\" line " +
                             std::to_string(rules[r].line) + " (" +
                             rules[r].text + ")";
    if (ruleSelectedRoot_[r] != 0) {
      lines.push_back(rule +
                      " selects the root element, which no rule ignores");
    } else if (ruleMatches_[r] == 0) {
      lines.push_back(rule + " matched nothing in " +
                      std::to_string(answersWithRules_) +
                      (answersWithRules_ == 1 ? " answer" : " answers"));
    }
  }
  return lines;
}
