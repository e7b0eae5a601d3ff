#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

// The page as it is written: markup as given, every other text escaped,
// handed to `sink` in pieces of some 64 KiB.
class HtmlOut {
 public:
  explicit HtmlOut(std::function<void(std::string_view)> sink)
      : sink_(std::move(sink)) {}
  ~HtmlOut() { flush(); }
  HtmlOut(const HtmlOut&) = delete;
  HtmlOut& operator=(const HtmlOut&) = delete;

  HtmlOut& raw(std::string_view markup);
  HtmlOut& text(std::string_view text);
  // "1,234,567".
  HtmlOut& count(std::uint64_t value);
  // A time with three significant digits: "0.412 ms", "12.3 ms", "1.20 s".
  HtmlOut& micros(std::uint64_t value);
  // A number with at most `decimals` decimals: "12.5".
  HtmlOut& decimal(double value, int decimals);

  // How much has been written, handed on or not.
  std::uint64_t written() const { return flushed_ + buffer_.size(); }
  void flush();

 private:
  std::function<void(std::string_view)> sink_;
  std::string buffer_;
  std::uint64_t flushed_ = 0;
};

// The text that HtmlOut::micros writes.
std::string shownMicros(std::uint64_t value);
