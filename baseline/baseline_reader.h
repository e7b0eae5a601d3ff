#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "baseline/baseline_record.h"

namespace platform {
class RegularFileStream;
}

struct BaselineRecord {
  baseline_file::RecordHeader header;
  std::string body;
};

// A baseline file read as a stream: it holds one record's body at a time and
// a buffer of 64 KiB, whatever the file's size. Requests are paired with
// records by looking forward from the last one paired.
class BaselineReader {
 public:
  BaselineReader();
  ~BaselineReader();
  BaselineReader(const BaselineReader&) = delete;
  BaselineReader& operator=(const BaselineReader&) = delete;

  // Checks the whole file once, reading its headers and passing over its
  // bodies. False with one line in `problem`: `Cannot read the baseline
  // "<file>": <reason>`, `The baseline "<file>" is not a baseline`, or `The
  // baseline "<file>" is damaged at record <N>: <reason>`.
  bool open(const std::string& path, std::string& problem);
  const std::string& path() const { return path_; }

  // Looks forward for the record of `key` and reads it into `record`, its
  // body up to `most` bytes (the header keeps its whole size: a file made
  // by hand must not decide memory); records passed over are not reached.
  // A transaction's search ends at the first transaction of a later
  // ordinal. False, with the place kept, when there is none. Throws a
  // TOVException when the file no longer reads as it did when checked.
  bool find(const AnswerKey& key, BaselineRecord& record,
            std::size_t most = static_cast<std::size_t>(-1));

  unsigned long long records() const { return records_; }
  unsigned long long paired() const { return paired_; }
  // The records not paired so far: at the end of a run, never paired.
  unsigned long long unreached() const { return records_ - paired_; }

 private:
  enum class Line { kRead, kEnd, kTooLong };

  Line readLine(std::string& line);
  std::size_t available() const;
  void load(std::size_t at);
  void readBody(std::size_t size, std::string& body, std::size_t most);
  [[noreturn]] void damaged(unsigned long long record,
                            const std::string& reason) const;
  bool check(std::string& problem);

  std::string path_;
  std::unique_ptr<platform::RegularFileStream> file_;
  std::vector<char> window_;  // a piece of the file...
  std::size_t windowAt_ = 0;  // ...from this offset
  std::size_t windowSize_ = 0;
  std::size_t fileAt_ = 0;        // where the file reads next
  std::size_t at_ = 0;            // where this reader is
  unsigned long long index_ = 0;  // the record at `at_`, from 0
  unsigned long long records_ = 0;
  unsigned long long paired_ = 0;
  std::string line_;
  baseline_file::RecordHeader header_;
};
