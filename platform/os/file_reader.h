#pragma once

#include <cstddef>
#include <cstdlib>
#include <memory>
#include <string>

namespace platform {

struct FreeDeleter {
  void operator()(char* data) const { std::free(data); }
};

// A file's whole content, in memory from std::malloc. `data[size]` is a NUL.
struct FileContent {
  std::unique_ptr<char, FreeDeleter> data;
  std::size_t size = 0;
};

// A regular file opened for reading in pieces, closed when the object goes.
// Opening throws a TOVException naming the path and the reason when the
// path names no readable regular file; a FIFO or a device is refused, never
// waited on.
class RegularFileStream {
 public:
  explicit RegularFileStream(const char* path);
  ~RegularFileStream();
  RegularFileStream(const RegularFileStream&) = delete;
  RegularFileStream& operator=(const RegularFileStream&) = delete;

  // The size when opened: a file that grows is read up to it.
  std::size_t size() const { return size_; }
  // Up to `room` bytes into `into`; 0 at the end. Throws on a read error.
  std::size_t read(char* into, std::size_t room);
  // Reads again from the start.
  void rewind();
  // Reads on from `offset`, at most the size when opened.
  void seek(std::size_t offset);

 private:
  int fd_ = -1;
  const char* path_;
  std::size_t size_ = 0;
  std::size_t taken_ = 0;
};

// Whether `path` names a regular file that can be read; false with `reason`
// set when it does not.
bool isReadableFile(const std::string& path, std::string& reason);

// Reads a regular file whole, with one open and one pass of reads.
FileContent readRegularFile(const char* path);

}  // namespace platform
