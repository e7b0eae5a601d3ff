#include <windows.h>

#include "platform/os/host_name.h"
#include "platform/os/windows_text.h"

namespace platform {

std::string hostName() {
  wchar_t name[256] = {};
  DWORD size = 255;
  if (!GetComputerNameExW(ComputerNameDnsHostname, name, &size) ||
      name[0] == L'\0') {
    return "localhost";
  }
  return utf8FromWide(name);
}

}  // namespace platform
