#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/core/tov_exception.h"
#include "platform/os/descriptor_write.h"
#include "platform/os/output_file.h"

namespace platform {

OutputFile::~OutputFile() {
  if (fd_ >= 0) ::close(fd_);
}

bool OutputFile::open(const std::string& path, std::string& reason) {
  const int fd =
      ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    reason = std::strerror(errno);
    return false;
  }
  if (fd_ >= 0) ::close(fd_);
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
