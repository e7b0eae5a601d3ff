#include "connection/report_text.h"

#include <charconv>
#include <cstdint>

#include "platform/xml/xml_text_check.h"

std::string ReportText::hidden(std::string text) const {
  if (password_.empty()) return text;
  for (std::size_t at = 0; (at = text.find(password_, at)) != std::string::npos;
       at += 3) {
    text.replace(at, password_.size(), "***");
  }
  return text;
}

ReportText& ReportText::escaped(const std::string& text) {
  if (password_.empty() || text.find(password_) == std::string::npos) {
    platform::appendXmlEscaped(text_, text.data(), text.size());
  } else {
    const std::string shown = hidden(text);
    platform::appendXmlEscaped(text_, shown.data(), shown.size());
  }
  return *this;
}

ReportText& ReportText::number(long value) {
  char digits[24];
  const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  text_.append(digits, end);
  return *this;
}

ReportText& ReportText::seconds(double value) {
  const auto micros =
      static_cast<std::int64_t>(value < 0 ? 0 : value * 1e6 + 0.5);
  number(static_cast<long>(micros / 1000000));
  char fraction[7];
  std::int64_t rest = micros % 1000000;
  for (int i = 5; i >= 0; --i, rest /= 10) {
    fraction[i] = static_cast<char>('0' + rest % 10);
  }
  text_ += '.';
  text_.append(fraction, 6);
  return *this;
}
