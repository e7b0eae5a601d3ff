#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Every answer time of a run, in microseconds, kept in a histogram fine
// enough for three significant digits: below 2,048 µs each microsecond has
// its own count, above it each of 1,024 steps an octave. Its memory does not
// grow with the run, only with the longest time (some 280 KiB at most).
class AnswerTimes {
 public:
  void add(std::uint64_t micros);

  std::uint64_t count() const { return count_; }
  std::uint64_t min() const { return min_; }
  std::uint64_t max() const { return max_; }
  // The nearest rank: the smallest time that at least `percent` of the
  // times do not exceed (the least for 0, the greatest for 100). Exact
  // below 2,048 µs and at either end, within 0.05% between; 0 when there is
  // none.
  std::uint64_t percentile(double percent) const;

  // The times counted in `bins` bins whose edges rise by one factor from
  // the least time to the greatest (one bin when all are one time).
  struct Bin {
    std::uint64_t from = 0;  // at least this
    std::uint64_t to = 0;    // and below this, or the greatest for the last
    std::uint64_t count = 0;
  };
  std::vector<Bin> histogram(std::size_t bins) const;

 private:
  std::vector<std::uint64_t> counts_;
  std::uint64_t count_ = 0;
  std::uint64_t min_ = 0;
  std::uint64_t max_ = 0;
};
