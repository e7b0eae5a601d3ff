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

bool AtomicFile::commit(std::string& reason, bool besideIfHeld) {
  bool held = false;
  placedAt_ = path_;
  if (keepHiddenFile(file_, target_, reason, besideIfHeld ? &held : nullptr)) {
    return true;
  }
  if (!held) return false;
  // Nothing of the finished file is lost: the one in place stays readable
  // to whoever holds it, and this one waits beside it.
  reason.clear();
  placedAt_ = path_ + ".new";
  return keepHiddenFile(file_, target_ + ".new", reason);
}

}  // namespace platform
