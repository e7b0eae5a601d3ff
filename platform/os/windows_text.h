#pragma once

// Internal to the Windows files of the platform layer: paths, words and
// values are UTF-8 in the program and UTF-16 at the Windows interface.

#include <string>

namespace platform {

std::wstring wideFromUtf8(const std::string& text);
std::string utf8FromWide(const wchar_t* text);
// The system's text for an error code of GetLastError(), without its line
// end.
std::string windowsErrorText(unsigned long code);

}  // namespace platform
