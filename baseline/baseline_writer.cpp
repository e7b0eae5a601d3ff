#include "baseline/baseline_writer.h"

#include "platform/core/tov_exception.h"

bool BaselineWriter::open(const std::string& path, const SecretMask& secrets,
                          std::string& reason, const SeqRange& range) {
  secrets_ = &secrets;
  if (!file_.open(path, reason)) return false;
  path_ = path;
  records_ = 0;
  stopped_ = false;
  failure_.clear();
  buffer_.clear();
  buffer_.reserve(kBufferSize);
  buffer_.append(baseline_file::kFirstLine);
  buffer_ += '\n';
  if (!range.whole()) buffer_ += baseline_file::rangeLine(range) + '\n';
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

void BaselineWriter::add(const baseline_file::RecordHeader& header,
                         std::string_view body) {
  std::string reason;
  if (!failure_.empty()) fail(failure_);
  baseline_file::RecordHeader sized = header;
  // Bodies come with their secrets hidden; one that still holds one (a
  // caller that forgot) has them hidden here, and every "***" counts.
  std::string hidden;
  if (secrets_ != nullptr && secrets_->appearsIn(body)) {
    hidden = secrets_->hidden(body);
    body = hidden;
    sized.hiddenEverywhere = true;
  }
  sized.bodySize = body.size();
  if (!baseline_file::appendHeader(buffer_, sized, reason)) fail(reason);
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
  if (stopped_) buffer_ += " stopped";
  buffer_ += '\n';
  return flush(reason) && file_.commit(reason);
}
