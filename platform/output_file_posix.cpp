#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/output_file.h"
#include "platform/tov_exception.h"

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
  while (size > 0) {
    const ssize_t put = ::write(fd_, data, size);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) {
      const char* reason = put < 0 ? std::strerror(errno) : "nothing written";
      throw new TOVException("Failed to write \"" + path_ + "\": " + reason);
    }
    data += put;
    size -= static_cast<std::size_t>(put);
  }
}

}  // namespace platform
