#pragma once

#include <cstddef>
#include <string>

namespace platform {

// A file that appears whole or not at all: written to a temporary file
// beside it and renamed into place by `commit`. Until then an earlier file
// at the path stays as it was; one never committed is removed.
class AtomicFile {
 public:
  AtomicFile() = default;
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  // Creates the temporary file. False with `reason` set when the folder is
  // missing, the file cannot be created, or the path is not a regular file.
  bool open(const std::string& path, std::string& reason);
  bool isOpen() const { return fd_ >= 0; }
  const std::string& path() const { return path_; }

  // False with `reason` set when not all of the bytes could be written.
  bool append(const char* data, std::size_t size, std::string& reason);
  // Puts the file in place; false with `reason` set when it cannot be.
  bool commit(std::string& reason);

 private:
  void discard();

  int fd_ = -1;
  std::string path_;
  std::string temporary_;
};

}  // namespace platform
