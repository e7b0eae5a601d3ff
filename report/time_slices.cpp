#include "report/time_slices.h"

namespace {

// Bucket 0 holds 0 µs; then each octave from 1 µs has 16 steps.
std::size_t bucketOf(std::uint64_t micros, std::size_t steps,
                     std::size_t octaves) {
  if (micros == 0) return 0;
  std::size_t octave = 0;
  while ((micros >> (octave + 1)) != 0) ++octave;
  if (octave >= octaves) return steps * octaves;
  // The 4 bits below the leading one tell the step.
  const std::uint64_t step = octave >= 4 ? (micros >> (octave - 4)) & 15
                                         : (micros << (4 - octave)) & 15;
  return 1 + octave * steps + static_cast<std::size_t>(step);
}

// The middle of a bucket's range, in microseconds.
std::uint64_t middleOf(std::size_t bucket, std::size_t steps) {
  if (bucket == 0) return 0;
  const std::size_t octave = (bucket - 1) / steps;
  const std::uint64_t step = (bucket - 1) % steps;
  const double least = static_cast<double>(16 + step) / 16.0 *
                       static_cast<double>(std::uint64_t{1} << octave);
  const double most = static_cast<double>(17 + step) / 16.0 *
                      static_cast<double>(std::uint64_t{1} << octave);
  return static_cast<std::uint64_t>((least + most) / 2);
}

}  // namespace

void TimeSlices::add(std::uint64_t micros) {
  if (count_ == kMost * width_) halve();
  const std::size_t slice = static_cast<std::size_t>(count_ / width_);
  if (slice == sizes_.size()) {
    counts_.resize(counts_.size() + kBuckets, 0);
    max_.push_back(0);
    sizes_.push_back(0);
  }
  ++counts_[slice * kBuckets + bucketOf(micros, kSteps, kOctaves)];
  if (micros > max_[slice]) max_[slice] = micros;
  ++sizes_[slice];
  ++count_;
}

void TimeSlices::halve() {
  const std::size_t kept = kMost / 2;
  for (std::size_t to = 0; to < kept; ++to) {
    const std::size_t one = 2 * to;
    const std::size_t other = one + 1;
    for (std::size_t b = 0; b < kBuckets; ++b) {
      counts_[to * kBuckets + b] =
          counts_[one * kBuckets + b] + counts_[other * kBuckets + b];
    }
    max_[to] = max_[one] > max_[other] ? max_[one] : max_[other];
    sizes_[to] = sizes_[one] + sizes_[other];
  }
  counts_.resize(kept * kBuckets);
  max_.resize(kept);
  sizes_.resize(kept);
  width_ *= 2;
}

std::uint64_t TimeSlices::median(std::size_t slice) const {
  const std::uint64_t rank = (sizes_[slice] + 1) / 2;
  std::uint64_t seen = 0;
  for (std::size_t b = 0; b < kBuckets; ++b) {
    seen += counts_[slice * kBuckets + b];
    if (seen >= rank) {
      const std::uint64_t middle = middleOf(b, kSteps);
      return middle > max_[slice] ? max_[slice] : middle;
    }
  }
  return max_[slice];
}

std::vector<TimeSlices::Slice> TimeSlices::slices() const {
  std::vector<Slice> out(sizes_.size());
  for (std::size_t i = 0; i < out.size(); ++i) {
    out[i].first = i * width_ + 1;
    out[i].requests = sizes_[i];
    out[i].median = median(i);
    out[i].max = max_[i];
  }
  return out;
}
