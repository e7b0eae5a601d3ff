#include "report/html_out.h"

#include <cstdio>

#include "report/html_text.h"

namespace {

constexpr std::size_t kPiece = 64 * 1024;

}  // namespace

std::string shownMicros(std::uint64_t value) {
  char shown[32];
  const double ms = static_cast<double>(value) / 1000.0;
  if (ms < 1) {
    std::snprintf(shown, sizeof shown, "%.3f ms", ms);
  } else if (ms < 10) {
    std::snprintf(shown, sizeof shown, "%.2f ms", ms);
  } else if (ms < 100) {
    std::snprintf(shown, sizeof shown, "%.1f ms", ms);
  } else if (ms < 1000) {
    std::snprintf(shown, sizeof shown, "%.0f ms", ms);
  } else if (ms < 10000) {
    std::snprintf(shown, sizeof shown, "%.2f s", ms / 1000);
  } else if (ms < 100000) {
    std::snprintf(shown, sizeof shown, "%.1f s", ms / 1000);
  } else {
    std::snprintf(shown, sizeof shown, "%.0f s", ms / 1000);
  }
  return shown;
}

HtmlOut& HtmlOut::raw(std::string_view markup) {
  buffer_.append(markup);
  if (buffer_.size() >= kPiece) flush();
  return *this;
}

HtmlOut& HtmlOut::text(std::string_view text) {
  html::appendEscaped(buffer_, text);
  if (buffer_.size() >= kPiece) flush();
  return *this;
}

HtmlOut& HtmlOut::count(std::uint64_t value) {
  const std::string digits = std::to_string(value);
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) buffer_ += ',';
    buffer_ += digits[i];
  }
  return *this;
}

HtmlOut& HtmlOut::micros(std::uint64_t value) {
  buffer_ += shownMicros(value);
  return *this;
}

HtmlOut& HtmlOut::decimal(double value, int decimals) {
  char shown[48];
  std::snprintf(shown, sizeof shown, "%.*f", decimals, value);
  buffer_ += shown;
  return *this;
}

void HtmlOut::flush() {
  if (buffer_.empty()) return;
  sink_(buffer_);
  flushed_ += buffer_.size();
  buffer_.clear();
}
