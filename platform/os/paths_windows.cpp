#include <windows.h>

#include <vector>

#include "platform/os/paths.h"
#include "platform/os/windows_text.h"

namespace platform {

// Windows takes either; a tester who starts bin/KesMDProviderClient.exe
// from a script or another shell writes slashes.
const char* lastPathSeparator(const char* path) {
  const char* last = nullptr;
  for (const char* at = path; *at != '\0'; ++at) {
    if (*at == '\\' || *at == '/') last = at;
  }
  return last;
}

std::string programFile() {
  // Long paths: the buffer grows until the whole name fits.
  std::vector<wchar_t> name(MAX_PATH);
  for (;;) {
    const DWORD size = GetModuleFileNameW(nullptr, name.data(),
                                          static_cast<DWORD>(name.size()));
    if (size == 0) return std::string();
    if (size < name.size()) return utf8FromWide(name.data());
    name.resize(name.size() * 2);
  }
}

std::string fullPath(const std::string& path) {
  const std::wstring wide = wideFromUtf8(path);
  const DWORD needed = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return path;
  std::vector<wchar_t> whole(needed);
  if (GetFullPathNameW(wide.c_str(), needed, whole.data(), nullptr) == 0) {
    return path;
  }
  return utf8FromWide(whole.data());
}

}  // namespace platform
