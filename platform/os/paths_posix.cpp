#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <system_error>

#include "platform/os/paths.h"

namespace platform {

const char* lastPathSeparator(const char* path) {
  return std::strrchr(path, '/');
}

std::string programFile() {
  std::error_code failed;
  const std::filesystem::path self =
      std::filesystem::read_symlink("/proc/self/exe", failed);
  return failed ? std::string() : self.string();
}

std::string fullPath(const std::string& path) {
  std::error_code failed;
  const std::filesystem::path whole = std::filesystem::absolute(path, failed);
  return failed ? path : whole.lexically_normal().string();
}

}  // namespace platform
