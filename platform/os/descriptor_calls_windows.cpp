#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <random>

#include "platform/os/descriptor_calls.h"
#include "platform/os/windows_text.h"

namespace platform {

namespace {

int failed(std::string& reason) {
  reason = std::strerror(errno);
  return -1;
}

// The system's error, said as the run-time says it where it has a word
// for it, as on Linux.
bool failedWindows(std::string& reason) {
  const DWORD code = GetLastError();
  switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      errno = ENOENT;
      break;
    case ERROR_ACCESS_DENIED:
      errno = EACCES;
      break;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      errno = ENOSPC;
      break;
    default:
      reason = windowsErrorText(code);
      return false;
  }
  return failed(reason) == 0;
}

constexpr int kWriting = _O_BINARY | _O_NOINHERIT;

// Whether the system lets the file go when its last handle closes.
bool deleteOnClose(HANDLE handle, bool on) {
  FILE_DISPOSITION_INFO disposition{};
  disposition.DeleteFile = on ? TRUE : FALSE;
  return SetFileInformationByHandle(handle, FileDispositionInfo, &disposition,
                                    sizeof disposition) != 0;
}

HANDLE handleOf(int fd) {
  return reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
}

// How long a target that another program holds open is waited for: an
// indexer or a virus scanner lets go within moments, a browser or an editor
// that shows the file does not.
constexpr ULONGLONG kHeldForMs = 5000;
constexpr DWORD kHeldRetryMs = 100;

// What MoveFileExW says of a target that another program has open without
// letting others delete it.
bool isHeld(DWORD code) {
  return code == ERROR_ACCESS_DENIED || code == ERROR_SHARING_VIOLATION ||
         code == ERROR_LOCK_VIOLATION;
}

// Replaces the target at once and on the disk: a reader sees the old file
// or the new one, whole. False with the last error set when it cannot.
bool replaceTarget(const std::string& from, const std::string& target) {
  const std::wstring source = wideFromUtf8(from);
  const std::wstring destination = wideFromUtf8(target);
  const ULONGLONG until = GetTickCount64() + kHeldForMs;
  for (;;) {
    if (MoveFileExW(source.c_str(), destination.c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      return true;
    }
    const DWORD code = GetLastError();
    if (!isHeld(code) || GetTickCount64() >= until) return false;
    Sleep(kHeldRetryMs);
    SetLastError(code);
  }
}

}  // namespace

int createFile(const std::string& path, std::string& reason) {
  // Windows says "Permission denied" for a folder: said as elsewhere.
  const DWORD attributes = GetFileAttributesW(wideFromUtf8(path).c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES &&
      (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    errno = EISDIR;
    return failed(reason);
  }
  const int fd = ::_wopen(wideFromUtf8(path).c_str(),
                          _O_WRONLY | _O_CREAT | _O_TRUNC | kWriting,
                          _S_IREAD | _S_IWRITE);
  return fd >= 0 ? fd : failed(reason);
}

bool createHiddenFile(const std::string& target, HiddenFile& file,
                      std::string& reason) {
  static const char kLetters[] =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  std::random_device random;
  file = HiddenFile();
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = target + ".tmp-";
    for (int i = 0; i < 6; ++i) name += kLetters[random() % 62];
    // Created exclusively; marked to go when it is closed, which a run
    // that is killed does too.
    const HANDLE handle = CreateFileW(
        wideFromUtf8(name).c_str(), GENERIC_READ | GENERIC_WRITE | DELETE,
        FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
        FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
      if (GetLastError() == ERROR_FILE_EXISTS) continue;
      return failedWindows(reason);
    }
    deleteOnClose(handle, true);
    file.fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle),
                                _O_BINARY | _O_RDWR);
    if (file.fd < 0) {
      CloseHandle(handle);
      return failed(reason) == 0;
    }
    file.temporaryName = name;
    return true;
  }
  errno = EEXIST;
  return failed(reason) == 0;
}

bool keepHiddenFile(HiddenFile& file, const std::string& target,
                    std::string& reason, bool* held) {
  const HANDLE handle = handleOf(file.fd);
  bool kept = deleteOnClose(handle, false) || failedWindows(reason);
  if (kept && !replaceTarget(file.temporaryName, target)) {
    const bool stillHeld = isHeld(GetLastError());
    kept = failedWindows(reason);
    deleteOnClose(handle, true);
    // Left open and unnamed, for the caller to keep elsewhere.
    if (stillHeld && held != nullptr) {
      *held = true;
      return false;
    }
  }
  if (!kept) deleteOnClose(handle, true);
  std::string closing;
  if (!closeFile(file.fd, closing) && kept) {
    reason = closing;
    kept = false;
  }
  file = HiddenFile();
  return kept;
}

void dropHiddenFile(HiddenFile& file) {
  if (file.fd >= 0) ::_close(file.fd);
  if (!file.temporaryName.empty()) {
    ::_wunlink(wideFromUtf8(file.temporaryName).c_str());
  }
  file = HiddenFile();
}

bool writeAll(int fd, const char* data, std::size_t size, std::string& reason) {
  while (size > 0) {
    const unsigned piece =
        size < INT_MAX ? static_cast<unsigned>(size) : INT_MAX;
    const int put = ::_write(fd, data, piece);
    if (put <= 0) {
      reason = put < 0 ? std::strerror(errno) : "nothing written";
      return false;
    }
    data += put;
    size -= static_cast<std::size_t>(put);
  }
  return true;
}

bool writeAt(int fd, unsigned long long offset, const char* data,
             std::size_t size, std::string& reason) {
  const long long end = ::_lseeki64(fd, 0, SEEK_END);
  if (end < 0 ||
      ::_lseeki64(fd, static_cast<long long>(offset), SEEK_SET) < 0) {
    return failed(reason) == 0;
  }
  const bool written = writeAll(fd, data, size, reason);
  return ::_lseeki64(fd, end, SEEK_SET) >= 0 && written;
}

bool closeFile(int fd, std::string& reason) {
  return ::_close(fd) == 0 || failed(reason) == 0;
}

bool isOtherThanRegularFile(const std::string& path) {
  const HANDLE file =
      CreateFileW(wideFromUtf8(path).c_str(), 0,
                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info{};
  const bool regular = GetFileType(file) == FILE_TYPE_DISK &&
                       GetFileInformationByHandle(file, &info) &&
                       (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
  CloseHandle(file);
  return !regular;
}

// Testers' folders on Windows hold no symbolic links that a program must
// see through: a path is taken as it is.
std::string followedLinks(const std::string& path) { return path; }

}  // namespace platform
