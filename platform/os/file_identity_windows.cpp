#include <windows.h>

#include <cwctype>

#include "platform/os/file_identity.h"
#include "platform/os/windows_text.h"

namespace platform {

namespace {

// The volume and the file's index, when something is at `path`.
bool identityOf(const std::wstring& path, FileIdentity& identity) {
  const HANDLE file = CreateFileW(
      path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info{};
  const bool known = GetFileInformationByHandle(file, &info) != 0;
  CloseHandle(file);
  if (!known) return false;
  identity.volume = info.dwVolumeSerialNumber;
  identity.file = (static_cast<unsigned long long>(info.nFileIndexHigh) << 32) |
                  info.nFileIndexLow;
  return true;
}

}  // namespace

FileIdentity fileIdentity(const std::string& path) {
  FileIdentity identity;
  std::wstring wide = wideFromUtf8(path);
  if (identityOf(wide, identity)) return identity;
  // Names differ in case only on the same file.
  for (wchar_t& c : wide) c = static_cast<wchar_t>(std::towlower(c));
  const std::size_t slash = wide.find_last_of(L"\\/");
  const std::wstring folder =
      slash == std::wstring::npos ? L"." : wide.substr(0, slash + 1);
  identity.name = utf8FromWide(
      (slash == std::wstring::npos ? wide : wide.substr(slash + 1)).c_str());
  if (!identityOf(folder, identity)) identity.name = utf8FromWide(wide.c_str());
  return identity;
}

}  // namespace platform
