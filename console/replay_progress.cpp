#include "console/replay_progress.h"

#include <cstdio>

namespace {

constexpr auto kRedraw = std::chrono::milliseconds(100);

}  // namespace

ReplayProgress::ReplayProgress(std::int32_t count, bool shown,
                               bool outputIsTerminal)
    : count_(count), start_(std::chrono::steady_clock::now()) {
  if (shown) line_ = std::make_unique<StatusLine>(outputIsTerminal);
  next_ = start_ + kRedraw;
}

void ReplayProgress::update(std::int32_t looked, long requests) {
  if (!line_) return;
  if (firstRequests_ < 0) firstRequests_ = requests;
  const auto now = std::chrono::steady_clock::now();
  if (now < next_) return;
  next_ = now + kRedraw;
  const double elapsed = std::chrono::duration<double>(now - start_).count();
  const double rate = static_cast<double>(requests - firstRequests_) / elapsed;
  const double perLooked = elapsed / looked;
  char line[160];
  std::snprintf(line, sizeof line,
                "%d of %d transactions (%d%%), %.0f requests/s, %.0f s left",
                looked, count_,
                static_cast<int>(100.0 * looked / (count_ > 0 ? count_ : 1)),
                rate, perLooked * (count_ - looked));
  line_->draw(line);
}
