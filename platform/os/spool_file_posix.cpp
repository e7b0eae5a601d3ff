#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/os/atomic_file.h"
#include "platform/os/descriptor_write.h"
#include "platform/os/spool_file.h"

namespace platform {

SpoolFile::~SpoolFile() {
  if (fd_ >= 0) ::close(fd_);
}

bool SpoolFile::open(const std::string& path, std::string& reason) {
  std::string name = path + ".cases-XXXXXX";
  const int fd = ::mkostemp(name.data(), O_CLOEXEC);
  if (fd < 0) {
    reason = std::strerror(errno);
    return false;
  }
  ::unlink(name.c_str());
  fd_ = fd;
  return true;
}

bool SpoolFile::append(const char* data, std::size_t size,
                       std::string& reason) {
  if (!writeAll(fd_, data, size, reason)) return false;
  size_ += size;
  return true;
}

bool SpoolFile::copyTo(AtomicFile& out, std::string& reason) const {
  std::vector<char> piece(1 << 16);
  for (std::size_t at = 0; at < size_;) {
    const ssize_t got =
        ::pread(fd_, piece.data(), piece.size(), static_cast<off_t>(at));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      reason = got < 0 ? std::strerror(errno) : "the cases file ended early";
      return false;
    }
    if (!out.append(piece.data(), static_cast<std::size_t>(got), reason)) {
      return false;
    }
    at += static_cast<std::size_t>(got);
  }
  return true;
}

}  // namespace platform
