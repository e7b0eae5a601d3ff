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

constexpr int kWriting = _O_BINARY | _O_NOINHERIT;

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

int createUniqueFile(std::string& name, bool hidden, std::string& reason) {
  static const char kLetters[] =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  const std::size_t suffix = name.size() - 6;
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    for (std::size_t i = 0; i < 6; ++i)
      name[suffix + i] = kLetters[random() % 62];
    const int flags =
        _O_RDWR | _O_CREAT | _O_EXCL | kWriting | (hidden ? _O_TEMPORARY : 0);
    const int fd =
        ::_wopen(wideFromUtf8(name).c_str(), flags, _S_IREAD | _S_IWRITE);
    if (fd >= 0) return fd;
    if (errno != EEXIST) break;
  }
  return failed(reason);
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

long long readAt(int fd, unsigned long long offset, char* into,
                 std::size_t size, std::string& reason) {
  if (::_lseeki64(fd, static_cast<long long>(offset), SEEK_SET) < 0) {
    return failed(reason);
  }
  const unsigned piece = size < INT_MAX ? static_cast<unsigned>(size) : INT_MAX;
  const int got = ::_read(fd, into, piece);
  return got >= 0 ? got : failed(reason);
}

bool closeFile(int fd, std::string& reason) {
  return ::_close(fd) == 0 || failed(reason) == 0;
}

void removeFile(const std::string& path) {
  ::_wunlink(wideFromUtf8(path).c_str());
}

// Replaces the file at once and on the disk before it returns: a reader
// sees the old report or the new one, whole.
bool replaceFile(const std::string& from, const std::string& to,
                 std::string& reason) {
  if (MoveFileExW(wideFromUtf8(from).c_str(), wideFromUtf8(to).c_str(),
                  MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return true;
  }
  reason = windowsErrorText(GetLastError());
  return false;
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

}  // namespace platform
