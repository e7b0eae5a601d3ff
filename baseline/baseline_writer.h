#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "baseline/baseline_record.h"
#include "platform/os/atomic_file.h"
#include "secrets/secret_mask.h"

// Writes a baseline file (see baseline_record.h) as a run goes, in pieces of
// 64 KiB, into a temporary file beside it that `commit` puts in place: a
// run that fails or is killed leaves an earlier file as it was.
class BaselineWriter {
 public:
  // False with `reason` when the file cannot be created. A recording of a
  // run given -b or -e says which range it holds. No body is written that
  // holds one of `secrets`, which outlive the writer.
  bool open(const std::string& path, const SecretMask& secrets,
            std::string& reason, const SeqRange& range = SeqRange());
  bool isOpen() const { return file_.isOpen(); }
  const std::string& path() const { return path_; }

  // One answer, its body exactly as given (the header's size is the
  // body's). Throws a TOVException naming the file when it cannot be
  // written.
  void add(const baseline_file::RecordHeader& header, std::string_view body);
  // A rejection stopped the run's replay: the end line says so.
  void noteStopped() { stopped_ = true; }
  // Writes the end line and puts the file in place; false with `reason`.
  bool commit(std::string& reason);

 private:
  static constexpr std::size_t kBufferSize = 64 * 1024;

  bool flush(std::string& reason);
  [[noreturn]] void fail(const std::string& reason);

  platform::AtomicFile file_;
  const SecretMask* secrets_ = nullptr;
  std::string path_;
  std::string buffer_;
  unsigned long long records_ = 0;
  bool stopped_ = false;
  std::string failure_;  // once a write failed, nothing is committed
};
