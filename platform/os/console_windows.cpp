#include <io.h>
#include <windows.h>

#include "platform/os/console.h"
#include "platform/os/windows_text.h"

// SetCurrentDirectoryW takes UTF-8 made wide, and folders longer than the
// old 260-character limit, where the run-time's own _chdir does not.
int _chdir(const char* path) {
  return SetCurrentDirectoryW(platform::wideFromUtf8(path).c_str()) ? 0 : -1;
}

namespace {

// Restores the console mode it was given, on every way out.
class ConsoleModeGuard {
 public:
  ConsoleModeGuard(HANDLE console, DWORD saved)
      : console_(console), saved_(saved) {}
  ~ConsoleModeGuard() { SetConsoleMode(console_, saved_); }
  ConsoleModeGuard(const ConsoleModeGuard&) = delete;
  ConsoleModeGuard& operator=(const ConsoleModeGuard&) = delete;

 private:
  HANDLE console_;
  DWORD saved_;
};

int readOneByte(HANDLE input) {
  unsigned char byte = 0;
  DWORD got = 0;
  if (!ReadFile(input, &byte, 1, &got, nullptr) || got != 1) return -1;
  return byte;
}

}  // namespace

// At a console, one key without echo; from a pipe or a file, one byte,
// and -1 at once at the end of input (the run-time's _getch reads nothing
// from a pipe).
int _getch() {
  const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  DWORD saved = 0;
  if (!GetConsoleMode(input, &saved)) return readOneByte(input);
  const ConsoleModeGuard restore(input, saved);
  SetConsoleMode(input, saved & ~static_cast<DWORD>(ENABLE_LINE_INPUT |
                                                    ENABLE_ECHO_INPUT));
  wchar_t key = 0;
  DWORD got = 0;
  if (!ReadConsoleW(input, &key, 1, &got, nullptr) || got != 1) return -1;
  return static_cast<int>(key);
}

namespace platform {

// A console, not whatever _isatty says yes to (NUL among them), and one
// that redraws a line as a terminal does, which the progress line needs.
bool standardErrorIsTerminal() {
  const HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
  DWORD mode = 0;
  return GetConsoleMode(error, &mode) &&
         SetConsoleMode(error, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
}

}  // namespace platform
