#pragma once

#include <cstddef>
#include <string>

namespace platform {

// A file written with unbuffered appends, so that every record is with the
// system as soon as `append` returns. Closed when the object goes.
class OutputFile {
 public:
  OutputFile() = default;
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Creates or truncates `path`. On failure returns false and sets `reason`.
  bool open(const std::string& path, std::string& reason);
  bool isOpen() const { return fd_ >= 0; }

  // Throws a TOVException naming the file and the reason when not all of
  // the bytes could be written.
  void append(const char* data, std::size_t size);

 private:
  int fd_ = -1;
  std::string path_;
};

}  // namespace platform
