#include "connection/run_record.h"

std::uint16_t RunRecord::nameOf(const std::string& type,
                                const std::string& action) {
  // Compared in place: no text is built for a name already known.
  const std::size_t split = type.size();
  for (std::size_t i = 0; i < names_.size(); ++i) {
    const std::string& name = names_[i];
    if (name.size() == split + 1 + action.size() &&
        name.compare(0, split, type) == 0 && name[split] == ' ' &&
        name.compare(split + 1, std::string::npos, action) == 0) {
      return static_cast<std::uint16_t>(i);
    }
  }
  // Request types and actions are a handful of fixed texts.
  if (names_.size() >= kTransaction) return 0;
  names_.push_back(type + " " + action);
  return static_cast<std::uint16_t>(names_.size() - 1);
}

void RunRecord::begin(const std::string& type, const std::string& action) {
  if (!enabled_) return;
  Entry entry{};
  if (nextIsTransaction_) {
    entry.seq = nextSeq_;
    entry.name = kTransaction;
    nextIsTransaction_ = false;
  } else {
    entry.name = nameOf(type, action);
  }
  entry.outcome = Outcome::kOpen;
  entries_.push_back(entry);
  open_ = true;
  openedAt_ = std::chrono::steady_clock::now();
}

void RunRecord::close(Outcome outcome, std::uint32_t detail) {
  if (!open_) return;
  Entry& entry = entries_.back();
  entry.outcome = outcome;
  entry.detail = detail;
  entry.seconds =
      std::chrono::duration<float>(std::chrono::steady_clock::now() - openedAt_)
          .count();
  open_ = false;
}

void RunRecord::pass() { close(Outcome::kPassed, 0); }

void RunRecord::fail(long status, const std::string& answer) {
  if (!open_) return;
  std::size_t cut = answer.size() < kAnswerHead ? answer.size() : kAnswerHead;
  // Not inside a UTF-8 sequence.
  while (cut < answer.size() && cut > 0 &&
         (static_cast<unsigned char>(answer[cut]) & 0xC0) == 0x80) {
    --cut;
  }
  details_.push_back({"HTTP " + std::to_string(status), answer.substr(0, cut)});
  close(Outcome::kFailed, static_cast<std::uint32_t>(details_.size() - 1));
}

void RunRecord::endWithError(const std::string& message) {
  if (!enabled_) return;
  nextIsTransaction_ = false;
  if (open_) {
    details_.push_back({message, std::string()});
    close(Outcome::kError, static_cast<std::uint32_t>(details_.size() - 1));
    return;
  }
  runError_ = true;
  runErrorDetail_ = {message, std::string()};
}
