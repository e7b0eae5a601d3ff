#include "report/answer_times.h"

#include <cmath>

namespace {

constexpr std::uint64_t kExact = 2048;  // each microsecond below: a count
constexpr std::uint64_t kSteps = 1024;  // steps an octave above
constexpr std::uint64_t kLongest = std::uint64_t{1} << 42;  // some 51 days

int bitWidth(std::uint64_t value) {
  int width = 0;
  for (; value != 0; value >>= 1) ++width;
  return width;
}

std::size_t bucketOf(std::uint64_t micros) {
  if (micros < kExact) return static_cast<std::size_t>(micros);
  const int shift = bitWidth(micros) - 11;
  return static_cast<std::size_t>(kExact + (shift - 1) * kSteps +
                                  ((micros >> shift) - kSteps));
}

// The least time of a bucket and how many microseconds it spans.
void bucketRange(std::size_t bucket, std::uint64_t& least,
                 std::uint64_t& span) {
  if (bucket < kExact) {
    least = bucket;
    span = 1;
    return;
  }
  const std::uint64_t above = bucket - kExact;
  const int shift = static_cast<int>(above / kSteps) + 1;
  least = (kSteps + above % kSteps) << shift;
  span = std::uint64_t{1} << shift;
}

}  // namespace

void AnswerTimes::add(std::uint64_t micros) {
  if (micros >= kLongest) micros = kLongest - 1;
  const std::size_t bucket = bucketOf(micros);
  if (bucket >= counts_.size()) counts_.resize(bucket + 1, 0);
  ++counts_[bucket];
  if (count_ == 0 || micros < min_) min_ = micros;
  if (micros > max_) max_ = micros;
  ++count_;
}

std::uint64_t AnswerTimes::percentile(double percent) const {
  if (count_ == 0) return 0;
  auto rank = static_cast<std::uint64_t>(
      std::ceil(percent / 100.0 * static_cast<double>(count_)));
  if (rank < 1) rank = 1;
  if (rank >= count_) return max_;
  if (rank == 1) return min_;
  std::uint64_t seen = 0;
  for (std::size_t bucket = 0; bucket < counts_.size(); ++bucket) {
    seen += counts_[bucket];
    if (seen < rank) continue;
    std::uint64_t least = 0;
    std::uint64_t span = 0;
    bucketRange(bucket, least, span);
    const std::uint64_t middle = least + (span - 1) / 2;
    if (middle < min_) return min_;
    return middle > max_ ? max_ : middle;
  }
  return max_;
}

std::vector<AnswerTimes::Bin> AnswerTimes::histogram(std::size_t bins) const {
  std::vector<Bin> out;
  if (count_ == 0 || bins == 0) return out;
  if (min_ == max_) {
    out.push_back({min_, max_, count_});
    return out;
  }
  // A time of 0 µs is drawn with those of 1.
  const double low = static_cast<double>(min_ > 0 ? min_ : 1);
  const double high = static_cast<double>(max_ + 1);
  const double factor = std::pow(high / low, 1.0 / static_cast<double>(bins));
  out.resize(bins);
  double edge = low;
  for (std::size_t i = 0; i < bins; ++i) {
    out[i].from = i == 0 ? min_ : static_cast<std::uint64_t>(std::ceil(edge));
    edge *= factor;
    out[i].to =
        i + 1 == bins ? max_ : static_cast<std::uint64_t>(std::ceil(edge));
  }
  for (std::size_t bucket = 0; bucket < counts_.size(); ++bucket) {
    if (counts_[bucket] == 0) continue;
    std::uint64_t least = 0;
    std::uint64_t span = 0;
    bucketRange(bucket, least, span);
    const double value = static_cast<double>(least > 0 ? least : 1);
    auto bin =
        static_cast<std::size_t>(std::log(value / low) / std::log(factor));
    if (value < low) bin = 0;
    if (bin >= bins) bin = bins - 1;
    out[bin].count += counts_[bucket];
  }
  return out;
}
