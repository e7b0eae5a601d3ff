#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/os/atomic_file.h"
#include "platform/os/descriptor_write.h"

namespace platform {

AtomicFile::~AtomicFile() { discard(); }

void AtomicFile::discard() {
  if (fd_ < 0) return;
  ::close(fd_);
  ::unlink(temporary_.c_str());
  fd_ = -1;
}

bool AtomicFile::open(const std::string& path, std::string& reason) {
  discard();
  struct stat info {};
  if (::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
    reason = "not a regular file";
    return false;
  }
  std::string temporary = path + ".tmp-XXXXXX";
  const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
  if (fd < 0) {
    reason = std::strerror(errno);
    return false;
  }
  ::fchmod(fd, 0644);
  fd_ = fd;
  path_ = path;
  temporary_ = temporary;
  return true;
}

bool AtomicFile::append(const char* data, std::size_t size,
                        std::string& reason) {
  return writeAll(fd_, data, size, reason);
}

bool AtomicFile::commit(std::string& reason) {
  if (::close(fd_) != 0 ||
      std::rename(temporary_.c_str(), path_.c_str()) != 0) {
    reason = std::strerror(errno);
    ::unlink(temporary_.c_str());
    fd_ = -1;
    return false;
  }
  fd_ = -1;
  return true;
}

}  // namespace platform
