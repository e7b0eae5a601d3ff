#include "baseline/baseline_writer.h"

#include "platform/core/tov_exception.h"

bool BaselineWriter::open(const std::string& path, std::string& reason) {
  if (!file_.open(path, reason)) return false;
  path_ = path;
  records_ = 0;
  failure_.clear();
  buffer_.clear();
  buffer_.reserve(kBufferSize);
  buffer_.append(baseline_file::kFirstLine);
  buffer_ += '\n';
  return true;
}

bool BaselineWriter::flush(std::string& reason) {
  if (buffer_.empty()) return true;
  const bool written = file_.append(buffer_.data(), buffer_.size(), reason);
  buffer_.clear();
  return written;
}

void BaselineWriter::fail(const std::string& reason) {
  failure_ = reason;
  throw new TOVException("Failed to write the recording \"" + path_ +
                         "\": " + reason);
}

void BaselineWriter::add(const AnswerKey& key, std::string_view fingerprint,
                         long status, std::string_view body) {
  std::string reason;
  if (!failure_.empty()) fail(failure_);
  if (!baseline_file::appendHeader(buffer_, key, fingerprint, status,
                                   body.size(), reason)) {
    fail(reason);
  }
  // A body that does not fit goes straight to the file.
  if (buffer_.size() + body.size() + 1 > kBufferSize) {
    if (!flush(reason)) fail(reason);
    if (body.size() >= kBufferSize &&
        !file_.append(body.data(), body.size(), reason)) {
      fail(reason);
    }
  }
  if (body.size() < kBufferSize) buffer_.append(body);
  buffer_ += '\n';
  ++records_;
}

bool BaselineWriter::commit(std::string& reason) {
  if (!failure_.empty()) {
    reason = failure_;
    return false;
  }
  buffer_ += "end ";
  buffer_ += std::to_string(records_);
  buffer_ += '\n';
  return flush(reason) && file_.commit(reason);
}
