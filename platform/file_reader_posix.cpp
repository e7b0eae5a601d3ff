#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/file_reader.h"
#include "platform/tov_exception.h"

namespace platform {

namespace {

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

[[noreturn]] void failToOpen(const char* path, const std::string& reason) {
  throw new TOVException("Failed to open \"" + std::string(path) +
                         "\": " + reason);
}

}  // namespace

FileContent readRegularFile(const char* path) {
  // Non-blocking, so that opening a FIFO with no writer returns at once.
  FileDescriptor file(
      ::open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (file.get() < 0) failToOpen(path, std::strerror(errno));
  struct stat info {};
  if (::fstat(file.get(), &info) != 0) failToOpen(path, std::strerror(errno));
  if (!S_ISREG(info.st_mode)) failToOpen(path, "not a regular file");

  const std::size_t expected = static_cast<std::size_t>(info.st_size);
  FileContent content;
  content.data.reset(static_cast<char*>(std::malloc(expected + 1)));
  if (!content.data) failToOpen(path, "out of memory");
  // A file that shrinks while being read ends early; one that grows is read
  // up to the size it had when opened.
  while (content.size < expected) {
    const ssize_t got = ::read(file.get(), content.data.get() + content.size,
                               expected - content.size);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) failToOpen(path, std::strerror(errno));
    if (got == 0) break;
    content.size += static_cast<std::size_t>(got);
  }
  content.data.get()[content.size] = '\0';
  return content;
}

}  // namespace platform
