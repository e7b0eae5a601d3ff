#pragma once

#include <cstddef>
#include <string>

namespace platform {

class AtomicFile;

// A temporary file beside a path, for text that is written as a run goes
// and copied elsewhere at its end. It leaves nothing behind: it is removed
// from its folder as soon as it is made.
class SpoolFile {
 public:
  SpoolFile() = default;
  ~SpoolFile();
  SpoolFile(const SpoolFile&) = delete;
  SpoolFile& operator=(const SpoolFile&) = delete;

  // False with `reason` set when no file can be made beside `path`.
  bool open(const std::string& path, std::string& reason);
  // False with `reason` set when not all of the bytes could be written.
  bool append(const char* data, std::size_t size, std::string& reason);
  // Appends everything written so far to `out`.
  bool copyTo(AtomicFile& out, std::string& reason) const;

 private:
  int fd_ = -1;
  std::size_t size_ = 0;
};

}  // namespace platform
