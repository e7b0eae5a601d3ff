#include "platform/core/i18n_string.h"

#include <cstring>

#include "platform/core/tov_exception.h"
#include "platform/core/wipe.h"

namespace {

void requireDefaultEncoding(const char* encoding) {
  if (encoding != nullptr && std::strcmp(encoding, "UTF-8") != 0 &&
      std::strcmp(encoding, "utf-8") != 0) {
    throw new TOVException(std::string("Unsupported text encoding: ") +
                           encoding);
  }
}

}  // namespace

I18NString::I18NString(const char* text, const char* encoding, long length,
                       const void*, void*) {
  requireDefaultEncoding(encoding);
  if (text == nullptr) return;
  if (length < 0) {
    text_.assign(text);
  } else {
    text_.assign(text, static_cast<std::size_t>(length));
  }
}

const char* I18NString::c_str(const char* encoding, long* length, const void*,
                              void*) const {
  requireDefaultEncoding(encoding);
  if (length != nullptr) *length = static_cast<long>(text_.size());
  return text_.c_str();
}

I18NString& I18NString::operator=(const char* text) {
  if (text == nullptr) {
    text_.clear();
  } else {
    text_.assign(text);
  }
  return *this;
}

I18NString& I18NString::append(const I18NString& other) {
  text_.append(other.text_);
  return *this;
}

I18NString& I18NString::append(const char* text) {
  if (text != nullptr) text_.append(text);
  return *this;
}

bool I18NString::operator==(const char* text) const {
  return text_ == (text == nullptr ? "" : text);
}

void I18NString::wipe() { platform::wipe(text_); }
