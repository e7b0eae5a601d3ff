#pragma once

#include <iosfwd>
#include <memory>
#include <string>

// One line at the bottom of a terminal that shows a state and is redrawn in
// place, on standard error. For its life every other line that reaches the
// terminal, on standard error or (when it is the terminal too) standard
// output, finds it erased first and has it drawn again after it, so that
// the two never share a line; it is erased when the object goes.
class StatusLine {
 public:
  explicit StatusLine(bool outputIsTerminal);
  ~StatusLine();
  StatusLine(const StatusLine&) = delete;
  StatusLine& operator=(const StatusLine&) = delete;

  // Shows `text` in place of what the line showed.
  void draw(const std::string& text);

 private:
  class Filter;
  void show();
  void beforeOther();
  void afterOther();
  void erase();

  std::string text_;
  bool drawn_ = false;
  // Erased for another line, to be drawn again once it has ended.
  bool owed_ = false;
  std::streambuf* terminal_ = nullptr;  // standard error's own buffer
  std::unique_ptr<Filter> error_;
  std::unique_ptr<Filter> output_;
};
