#include "platform/os/spool_file.h"

#include <vector>

#include "platform/os/atomic_file.h"
#include "platform/os/descriptor_calls.h"

namespace platform {

SpoolFile::~SpoolFile() {
  std::string ignored;
  if (fd_ >= 0) closeFile(fd_, ignored);
}

bool SpoolFile::open(const std::string& path, std::string& reason) {
  std::string name = path + ".cases-XXXXXX";
  fd_ = createUniqueFile(name, true, reason);
  return fd_ >= 0;
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
    const long long got = readAt(fd_, at, piece.data(), piece.size(), reason);
    if (got < 0) return false;
    if (got == 0) {
      reason = "the cases file ended early";
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
