#pragma once

#include <cstddef>
#include <deque>
#include <functional>
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
  bool partial = false;  // only the head of a longer body is held
};

// A baseline file read as a stream: it holds the headers of the records
// ahead, up to kWindow of them, the body of one record at a time and a
// buffer of 64 KiB, whatever the file's size.
class BaselineReader {
 public:
  static constexpr std::size_t kWindow = 10000;
  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

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
  int version() const { return version_; }
  // The range of sequence numbers a run given -b or -e recorded.
  const SeqRange& range() const { return range_; }
  unsigned long long records() const { return records_; }
  // Whether a rejection stopped the recorded run's replay of its log.
  bool stopped() const { return stopped_; }

  // The i-th record ahead (0: the next), null past the end and past the
  // window. Throws a TOVException when the file no longer reads as it did
  // when it was checked.
  const baseline_file::RecordHeader* ahead(std::size_t i);
  // Whether records lie past the window.
  bool pastWindow();
  // The first record ahead within the window that `matches`; kNone.
  std::size_t find(
      const std::function<bool(const baseline_file::RecordHeader&)>& matches);

  // Reads the body of the i-th record ahead, at most `most` bytes of it, and
  // moves past it; the records before it are passed over, each handed to
  // `passed` in order.
  void take(
      std::size_t i, BaselineRecord& record, std::size_t most,
      const std::function<void(const baseline_file::RecordHeader&)>& passed);
  // Moves past every record left, handing each to `passed`.
  void passRest(
      const std::function<void(const baseline_file::RecordHeader&)>& passed);

  unsigned long long paired() const { return paired_; }

 private:
  enum class Line { kRead, kEnd, kTooLong };
  struct Entry {
    baseline_file::RecordHeader header;
    std::size_t bodyAt;
  };

  // A piece of the file from `at`: one for the headers read ahead, one for
  // the bodies, so that neither reads the file again for the other.
  struct Buffer {
    std::vector<char> data;
    std::size_t at = 0;
    std::size_t size = 0;
  };

  Line readLine(std::size_t& at, std::string& line);
  std::size_t available(const Buffer& buffer, std::size_t at) const;
  void load(Buffer& buffer, std::size_t at);
  void readBody(std::size_t at, std::size_t size, std::string& body,
                std::size_t most, unsigned long long record);
  void checkLineEnd(std::size_t at, std::size_t size,
                    unsigned long long record);
  bool fill(std::size_t wanted);
  void dropFront();
  [[noreturn]] void damaged(unsigned long long record,
                            const std::string& reason) const;
  bool check(std::string& problem);

  std::string path_;
  int version_ = 2;
  bool stopped_ = false;
  SeqRange range_;
  std::unique_ptr<platform::RegularFileStream> file_;
  Buffer headers_;
  Buffer bodies_;
  std::size_t fileAt_ = 0;        // where the file reads next
  std::size_t aheadAt_ = 0;       // the next header not yet read ahead
  unsigned long long read_ = 0;   // records read ahead so far
  unsigned long long front_ = 0;  // the number of the first one ahead
  unsigned long long records_ = 0;
  unsigned long long paired_ = 0;
  // Searched from the front when the next one is not the one sought: in a
  // run of an unchanged log, never.
  std::deque<Entry> ahead_;
  std::string line_;
};
