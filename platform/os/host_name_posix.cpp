#include <unistd.h>

#include "platform/os/host_name.h"

namespace platform {

std::string hostName() {
  char name[256] = {};
  if (::gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') {
    return "localhost";
  }
  return name;
}

}  // namespace platform
