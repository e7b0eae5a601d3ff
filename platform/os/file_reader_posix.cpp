#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/core/tov_exception.h"
#include "platform/os/file_reader.h"

namespace platform {

namespace {

[[noreturn]] void failToOpen(const char* path, const std::string& reason) {
  throw new TOVException("Failed to open \"" + std::string(path) +
                         "\": " + reason);
}

}  // namespace

RegularFileStream::RegularFileStream(const char* path) : path_(path) {
  // Non-blocking, so that opening a FIFO with no writer returns at once.
  fd_ = ::open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd_ < 0) failToOpen(path, std::strerror(errno));
  struct stat info {};
  const bool known = ::fstat(fd_, &info) == 0;
  if (!known || !S_ISREG(info.st_mode)) {
    const std::string reason =
        known ? "not a regular file" : std::strerror(errno);
    ::close(fd_);
    fd_ = -1;
    failToOpen(path, reason);
  }
  size_ = static_cast<std::size_t>(info.st_size);
}

void RegularFileStream::rewind() {
  if (::lseek(fd_, 0, SEEK_SET) != 0) failToOpen(path_, std::strerror(errno));
  taken_ = 0;
}

void RegularFileStream::seek(std::size_t offset) {
  if (offset > size_) offset = size_;
  if (::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) < 0) {
    failToOpen(path_, std::strerror(errno));
  }
  taken_ = offset;
}

RegularFileStream::~RegularFileStream() {
  if (fd_ >= 0) ::close(fd_);
}

std::size_t RegularFileStream::read(char* into, std::size_t room) {
  // A file that shrinks while being read ends early.
  if (room > size_ - taken_) room = size_ - taken_;
  while (room > 0) {
    const ssize_t got = ::read(fd_, into, room);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) failToOpen(path_, std::strerror(errno));
    taken_ += static_cast<std::size_t>(got);
    return static_cast<std::size_t>(got);
  }
  return 0;
}

bool isReadableFile(const std::string& path, std::string& reason) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    reason = std::strerror(errno);
    return false;
  }
  struct stat info {};
  char first = 0;
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    reason = "not a regular file";
  } else if (::read(fd, &first, 1) < 0) {
    reason = std::strerror(errno);
  }
  ::close(fd);
  return reason.empty();
}

}  // namespace platform
