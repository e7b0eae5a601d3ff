#include "connection/replay_progress.h"

#include <cstdio>
#include <iostream>

namespace {

constexpr auto kRedraw = std::chrono::milliseconds(100);

}  // namespace

ReplayProgress::ReplayProgress(std::int32_t count, bool shown)
    : count_(count), shown_(shown), start_(std::chrono::steady_clock::now()) {
  next_ = start_ + kRedraw;
}

ReplayProgress::~ReplayProgress() {
  if (drawn_) std::cerr << "\r\033[K" << std::flush;
}

void ReplayProgress::update(std::int32_t looked, long requests) {
  if (!shown_) return;
  if (firstRequests_ < 0) firstRequests_ = requests;
  const auto now = std::chrono::steady_clock::now();
  if (now < next_) return;
  next_ = now + kRedraw;
  const double elapsed = std::chrono::duration<double>(now - start_).count();
  const double rate = static_cast<double>(requests - firstRequests_) / elapsed;
  const double perLooked = elapsed / looked;
  char line[160];
  std::snprintf(line, sizeof line,
                "\r%d of %d transactions (%d%%), %.0f requests/s, %.0f s left"
                "\033[K",
                looked, count_,
                static_cast<int>(100.0 * looked / (count_ > 0 ? count_ : 1)),
                rate, perLooked * (count_ - looked));
  std::cerr << line << std::flush;
  drawn_ = true;
}
