#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// The answer times of a run in order, as at most 1,000 slices of equal
// numbers of requests, each with its median and maximum, whatever the
// run's length: when the slices are full, each two neighbours become one.
// A slice keeps its times in a coarse histogram (16 steps an octave), so
// its median is within some 2% of the exact one; its maximum is exact.
class TimeSlices {
 public:
  static constexpr std::size_t kMost = 1000;

  void add(std::uint64_t micros);

  struct Slice {
    std::uint64_t first = 0;     // the number of its first request, from 1
    std::uint64_t requests = 0;  // how many
    std::uint64_t median = 0;
    std::uint64_t max = 0;
  };
  std::vector<Slice> slices() const;
  std::uint64_t count() const { return count_; }

 private:
  static constexpr std::size_t kSteps = 16;
  static constexpr std::size_t kOctaves = 36;
  static constexpr std::size_t kBuckets = 1 + kSteps * kOctaves;

  void halve();
  std::uint64_t median(std::size_t slice) const;

  std::vector<std::uint32_t> counts_;  // kBuckets a slice, as filled
  std::vector<std::uint64_t> max_;
  std::vector<std::uint64_t> sizes_;
  std::uint64_t width_ = 1;  // requests a slice
  std::uint64_t count_ = 0;
};
