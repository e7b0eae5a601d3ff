#include <windows.h>

#include <filesystem>

#include "tests/file_hold.h"

namespace test_support {

FileHold::FileHold(const std::string& path) {
  const HANDLE file = CreateFileW(
      std::filesystem::u8path(path).wstring().c_str(), GENERIC_READ,
      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file != INVALID_HANDLE_VALUE) handle_ = file;
}

FileHold::~FileHold() { release(); }

bool FileHold::held() const { return handle_ != nullptr; }

void FileHold::release() {
  if (handle_ != nullptr) CloseHandle(static_cast<HANDLE>(handle_));
  handle_ = nullptr;
}

}  // namespace test_support
