#pragma once

#include <chrono>

// Standard output as the run writes it, a line at a time. At a terminal,
// where a person watches, each line goes out as it ends; to a file or a
// pipe, at most every tenth of a second, and once a request has kept the
// provider waiting, within about a second (ProviderDelivery): a flush a
// line cost a long replay a fifth of its time in system calls. Standard
// error stays tied to standard output, so lines keep their order in a file
// that takes both.
class ConsolePacing {
 public:
  explicit ConsolePacing(bool terminal) : terminal_(terminal) {}

  // `text` and a line end.
  void line(const char* text);

 private:
  bool terminal_;
  std::chrono::steady_clock::time_point flushed_{};
};
