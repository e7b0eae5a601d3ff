#pragma once

#include <string>

class SecretMask;

// Text bound for the report, gathered in memory and taken out in pieces by
// its writer. Whatever it is given is escaped for XML, made well-formed
// UTF-8, and has the run's secrets hidden wherever they appear.
class ReportText {
 public:
  explicit ReportText(const SecretMask* secrets = nullptr)
      : secrets_(secrets) {}

  ReportText& raw(const char* text) {
    text_ += text;
    return *this;
  }
  ReportText& escaped(const std::string& text);
  // The same for the text of an element: its lines stay lines.
  ReportText& escapedText(const std::string& text);
  ReportText& number(long value);
  // Seconds with six decimals, without the cost of a formatted print.
  ReportText& seconds(double value);

  std::string& text() { return text_; }

 private:
  const SecretMask* secrets_;
  std::string text_;
};
