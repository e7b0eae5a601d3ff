#pragma once

#include <chrono>
#include <random>
#include <string>

// The two parts of every answer that change from run to run, as a real
// provider's do: its time and an id it makes up.
class AnswerStamp {
 public:
  AnswerStamp();

  std::string time() const;  // now
  std::string id();          // 16 hex digits, new each time

 private:
  std::mt19937_64 random_;
};

// UTC, ISO 8601 with milliseconds: "2026-12-09T17:26:00.123Z".
std::string isoTime(std::chrono::system_clock::time_point when);
