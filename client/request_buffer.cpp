#include "client/request_buffer.h"

RequestBuffer::int_type RequestBuffer::overflow(int_type ch) {
  if (traits_type::eq_int_type(ch, traits_type::eof())) {
    return traits_type::not_eof(ch);
  }
  text_.push_back(traits_type::to_char_type(ch));
  return ch;
}

std::streamsize RequestBuffer::xsputn(const char* text, std::streamsize count) {
  text_.append(text, static_cast<std::size_t>(count));
  return count;
}
