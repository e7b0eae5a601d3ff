#pragma once

#include <string>

// Failures of the platform libraries are thrown by pointer; whoever catches
// one deletes it.
class TOVThrowable {
 public:
  explicit TOVThrowable(std::string errorCode)
      : errorCode_(std::move(errorCode)) {}
  virtual ~TOVThrowable() = default;

  const char* getErrorCodeString() const { return errorCode_.c_str(); }

 private:
  std::string errorCode_;
};

class TOVException : public TOVThrowable {
 public:
  using TOVThrowable::TOVThrowable;
};
