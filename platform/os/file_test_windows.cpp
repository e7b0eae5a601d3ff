#include <windows.h>

#include "platform/os/file_test.h"
#include "platform/os/windows_text.h"

// A regular file is a disk file that is not a folder: a device such as NUL
// or CON, or a pipe, is none.
int KesVrnDir::exists(const I18NString& path, unsigned short mode) {
  if (path == "") return 0;
  const HANDLE file =
      CreateFileW(platform::wideFromUtf8(path.str()).c_str(), 0,
                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 0;
  BY_HANDLE_FILE_INFORMATION info{};
  const bool disk = GetFileType(file) == FILE_TYPE_DISK &&
                    GetFileInformationByHandle(file, &info);
  CloseHandle(file);
  if (!disk) return 0;
  const bool folder = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  const unsigned short type = folder ? 0x4000 : 0x8000;
  return type == mode ? 1 : 0;
}
