#pragma once

#include <string>

// The text type of every field, element name and attribute value: UTF-8
// bytes with value semantics. The optional arguments mirror the vendor
// interface; only the default encoding (UTF-8) is supported.
class I18NString {
 public:
  I18NString() = default;
  // `length` -1 takes the text up to its NUL; a null text is the empty text.
  I18NString(const char* text, const char* encoding = nullptr, long length = -1,
             const void* converter = nullptr, void* context = nullptr);

  // Valid while this value lives and is not changed.
  const char* c_str(const char* encoding = nullptr, long* length = nullptr,
                    const void* converter = nullptr,
                    void* context = nullptr) const;

  I18NString& operator=(const char* text);
  I18NString& append(const I18NString& other);
  I18NString& append(const char* text);

  bool operator==(const char* text) const;
  bool operator==(const I18NString& other) const {
    return text_ == other.text_;
  }

  const std::string& str() const { return text_; }
  // Zeros the bytes before the text is emptied: for a secret.
  void wipe();

 private:
  std::string text_;
};
