#include "baseline/baseline_reader.h"

#include <algorithm>
#include <cstring>

#include "platform/core/tov_exception.h"
#include "platform/os/file_reader.h"

namespace {

constexpr std::size_t kWindowSize = 64 * 1024;

// A failure of the file layer ("Failed to open "<file>": <reason>") in the
// words of a baseline; others as they are.
std::string inBaselineWords(TOVException* failure, const std::string& path) {
  const std::unique_ptr<TOVException> owned(failure);
  std::string text = failure->getErrorCodeString();
  const std::string prefix = "Failed to open \"" + path + "\": ";
  if (text.compare(0, prefix.size(), prefix) != 0) return text;
  return "Cannot read the baseline \"" + path +
         "\": " + text.substr(prefix.size());
}

}  // namespace

BaselineReader::BaselineReader() = default;
BaselineReader::~BaselineReader() = default;

std::size_t BaselineReader::available() const {
  if (at_ < windowAt_ || at_ >= windowAt_ + windowSize_) return 0;
  return windowAt_ + windowSize_ - at_;
}

void BaselineReader::load(std::size_t at) {
  if (fileAt_ != at) {
    file_->seek(at);
    fileAt_ = at;
  }
  windowAt_ = at;
  windowSize_ = 0;
  std::size_t got = 0;
  while (windowSize_ < window_.size() &&
         (got = file_->read(window_.data() + windowSize_,
                            window_.size() - windowSize_)) > 0) {
    windowSize_ += got;
  }
  fileAt_ += windowSize_;
}

BaselineReader::Line BaselineReader::readLine(std::string& line) {
  line.clear();
  for (bool loaded = false;; loaded = true) {
    const std::size_t left = available();
    if (left > 0) {
      const char* start = window_.data() + (at_ - windowAt_);
      const void* end =
          std::memchr(start, '\n', std::min(left, baseline_file::kLongestLine));
      if (end != nullptr) {
        const auto size =
            static_cast<std::size_t>(static_cast<const char*>(end) - start);
        line.assign(start, size);
        at_ += size + 1;
        return Line::kRead;
      }
      if (left >= baseline_file::kLongestLine) return Line::kTooLong;
      if (loaded) line.assign(start, left);
    }
    if (loaded) return Line::kEnd;
    load(at_);
  }
}

void BaselineReader::readBody(std::size_t size, std::string& body,
                              std::size_t most) {
  const std::size_t wanted = std::min(size, most);
  body.resize(wanted);
  std::size_t done = 0;
  while (done < wanted) {
    if (available() == 0) {
      // What the window cannot hold is read straight into the body.
      if (wanted - done >= window_.size()) {
        if (fileAt_ != at_) file_->seek(at_);
        const std::size_t got = file_->read(body.data() + done, wanted - done);
        fileAt_ = at_ + got;
        if (got == 0) break;
        done += got;
        at_ += got;
        continue;
      }
      load(at_);
      if (available() == 0) break;
    }
    const std::size_t piece = std::min(available(), wanted - done);
    std::memcpy(body.data() + done, window_.data() + (at_ - windowAt_), piece);
    done += piece;
    at_ += piece;
  }
  if (done < wanted) damaged(index_ + 1, "cut short inside the body");
  // The rest is passed over: its line end still shows it is all there.
  at_ += size - wanted;
  if (available() == 0) load(at_);
  if (available() == 0 || window_[at_ - windowAt_] != '\n') {
    damaged(index_ + 1,
            "no line end after the body of " + std::to_string(size) + " bytes");
  }
  ++at_;
}

void BaselineReader::damaged(unsigned long long record,
                             const std::string& reason) const {
  throw new TOVException("The baseline \"" + path_ +
                         "\" is damaged at record " + std::to_string(record) +
                         ": " + reason);
}

bool BaselineReader::open(const std::string& path, std::string& problem) {
  path_ = path;
  records_ = paired_ = index_ = 0;
  std::string reason;
  if (!platform::isReadableFile(path, reason)) {
    problem = "Cannot read the baseline \"" + path + "\": " + reason;
    return false;
  }
  try {
    // The stream keeps the name it is given: the one that lives as long.
    file_ = std::make_unique<platform::RegularFileStream>(path_.c_str());
    window_.resize(kWindowSize);
    windowAt_ = windowSize_ = fileAt_ = at_ = 0;
    return check(problem);
  } catch (TOVException* failure) {
    problem = inBaselineWords(failure, path);
    return false;
  }
}

