#pragma once

#include <string>

// Text bound for the report, gathered in memory and taken out in pieces by
// its writer. Whatever it is given is escaped for XML, made well-formed
// UTF-8, and has the password replaced wherever it appears.
class ReportText {
 public:
  explicit ReportText(std::string password) : password_(std::move(password)) {}

  ReportText& raw(const char* text) {
    text_ += text;
    return *this;
  }
  ReportText& escaped(const std::string& text);
  ReportText& number(long value);
  // Seconds with six decimals, without the cost of a formatted print.
  ReportText& seconds(double value);

  std::string& text() { return text_; }
  // The text with every occurrence of the password replaced.
  std::string hidden(std::string text) const;

 private:
  std::string password_;
  std::string text_;
};
