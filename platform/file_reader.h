#pragma once

#include <cstddef>
#include <cstdlib>
#include <memory>

namespace platform {

struct FreeDeleter {
  void operator()(char* data) const { std::free(data); }
};

// A file's whole content, in memory from std::malloc so that a parser can
// take it over. `data[size]` is a NUL.
struct FileContent {
  std::unique_ptr<char, FreeDeleter> data;
  std::size_t size = 0;
};

// Reads a regular file with one open and one pass of reads. Throws a
// TOVException naming the path and the reason when the path names no
// readable regular file; a FIFO or a device is refused, never waited on.
FileContent readRegularFile(const char* path);

}  // namespace platform
