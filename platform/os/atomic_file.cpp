#include "platform/os/atomic_file.h"

namespace platform {

AtomicFile::~AtomicFile() { dropHiddenFile(file_); }

bool AtomicFile::open(const std::string& path, std::string& reason) {
  dropHiddenFile(file_);
  const std::string target = followedLinks(path);
  if (isOtherThanRegularFile(target)) {
    reason = "not a regular file";
    return false;
  }
  if (!createHiddenFile(target, file_, reason)) return false;
  path_ = path;
  target_ = target;
  return true;
}

bool AtomicFile::append(const char* data, std::size_t size,
                        std::string& reason) {
  return writeAll(file_.fd, data, size, reason);
}

bool AtomicFile::writeAt(unsigned long long offset, const char* data,
                         std::size_t size, std::string& reason) {
  return platform::writeAt(file_.fd, offset, data, size, reason);
}

bool AtomicFile::commit(std::string& reason) {
  return keepHiddenFile(file_, target_, reason);
}

}  // namespace platform