bool BaselineReader::check(std::string& problem) {
  const std::string name = "The baseline \"" + path_ + "\"";
  if (readLine(line_) != Line::kRead || line_ != baseline_file::kFirstLine) {
    const std::string_view stem = baseline_file::kFirstLineStem;
    problem = name + " is not a baseline";
    if (line_.compare(0, 3, "\xEF\xBB\xBF") == 0) {
      problem +=
          ": it begins with a byte-order mark (an editor added it; save "
          "it without one)";
    } else if (line_.size() > stem.size() && line_.back() == '\r') {
      problem +=
          ": its lines end with CR LF (keep baselines as binary files "
          "in version control)";
    } else if (line_.compare(0, stem.size(), stem) == 0) {
      problem += " of a version this client reads (" +
                 std::string(baseline_file::kFirstLine) + ")";
    }
    return false;
  }
  const std::size_t firstRecord = at_;
  const std::size_t size = file_->size();
  unsigned long long record = 0;
  unsigned long long lastOrdinal = 0;
  std::string reason;
  for (;;) {
    const unsigned long long number = record + 1;
    const Line line = readLine(line_);
    if (line == Line::kTooLong) {
      damaged(number, "a line of " +
                          std::to_string(baseline_file::kLongestLine) +
                          " bytes or more where a record header belongs");
    }
    unsigned long long count = 0;
    if (line == Line::kEnd) {
      damaged(number, line_.empty() ? "cut short before the end line"
                      : baseline_file::parseEndLine(line_, count)
                          ? "the end line has no line end"
                          : "cut short inside a record header");
    }
    if (baseline_file::parseEndLine(line_, count)) {
      if (count != record) {
        damaged(number, "the end line counts " + std::to_string(count) +
                            " records where the file holds " +
                            std::to_string(record));
      }
      if (at_ != size) damaged(number, "more follows the end line");
      break;
    }
    if (!baseline_file::parseHeader(line_, header_, reason)) {
      damaged(number, reason);
    }
    const AnswerKey& key = header_.key;
    if (key.isTransaction) {
      // Pairing relies on ordinals that rise, as a run makes them.
      if (key.ordinal <= lastOrdinal) {
        damaged(number, "transaction " + std::to_string(key.ordinal) +
                            " comes after transaction " +
                            std::to_string(lastOrdinal));
      }
      lastOrdinal = key.ordinal;
    }
    if (header_.bodySize > size - at_) {
      damaged(number, "cut short inside a body of " +
                          std::to_string(header_.bodySize) + " bytes");
    }
    at_ += static_cast<std::size_t>(header_.bodySize);
    if (at_ == size) {
      damaged(number, "cut short before the line end after the body");
    }
    if (available() == 0) load(at_);
    if (available() == 0 || window_[at_ - windowAt_] != '\n') {
      damaged(number, "no line end after the body of " +
                          std::to_string(header_.bodySize) + " bytes");
    }
    ++at_;
    record = number;
  }
  records_ = record;
  at_ = firstRecord;
  windowSize_ = 0;  // pairing reads the file afresh
  return true;
}

bool BaselineReader::find(const AnswerKey& key, BaselineRecord& record,
                          std::size_t most) {
  const std::size_t startAt = at_;
  const unsigned long long startIndex = index_;
  try {
    std::string reason;
    while (index_ < records_) {
      if (readLine(line_) != Line::kRead ||
          !baseline_file::parseHeader(line_, header_, reason)) {
        damaged(index_ + 1,
                reason.empty() ? "it changed since it was checked" : reason);
      }
      if (baseline_file::sameKey(header_.key, key)) {
        readBody(static_cast<std::size_t>(header_.bodySize), record.body, most);
        record.header = header_;
        ++index_;
        ++paired_;
        return true;
      }
      if (key.isTransaction && header_.key.isTransaction &&
          header_.key.ordinal > key.ordinal) {
        break;
      }
      at_ += static_cast<std::size_t>(header_.bodySize) + 1;
      ++index_;
    }
  } catch (TOVException* failure) {
    throw new TOVException(inBaselineWords(failure, path_));
  }
  at_ = startAt;
  index_ = startIndex;
  return false;
}
