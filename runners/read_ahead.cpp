#include "runners/read_ahead.h"

#include <system_error>
#include <utility>

namespace {

// A few requests ahead keep the provider busy; more would only hold memory.
// A request of kMostBytes or more is read ahead alone: the next is read
// only once the replay is done with it, so no two are held at once.
constexpr std::size_t kMostSteps = 64;
constexpr std::size_t kMostBytes = 1 << 20;
// A full queue wakes the reader only once it is half empty: a wake for
// every request taken would cost more than the reading saves.
constexpr std::size_t kWakeSteps = kMostSteps / 2;
constexpr std::size_t kWakeBytes = kMostBytes / 2;

bool isLast(const ReadTransaction& step) {
  return step.kind != ReadTransaction::Kind::kTransaction || step.failure;
}

std::size_t bytesOf(const ReadTransaction& step) {
  return step.request.text.size() + step.request.canonical.size();
}

}  // namespace

ReadAhead::ReadAhead(TransactionReader& reader, bool ahead) : reader_(reader) {
  if (!ahead) return;
  try {
    thread_ = std::thread([this] { readOn(); });
  } catch (const std::system_error&) {
    // No thread to be had: the replay reads in-line, only slower.
  }
}

ReadAhead::~ReadAhead() {
  if (!thread_.joinable()) return;
  // A reader passing over a long stretch out of the range stops too.
  reader_.stop();
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

bool ReadAhead::full() const {
  return ready_.size() >= kMostSteps || readyBytes_ >= kMostBytes;
}

bool ReadAhead::roomAgain() const {
  return ready_.size() <= kWakeSteps && readyBytes_ <= kWakeBytes;
}

void ReadAhead::readOn() {
  try {
    for (;;) {
      {
        // Room is made before reading, so that a reader that waits holds
        // nothing.
        std::unique_lock<std::mutex> lock(mutex_);
        if (full() || largeHandedOver_) {
          readerWaits_ = true;
          changed_.wait(lock, [this] {
            return stop_ || (roomAgain() && !largeHandedOver_);
          });
          readerWaits_ = false;
        }
        if (stop_) return;
      }
      ReadTransaction step = reader_.next();
      const bool last = isLast(step);
      const std::size_t bytes = bytesOf(step);
      const std::lock_guard<std::mutex> lock(mutex_);
      ready_.push_back(std::move(step));
      readyBytes_ += bytes;
      largeHandedOver_ = bytes >= kMostBytes;
      finished_ = last;
      // Woken only when it waits: most steps cost no call into the system.
      if (replayWaits_) changed_.notify_all();
      if (last) return;
    }
  } catch (...) {
    const std::lock_guard<std::mutex> lock(mutex_);
    lost_ = std::current_exception();
    finished_ = true;
    changed_.notify_all();
  }
}

ReadTransaction ReadAhead::next() {
  if (!thread_.joinable()) return reader_.next();
  std::unique_lock<std::mutex> lock(mutex_);
  if (ready_.empty() && largeHandedOver_) {
    // The replay is done with the large request: the next may be read.
    largeHandedOver_ = false;
    if (readerWaits_) changed_.notify_all();
  }
  replayWaits_ = true;
  changed_.wait(lock, [this] { return !ready_.empty() || finished_; });
  replayWaits_ = false;
  if (ready_.empty()) {
    if (lost_) std::rethrow_exception(lost_);
    return ReadTransaction();  // asked again after the end
  }
  ReadTransaction step = std::move(ready_.front());
  ready_.pop_front();
  readyBytes_ -= bytesOf(step);
  if (readerWaits_ && roomAgain()) changed_.notify_all();
  return step;
}
