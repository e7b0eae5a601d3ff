#include "report/run_page.h"

#include <cmath>

#include "report/html_text.h"

namespace {

constexpr std::size_t kNameWidth = 200;
constexpr std::size_t kContext = 3;  // lines around a change, side by side
constexpr std::size_t kRulesShown = 100;

double secondsBetween(std::chrono::steady_clock::time_point from,
                      std::chrono::steady_clock::time_point to) {
  return std::chrono::duration<double>(to - from).count();
}

std::uint64_t microsOf(double seconds) {
  return seconds <= 0 ? 0 : static_cast<std::uint64_t>(seconds * 1e6 + 0.5);
}

std::string statusOf(const PageRequest& request) {
  std::string status;
  if (request.answered) status = std::to_string(request.status);
  if (request.outcome == PageRequest::Outcome::kFailed) {
    status += status.empty() ? "failed" : ", failed";
  } else if (request.outcome == PageRequest::Outcome::kBuilt) {
    status = "built";
  }
  if (request.differs) status += ", differs";
  return status;
}

}  // namespace

RunPage::RunPage() : slowest_(kSlowest), grown_(kSlowest) {}

std::string RunPage::shown(std::string_view text, std::size_t width) const {
  std::string kept(text);
  if (secrets_ != nullptr && secrets_->appearsInMarkup(kept)) {
    kept = secrets_->hiddenInMarkup(kept);
  }
  return html::cut(kept, width);
}

std::string RunPage::nameOf(const PageRequest& request) {
  if (request.name != nullptr) return *request.name;
  return "transaction " + std::to_string(request.seq);
}

void RunPage::begin(PageRun run, const SecretMask& secrets) {
  secrets_ = &secrets;
  for (std::string* text :
       {&run.test, &run.project, &run.script, &run.address, &run.hostname}) {
    *text = shown(*text, kTextWidth);
  }
  run_ = std::move(run);
  begun_ = std::chrono::steady_clock::now();
}

void RunPage::requestEnded(const PageRequest& request) {
  ++counts_.requests;
  switch (request.outcome) {
    case PageRequest::Outcome::kBuilt:
      break;
    case PageRequest::Outcome::kAccepted:
      ++counts_.accepted;
      break;
    case PageRequest::Outcome::kRejected:
      ++counts_.rejected;
      break;
    case PageRequest::Outcome::kFailed:
      ++counts_.failed;
      break;
  }
  if (request.name == nullptr) {
    ++counts_.transactions;
    if (counts_.transactions == 1) firstTransaction_ = request.seq;
    lastTransaction_ = request.seq;
  }
  const double recorded = recorded_;
  recorded_ = -1;
  if ((request.outcome == PageRequest::Outcome::kRejected ||
       request.outcome == PageRequest::Outcome::kFailed) &&
      listed_.size() < kListed) {
    listed_.push_back({shown(nameOf(request), kNameWidth), request.outcome,
                       request.answered ? request.status : 0,
                       shown(request.message, kTextWidth),
                       shown(request.reason, kTextWidth)});
  }
  if (!request.answered) return;

  const double begun = secondsBetween(begun_, request.begun);
  if (firstBegun_ < 0) firstBegun_ = begun;
  lastEnded_ = secondsBetween(begun_, request.ended);
  const std::uint64_t micros =
      microsOf(secondsBetween(request.begun, request.ended));
  times_.add(micros);
  slices_.add(micros);
  if (slowest_.wouldKeep(micros)) {
    slowest_.add({micros, counts_.requests, shown(nameOf(request), kNameWidth),
                  statusOf(request), micros, 0});
  }
  if (recorded >= 0) {
    const std::uint64_t then = microsOf(recorded / 1000.0);
    pairedTimes_.add(micros);
    recordedTimes_.add(then);
    if (micros > then && grown_.wouldKeep(micros - then)) {
      grown_.add({micros - then, counts_.requests,
                  shown(nameOf(request), kNameWidth), statusOf(request), micros,
                  then});
    }
  }
}

void RunPage::noteFailure(const std::string& message) {
  // The first says what ended the run; later ones follow from it.
  if (failure_.empty()) failure_ = shown(message, kTextWidth);
}

void RunPage::noteInterruption(const std::string& line) {
  interruption_ = shown(line, kTextWidth);
}

std::string RunPage::firstTransaction() const {
  return "transaction " + std::to_string(firstTransaction_);
}

std::string RunPage::lastTransaction() const {
  return "transaction " + std::to_string(lastTransaction_);
}

double RunPage::requestsPerSecond() const {
  const double span = lastEnded_ - firstBegun_;
  if (times_.count() == 0 || span <= 0) return 0;
  return static_cast<double>(times_.count()) / span;
}

void RunPage::addDifference(PageDifference difference) {
  comparing_ = true;
  if (difference.removed > 0) {
    counts_.removed += difference.removed;
  } else {
    ++counts_.differing;
  }
  if (differing_.size() == kDiffering) return;
  Differing kept;
  kept.name = shown(difference.name, kNameWidth);
  kept.lineCount = difference.lines.size();
  for (std::size_t i = 0; i < difference.lines.size() && i < kLinesShown; ++i) {
    kept.lines.push_back(shown(difference.lines[i], kTextWidth));
  }
  if (!difference.baseline.empty() || !difference.answer.empty()) {
    if (secrets_ != nullptr) {
      for (std::vector<std::string>* lines :
           {&difference.baseline, &difference.answer}) {
        for (std::string& line : *lines) {
          if (secrets_->appearsIn(line)) line = secrets_->hidden(line);
        }
      }
    }
    kept.rows = sideBySide(difference.baseline, difference.answer, kContext,
                           kRows, kCellWidth);
    // Numbered as the whole listings are.
    for (SideBySideRow& row : kept.rows) {
      if (row.leftLine != 0) row.leftLine += difference.firstLine;
      if (row.rightLine != 0) row.rightLine += difference.firstLine;
    }
  }
  differing_.push_back(std::move(kept));
}

void RunPage::setDigest(std::vector<DigestLine> lines) {
  comparing_ = true;
  hasDigest_ = true;
  digest_.clear();
  for (DigestLine& line : lines) {
    digest_.push_back({shown(line.text, kTextWidth), line.count});
  }
}

void RunPage::setUnmatchedRules(std::vector<std::string> rules) {
  comparing_ = true;
  hasRuleCheck_ = true;
  rules_.clear();
  for (std::size_t i = 0; i < rules.size() && i < kRulesShown; ++i) {
    rules_.push_back(shown(rules[i], kTextWidth));
  }
}

void RunPage::recordedTime(double milliseconds) {
  if (std::isfinite(milliseconds) && milliseconds >= 0) {
    recorded_ = milliseconds;
  }
}
