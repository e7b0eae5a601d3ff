#include "platform/os/atomic_file.h"

#include "platform/os/descriptor_calls.h"

namespace platform {

AtomicFile::~AtomicFile() { discard(); }

void AtomicFile::discard() {
  if (fd_ < 0) return;
  std::string ignored;
  closeFile(fd_, ignored);
  removeFile(temporary_);
  fd_ = -1;
}

bool AtomicFile::open(const std::string& path, std::string& reason) {
  discard();
  if (isOtherThanRegularFile(path)) {
    reason = "not a regular file";
    return false;
  }
  std::string temporary = path + ".tmp-XXXXXX";
  const int fd = createUniqueFile(temporary, false, reason);
  if (fd < 0) return false;
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
  const int fd = fd_;
  fd_ = -1;
  if (!closeFile(fd, reason) || !replaceFile(temporary_, path_, reason)) {
    removeFile(temporary_);
    return false;
  }
  return true;
}

}  // namespace platform
