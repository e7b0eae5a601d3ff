#include <windows.h>

#include "platform/os/windows_text.h"

namespace platform {

std::wstring wideFromUtf8(const std::string& text) {
  if (text.empty()) return std::wstring();
  const int size = static_cast<int>(text.size());
  const int needed =
      MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(needed), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), size, wide.data(), needed);
  return wide;
}

std::string utf8FromWide(const wchar_t* text) {
  if (text == nullptr || *text == L'\0') return std::string();
  const int needed =
      WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  std::string narrow(static_cast<std::size_t>(needed), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, narrow.data(), needed, nullptr,
                      nullptr);
  narrow.resize(static_cast<std::size_t>(needed) - 1);  // the NUL
  return narrow;
}

std::string windowsErrorText(unsigned long code) {
  wchar_t* text = nullptr;
  const DWORD size = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
          FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  if (size == 0 || text == nullptr) return "error " + std::to_string(code);
  std::string said = utf8FromWide(text);
  LocalFree(text);
  while (!said.empty() && (said.back() == '\n' || said.back() == '\r' ||
                           said.back() == ' ' || said.back() == '.')) {
    said.pop_back();
  }
  return said;
}

}  // namespace platform
