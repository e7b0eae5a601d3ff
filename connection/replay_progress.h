#pragma once

#include <chrono>
#include <cstdint>

// One line on standard error that shows how far a long delivering replay
// is, redrawn at most ten times a second and erased when the replay ends,
// however it ends. Shown only when asked for; otherwise it does nothing.
class ReplayProgress {
 public:
  ReplayProgress(std::int32_t count, bool shown);
  ~ReplayProgress();
  ReplayProgress(const ReplayProgress&) = delete;
  ReplayProgress& operator=(const ReplayProgress&) = delete;

  // `looked` transactions of the count looked at, `requests` answered.
  void update(std::int32_t looked, long requests);

 private:
  std::int32_t count_;
  bool shown_;
  bool drawn_ = false;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point next_;
  long firstRequests_ = -1;
};
