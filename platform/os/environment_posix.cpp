#include <cstdlib>

#include "platform/os/environment.h"

namespace platform {

std::string environmentValue(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::string() : std::string(value);
}

}  // namespace platform
