#include <cstdlib>

#include "platform/os/environment.h"
#include "platform/os/windows_text.h"

namespace platform {

std::string environmentValue(const char* name) {
  return utf8FromWide(_wgetenv(wideFromUtf8(name).c_str()));
}

}  // namespace platform
