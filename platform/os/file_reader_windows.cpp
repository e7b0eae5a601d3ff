#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <string>

#include "platform/core/tov_exception.h"
#include "platform/os/file_reader.h"
#include "platform/os/windows_text.h"

namespace platform {

namespace {

[[noreturn]] void failToOpen(const char* path, const std::string& reason) {
  throw new TOVException("Failed to open \"" + std::string(path) +
                         "\": " + reason);
}

bool isFolder(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// A disk file that is not a folder; a device (NUL, CON) or a pipe is none.
int openRegular(const char* path, std::string& reason) {
  const std::wstring wide = wideFromUtf8(path);
  if (isFolder(wide)) {
    reason = "not a regular file";
    return -1;
  }
  const int fd = ::_wopen(wide.c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
  if (fd < 0) {
    reason = std::strerror(errno);
    return -1;
  }
  struct _stat64 info {};
  if (::_fstat64(fd, &info) != 0 || (info.st_mode & _S_IFMT) != _S_IFREG ||
      GetFileType(reinterpret_cast<HANDLE>(::_get_osfhandle(fd))) !=
          FILE_TYPE_DISK) {
    reason = "not a regular file";
    ::_close(fd);
    return -1;
  }
  return fd;
}

// The size, as the system keeps it for the open file.
bool sizeOf(int fd, std::size_t& size) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(
          reinterpret_cast<HANDLE>(::_get_osfhandle(fd)), &info)) {
    return false;
  }
  size =
      (static_cast<std::size_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  return true;
}

}  // namespace

RegularFileStream::RegularFileStream(const char* path) : path_(path) {
  std::string reason;
  fd_ = openRegular(path, reason);
  if (fd_ < 0) failToOpen(path, reason);
  if (!sizeOf(fd_, size_)) {
    ::_close(fd_);
    fd_ = -1;
    failToOpen(path, windowsErrorText(GetLastError()));
  }
}

RegularFileStream::~RegularFileStream() {
  if (fd_ >= 0) ::_close(fd_);
}

std::size_t RegularFileStream::read(char* into, std::size_t room) {
  // A file that shrinks while being read ends early.
  if (room > size_ - taken_) room = size_ - taken_;
  if (room == 0) return 0;
  const unsigned piece = room < INT_MAX ? static_cast<unsigned>(room) : INT_MAX;
  const int got = ::_read(fd_, into, piece);
  if (got < 0) failToOpen(path_, std::strerror(errno));
  taken_ += static_cast<std::size_t>(got);
  return static_cast<std::size_t>(got);
}

void RegularFileStream::rewind() {
  if (::_lseeki64(fd_, 0, SEEK_SET) != 0) {
    failToOpen(path_, std::strerror(errno));
  }
  taken_ = 0;
}

void RegularFileStream::seek(std::size_t offset) {
  if (offset > size_) offset = size_;
  if (::_lseeki64(fd_, static_cast<long long>(offset), SEEK_SET) < 0) {
    failToOpen(path_, std::strerror(errno));
  }
  taken_ = offset;
}

bool isReadableFile(const std::string& path, std::string& reason) {
  const int fd = openRegular(path.c_str(), reason);
  if (fd < 0) return false;
  char first = 0;
  if (::_read(fd, &first, 1) < 0) reason = std::strerror(errno);
  ::_close(fd);
  return reason.empty();
}

}  // namespace platform
