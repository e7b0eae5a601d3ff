#include "console/console_pacing.h"

#include <iostream>

void ConsolePacing::line(const char* text) {
  std::cout << text << '\n';
  const auto now = std::chrono::steady_clock::now();
  if (terminal_ || now - flushed_ >= std::chrono::milliseconds(100)) {
    std::cout.flush();
    flushed_ = now;
  }
}
