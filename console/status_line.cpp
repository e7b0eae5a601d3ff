#include "console/status_line.h"

#include <iostream>
#include <streambuf>

namespace {

constexpr char kErase[] = "\r\033[K";

}  // namespace

// Stands between a stream and its buffer: tells the line when other text
// begins, and when a line of it has ended and gone out.
class StatusLine::Filter : public std::streambuf {
 public:
  Filter(std::ostream& stream, StatusLine& line)
      : stream_(stream), line_(line), next_(stream.rdbuf()) {
    stream_.flush();
    stream_.rdbuf(this);
  }
  ~Filter() override {
    stream_.flush();
    stream_.rdbuf(next_);
  }
  Filter(const Filter&) = delete;
  Filter& operator=(const Filter&) = delete;

  std::streambuf* next() const { return next_; }

 protected:
  int_type overflow(int_type c) override {
    if (traits_type::eq_int_type(c, traits_type::eof())) return 0;
    line_.beforeOther();
    wrote_ = true;
    lineEnded_ = traits_type::to_char_type(c) == '\n';
    return next_->sputc(traits_type::to_char_type(c));
  }
  std::streamsize xsputn(const char* text, std::streamsize size) override {
    if (size <= 0) return 0;
    line_.beforeOther();
    wrote_ = true;
    lineEnded_ = text[size - 1] == '\n';
    return next_->sputn(text, size);
  }
  // A stream is flushed also when another is written to (standard error
  // flushes standard output first): only a line it wrote and ended counts.
  int sync() override {
    const int synced = next_->pubsync();
    if (wrote_ && lineEnded_) line_.afterOther();
    wrote_ = false;
    return synced;
  }

 private:
  std::ostream& stream_;
  StatusLine& line_;
  std::streambuf* next_;
  bool wrote_ = false;
  bool lineEnded_ = false;
};

StatusLine::StatusLine(bool outputIsTerminal)
    : error_(std::make_unique<Filter>(std::cerr, *this)) {
  terminal_ = error_->next();
  if (outputIsTerminal) output_ = std::make_unique<Filter>(std::cout, *this);
}

StatusLine::~StatusLine() {
  output_.reset();
  error_.reset();
  erase();
  terminal_->pubsync();
}

void StatusLine::draw(const std::string& text) {
  text_ = text;
  show();
}

void StatusLine::show() {
  const std::string shown = "\r" + text_ + "\033[K";
  terminal_->sputn(shown.data(), static_cast<std::streamsize>(shown.size()));
  terminal_->pubsync();
  drawn_ = true;
  owed_ = false;
}

void StatusLine::beforeOther() {
  if (!drawn_) return;
  erase();
  owed_ = true;
}

void StatusLine::afterOther() {
  if (owed_) show();
}

void StatusLine::erase() {
  if (!drawn_) return;
  terminal_->sputn(kErase, sizeof kErase - 1);
  terminal_->pubsync();
  drawn_ = false;
}
