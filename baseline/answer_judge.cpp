#include "baseline/answer_judge.h"

#include <algorithm>
#include <vector>

#include "baseline/answer_difference.h"
#include "baseline/comparison_rules.h"
#include "baseline/request_fingerprint.h"
#include "platform/os/environment.h"

namespace {

constexpr const char* kRecordVariable = "MDPROVIDER_RECORD";
constexpr const char* kBaselineVariable = "MDPROVIDER_BASELINE";
constexpr const char* kRulesVariable = "MDPROVIDER_BASELINE_RULES";

// What a difference's excerpt and diff can show past the answer's end.
constexpr std::size_t kBeyondTheAnswer = 64 * 1024;

std::string httpStatus(long status) { return "HTTP " + std::to_string(status); }

}  // namespace

AnswerJudge::AnswerJudge() = default;
AnswerJudge::~AnswerJudge() = default;

bool AnswerJudge::configure(bool delivering, std::string& problem) {
  const std::string record = platform::environmentValue(kRecordVariable);
  const std::string baseline = platform::environmentValue(kBaselineVariable);
  const std::string rules = platform::environmentValue(kRulesVariable);
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
    reader_ = std::move(reader);
  }
  if (!record.empty()) {
    auto writer = std::make_unique<BaselineWriter>();
    std::string reason;
    if (!writer->open(record, reason)) {
      problem = "Cannot write the recording \"" + record + "\": " + reason;
      reader_.reset();
      return false;
    }
    writer_ = std::move(writer);
  }
  return true;
}

Judgement AnswerJudge::judge(const AnswerKey& key, std::string_view payload,
                             long status, const std::string& body) {
  if (!isOn()) return Judgement();
  const std::string fingerprint =
      requestFingerprint(key.type, key.action, payload);
  if (writer_) writer_->add(key, fingerprint, status, body);
  if (!reader_) return Judgement();
  return compare(key, fingerprint, status, body);
}

Judgement AnswerJudge::compare(const AnswerKey& key,
                               const std::string& fingerprint, long status,
                               const std::string& body) {
  ++compared_;
  Judgement judgement;
  std::vector<std::string> listed;
  unsigned long count = 0;
  BodyDifference body_difference;
  // A body larger than both the answer and what is compared as XML differs
  // from the answer byte for byte: its head tells how, and a baseline made
  // by hand with a huge length costs no more than the answer.
  const std::size_t most =
      std::max(body.size(), kLargestAsXml) + kBeyondTheAnswer;
  if (!reader_->find(key, record_, most)) {
    judgement.kind = Judgement::Kind::kNotInBaseline;
    listed.push_back("not in the baseline");
    count = 1;
  } else if (record_.header.fingerprint != fingerprint) {
    // Its answer is not compared: it would tell of the log, not the provider.
    judgement.kind = Judgement::Kind::kRequestChanged;
    listed.push_back(
        "the request differs from the recorded one: the log or script "
        "changed here");
    count = 1;
  } else {
    if (hide_) hide_(record_.body);
    // A head cut inside a secret would show a part of it: its end goes.
    if (record_.body.size() < record_.header.bodySize &&
        record_.body.size() > kBeyondTheAnswer / 2) {
      record_.body.resize(record_.body.size() - kBeyondTheAnswer / 2);
    }
    if (status != record_.header.status) {
      judgement.kind = Judgement::Kind::kStatus;
      listed.push_back(httpStatus(status) + " where the baseline has " +
                       httpStatus(record_.header.status));
      count = 1;
    }
    // The same bytes are the same answer, whatever the rules: no parse.
    if (body != record_.body) {
      body_difference = compareBodies(body, record_.body, rules_);
      if (body_difference.count > 0 &&
          judgement.kind == Judgement::Kind::kSame) {
        judgement.kind = Judgement::Kind::kBody;
      }
      count += body_difference.count;
      for (std::string& line : body_difference.listed) {
        if (listed.size() == BodyDifference::kListed) break;
        listed.push_back(std::move(line));
      }
    }
  }
  if (count == 0) return judgement;
  ++differing_;
  judgement.differs = true;
  judgement.message = listed.front();
  judgement.line =
      "Differs from the baseline: " + baseline_file::requestName(key) + ": " +
      judgement.message;
  if (count > 1) {
    judgement.line += " (and " + std::to_string(count - 1) + " more)";
  }
  for (const std::string& line : listed) judgement.details += line + '\n';
  if (count > listed.size()) {
    judgement.details += "... and " + std::to_string(count - listed.size()) +
                         " more differences\n";
  }
  for (const std::string& line : body_difference.legend) {
    judgement.details += line + '\n';
  }
  if (!body_difference.diff.empty()) {
    judgement.details += '\n' + body_difference.diff;
  }
  return judgement;
}

bool AnswerJudge::commit(std::string& reason) {
  if (!writer_) return true;
  std::string why;
  if (writer_->commit(why)) return true;
  reason = "Failed to write the recording \"" + writer_->path() + "\": " + why;
  return false;
}

long AnswerJudge::unreached() const {
  return reader_ ? static_cast<long>(reader_->unreached()) : 0;
}
