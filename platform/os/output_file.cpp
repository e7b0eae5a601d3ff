#include "platform/os/output_file.h"

#include "platform/core/tov_exception.h"
#include "platform/os/descriptor_calls.h"

namespace platform {

OutputFile::~OutputFile() {
  std::string ignored;
  if (fd_ >= 0) closeFile(fd_, ignored);
}

bool OutputFile::open(const std::string& path, std::string& reason) {
  const int fd = createFile(path, reason);
  if (fd < 0) return false;
  std::string ignored;
  if (fd_ >= 0) closeFile(fd_, ignored);
  fd_ = fd;
  path_ = path;
  return true;
}

void OutputFile::append(const char* data, std::size_t size) {
  std::string reason;
  if (!writeAll(fd_, data, size, reason)) {
    throw new TOVException("Failed to write \"" + path_ + "\": " + reason);
  }
}

}  // namespace platform
