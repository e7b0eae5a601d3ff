#pragma once

#include <chrono>
#include <cstdint>
#include <memory>

#include "console/status_line.h"

// One line on standard error that shows how far a long delivering replay
// is, redrawn at most ten times a second and erased when the replay ends,
// however it ends, and for every other line the console shows meanwhile.
// Shown only when asked for; otherwise it does nothing.
class ReplayProgress {
 public:
  // `outputIsTerminal`: standard output shows on the terminal too.
  ReplayProgress(std::int32_t count, bool shown, bool outputIsTerminal);
  ReplayProgress(const ReplayProgress&) = delete;
  ReplayProgress& operator=(const ReplayProgress&) = delete;

  // `looked` transactions of the count looked at, `requests` answered.
  void update(std::int32_t looked, long requests);

 private:
  std::int32_t count_;
  std::unique_ptr<StatusLine> line_;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point next_;
  long firstRequests_ = -1;
};
