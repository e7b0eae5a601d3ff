#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// What became of each request of the run, in order, for the report. Kept
// compact: a replay of a million transactions holds a million entries.
class RunRecord {
 public:
  enum class Outcome : std::uint8_t { kOpen, kPassed, kFailed, kError };

  struct Entry {
    std::int32_t seq;    // the transaction's number, for transactions
    std::uint16_t name;  // into names(), or kTransaction
    Outcome outcome;
    float seconds;         // building and delivering
    std::uint32_t detail;  // into details(), for failed and error entries
  };
  struct Detail {
    std::string message;  // "HTTP 500", or the text the driver printed
    std::string text;     // the start of the provider's answer
  };
  static constexpr std::uint16_t kTransaction = 0xFFFF;
  // At most this much of a rejecting answer is kept.
  static constexpr std::size_t kAnswerHead = 4096;

  // Nothing is recorded until asked for: the record costs memory.
  void enable() { enabled_ = true; }
  bool enabled() const { return enabled_; }
  void reserve(std::size_t more) {
    if (enabled_) entries_.reserve(entries_.size() + more);
  }
  // The next request is the replay of the transaction numbered `seq`.
  void nextIsTransaction(std::int32_t seq) {
    nextSeq_ = seq;
    nextIsTransaction_ = enabled_;
  }
  // A request begins: an open entry until it is passed, failed or errored.
  void begin(const std::string& type, const std::string& action);
  void pass();
  void fail(long status, const std::string& answer);
  // A failure that ended the run: the error of the open request, or of a
  // `run` entry of its own when no request was open.
  void endWithError(const std::string& message);

  const std::vector<Entry>& entries() const { return entries_; }
  const std::vector<std::string>& names() const { return names_; }
  const std::vector<Detail>& details() const { return details_; }
  // A run entry is named "run" and has no time.
  bool hasRunError() const { return runError_; }
  const Detail& runError() const { return runErrorDetail_; }

 private:
  void close(Outcome outcome, std::uint32_t detail);
  std::uint16_t nameOf(const std::string& type, const std::string& action);

  bool enabled_ = false;
  std::vector<Entry> entries_;
  std::vector<std::string> names_;  // "type action"
  std::vector<Detail> details_;
  std::chrono::steady_clock::time_point openedAt_;
  bool open_ = false;
  bool nextIsTransaction_ = false;
  std::int32_t nextSeq_ = 0;
  bool runError_ = false;
  Detail runErrorDetail_;
};
