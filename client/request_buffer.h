#pragma once

#include <cstddef>
#include <streambuf>
#include <string>
#include <utility>

// The growable in-memory array behind a request's output stream. It starts
// empty and grows as text is written; a failure to grow reaches the stream
// as an exception, which leaves the stream in a failed state.
class RequestBuffer : public std::streambuf {
 public:
  // Room for a typical request, so that most never grow.
  RequestBuffer() { text_.reserve(512); }

  const char* data() const { return text_.data(); }
  std::size_t size() const { return text_.size(); }
  // The text written, which leaves the buffer empty.
  std::string take() { return std::move(text_); }

 protected:
  int_type overflow(int_type ch) override;
  std::streamsize xsputn(const char* text, std::streamsize count) override;

 private:
  std::string text_;
};
