#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include "platform/os/utf8_arguments.h"
#include "platform/os/windows_text.h"

namespace platform {

// The words as Windows keeps them, in UTF-16, not as the ANSI code page
// lost them in argv.
Utf8Arguments::Utf8Arguments(int argc, char** argv) {
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr || count != argc) {
    words_.assign(argv, argv + argc);
  } else {
    for (int i = 0; i < count; ++i) words_.push_back(utf8FromWide(wide[i]));
  }
  if (wide != nullptr) LocalFree(wide);
  for (std::string& word : words_) pointers_.push_back(word.data());
  pointers_.push_back(nullptr);
}

}  // namespace platform
