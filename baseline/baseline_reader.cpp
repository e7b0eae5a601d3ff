#include "baseline/baseline_reader.h"

#include <algorithm>
#include <cstring>

#include "platform/core/tov_exception.h"
#include "platform/os/file_reader.h"

namespace {

constexpr std::size_t kBufferSize = 64 * 1024;

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

std::size_t BaselineReader::available(const Buffer& buffer,
                                      std::size_t at) const {
  if (at < buffer.at || at >= buffer.at + buffer.size) return 0;
  return buffer.at + buffer.size - at;
}

void BaselineReader::load(Buffer& buffer, std::size_t at) {
  if (fileAt_ != at) {
    file_->seek(at);
    fileAt_ = at;
  }
  buffer.at = at;
  buffer.size = 0;
  std::size_t got = 0;
  while (buffer.size < buffer.data.size() &&
         (got = file_->read(buffer.data.data() + buffer.size,
                            buffer.data.size() - buffer.size)) > 0) {
    buffer.size += got;
  }
  fileAt_ += buffer.size;
}

BaselineReader::Line BaselineReader::readLine(std::size_t& at,
                                              std::string& line) {
  line.clear();
  for (bool loaded = false;; loaded = true) {
    const std::size_t left = available(headers_, at);
    if (left > 0) {
      const char* start = headers_.data.data() + (at - headers_.at);
      const void* end =
          std::memchr(start, '\n', std::min(left, baseline_file::kLongestLine));
      if (end != nullptr) {
        const auto size =
            static_cast<std::size_t>(static_cast<const char*>(end) - start);
        line.assign(start, size);
        at += size + 1;
        return Line::kRead;
      }
      if (left >= baseline_file::kLongestLine) return Line::kTooLong;
      if (loaded) line.assign(start, left);
    }
    if (loaded) return Line::kEnd;
    load(headers_, at);
  }
}

void BaselineReader::checkLineEnd(std::size_t at, std::size_t size,
                                  unsigned long long record) {
  if (available(bodies_, at) == 0) load(bodies_, at);
  if (available(bodies_, at) == 0 || bodies_.data[at - bodies_.at] != '\n') {
    damaged(record,
            "no line end after the body of " + std::to_string(size) + " bytes");
  }
}

void BaselineReader::readBody(std::size_t at, std::size_t size,
                              std::string& body, std::size_t most,
                              unsigned long long record) {
  const std::size_t wanted = std::min(size, most);
  body.resize(wanted);
  std::size_t done = 0;
  while (done < wanted) {
    if (available(bodies_, at) == 0) {
      // What the buffer cannot hold is read straight into the body.
      if (wanted - done >= bodies_.data.size()) {
        if (fileAt_ != at) file_->seek(at);
        const std::size_t got = file_->read(body.data() + done, wanted - done);
        fileAt_ = at + got;
        if (got == 0) break;
        done += got;
        at += got;
        continue;
      }
      load(bodies_, at);
      if (available(bodies_, at) == 0) break;
    }
    const std::size_t piece = std::min(available(bodies_, at), wanted - done);
    std::memcpy(body.data() + done, bodies_.data.data() + (at - bodies_.at),
                piece);
    done += piece;
    at += piece;
  }
  if (done < wanted) damaged(record, "cut short inside the body");
  // The rest is passed over: its line end still shows it is all there.
  checkLineEnd(at + (size - wanted), size, record);
}

void BaselineReader::damaged(unsigned long long record,
                             const std::string& reason) const {
  throw new TOVException("The baseline \"" + path_ +
                         "\" is damaged at record " + std::to_string(record) +
                         ": " + reason);
}

bool BaselineReader::open(const std::string& path, std::string& problem) {
  path_ = path;
  records_ = paired_ = read_ = front_ = 0;
  ahead_.clear();
  std::string reason;
  if (!platform::isReadableFile(path, reason)) {
    problem = "Cannot read the baseline \"" + path + "\": " + reason;
    return false;
  }
  try {
    // The stream keeps the name it is given: the one that lives as long.
    file_ = std::make_unique<platform::RegularFileStream>(path_.c_str());
    headers_.data.resize(kBufferSize);
    bodies_.data.resize(kBufferSize);
    headers_.size = bodies_.size = fileAt_ = 0;
    return check(problem);
  } catch (TOVException* failure) {
    problem = inBaselineWords(failure, path);
    return false;
  }
}

bool BaselineReader::check(std::string& problem) {
  const std::string name = "The baseline \"" + path_ + "\"";
  std::size_t at = 0;
  const bool firstRead = readLine(at, line_) == Line::kRead;
  version_ = line_ == baseline_file::kFirstLineVersion1 ? 1 : 2;
  if (!firstRead || (line_ != baseline_file::kFirstLine &&
                     line_ != baseline_file::kFirstLineVersion1)) {
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
  std::size_t firstRecord = at;
  range_ = SeqRange();
  if (version_ != 1 && readLine(at, line_) == Line::kRead &&
      baseline_file::parseRangeLine(line_, range_)) {
    firstRecord = at;
  }
  at = firstRecord;
  const std::size_t size = file_->size();
  unsigned long long record = 0;
  unsigned long long lastOrdinal = 0;
  baseline_file::RecordHeader header;
  std::string reason;
  for (;;) {
    const unsigned long long number = record + 1;
    const Line line = readLine(at, line_);
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
    if (baseline_file::parseEndLine(line_, count, &stopped_)) {
      if (count != record) {
        damaged(number, "the end line counts " + std::to_string(count) +
                            " records where the file holds " +
                            std::to_string(record));
      }
      if (at != size) damaged(number, "more follows the end line");
      break;
    }
    if (!baseline_file::parseHeader(line_, version_, header, reason)) {
      damaged(number, reason);
    }
    const AnswerKey& key = header.key;
    if (key.isTransaction) {
      // Pairing relies on ordinals that rise, as a run makes them.
      if (key.ordinal <= lastOrdinal) {
        damaged(number, "transaction " + std::to_string(key.ordinal) +
                            " comes after transaction " +
                            std::to_string(lastOrdinal));
      }
      lastOrdinal = key.ordinal;
    }
    if (header.bodySize > size - at) {
      damaged(number, "cut short inside a body of " +
                          std::to_string(header.bodySize) + " bytes");
    }
    at += static_cast<std::size_t>(header.bodySize);
    if (at == size) {
      damaged(number, "cut short before the line end after the body");
    }
    checkLineEnd(at, static_cast<std::size_t>(header.bodySize), number);
    ++at;
    record = number;
  }
  records_ = record;
  aheadAt_ = firstRecord;
  // Pairing reads the file afresh.
  headers_.size = bodies_.size = 0;
  return true;
}

bool BaselineReader::fill(std::size_t wanted) {
  try {
    while (ahead_.size() < wanted && read_ < records_) {
      const unsigned long long number = read_ + 1;
      Entry entry;
      std::string reason;
      if (readLine(aheadAt_, line_) != Line::kRead ||
          !baseline_file::parseHeader(line_, version_, entry.header, reason)) {
        damaged(number,
                reason.empty() ? "it changed since it was checked" : reason);
      }
      entry.bodyAt = aheadAt_;
      aheadAt_ += static_cast<std::size_t>(entry.header.bodySize) + 1;
      ahead_.push_back(std::move(entry));
      ++read_;
    }
  } catch (TOVException* failure) {
    throw new TOVException(inBaselineWords(failure, path_));
  }
  return ahead_.size() >= wanted;
}

void BaselineReader::dropFront() {
  ahead_.pop_front();
  ++front_;
}

const baseline_file::RecordHeader* BaselineReader::ahead(std::size_t i) {
  if (i >= kWindow || !fill(i + 1)) return nullptr;
  return &ahead_[i].header;
}

bool BaselineReader::pastWindow() {
  fill(kWindow);
  return read_ < records_;
}

std::size_t BaselineReader::find(
    const std::function<bool(const baseline_file::RecordHeader&)>& matches) {
  fill(kWindow);
  for (std::size_t i = 0; i < ahead_.size(); ++i) {
    if (matches(ahead_[i].header)) return i;
  }
  return kNone;
}

void BaselineReader::take(
    std::size_t i, BaselineRecord& record, std::size_t most,
    const std::function<void(const baseline_file::RecordHeader&)>& passed) {
  fill(i + 1);
  for (std::size_t k = 0; k < i; ++k) {
    passed(ahead_.front().header);
    dropFront();
  }
  const Entry& entry = ahead_.front();
  const unsigned long long number = front_ + 1;
  try {
    readBody(entry.bodyAt, static_cast<std::size_t>(entry.header.bodySize),
             record.body, most, number);
  } catch (TOVException* failure) {
    throw new TOVException(inBaselineWords(failure, path_));
  }
  record.header = entry.header;
  record.partial = record.body.size() < entry.header.bodySize;
  ++paired_;
  dropFront();
}

void BaselineReader::passRest(
    const std::function<void(const baseline_file::RecordHeader&)>& passed) {
  while (fill(1)) {
    passed(ahead_.front().header);
    dropFront();
  }
}
