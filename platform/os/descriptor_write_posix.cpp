#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/os/descriptor_write.h"

namespace platform {

bool writeAll(int fd, const char* data, std::size_t size, std::string& reason) {
  while (size > 0) {
    const ssize_t put = ::write(fd, data, size);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) {
      reason = put < 0 ? std::strerror(errno) : "nothing written";
      return false;
    }
    data += put;
    size -= static_cast<std::size_t>(put);
  }
  return true;
}

}  // namespace platform
