#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/os/descriptor_calls.h"

namespace platform {

namespace {

int failed(std::string& reason) {
  reason = std::strerror(errno);
  return -1;
}

}  // namespace

int createFile(const std::string& path, std::string& reason) {
  const int fd =
      ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  return fd >= 0 ? fd : failed(reason);
}

int createUniqueFile(std::string& name, bool hidden, std::string& reason) {
  const int fd = ::mkostemp(name.data(), O_CLOEXEC);
  if (fd < 0) return failed(reason);
  if (hidden) {
    ::unlink(name.c_str());
  } else {
    ::fchmod(fd, 0644);
  }
  return fd;
}

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

long long readAt(int fd, unsigned long long offset, char* into,
                 std::size_t size, std::string& reason) {
  for (;;) {
    const ssize_t got = ::pread(fd, into, size, static_cast<off_t>(offset));
    if (got < 0 && errno == EINTR) continue;
    return got >= 0 ? got : failed(reason);
  }
}

bool closeFile(int fd, std::string& reason) {
  return ::close(fd) == 0 || failed(reason) == 0;
}

void removeFile(const std::string& path) { ::unlink(path.c_str()); }

bool replaceFile(const std::string& from, const std::string& to,
                 std::string& reason) {
  return std::rename(from.c_str(), to.c_str()) == 0 || failed(reason) == 0;
}

bool isOtherThanRegularFile(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode);
}

}  // namespace platform
