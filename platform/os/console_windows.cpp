#include <io.h>
#include <windows.h>

#include <memory>

#include "platform/os/console.h"
#include "platform/os/interruption_event.h"
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

// Whether the wait for `waitable` ended because the run was interrupted:
// the interruption's event is waited on beside it.
bool interruptedWhileWaiting(HANDLE waitable, DWORD milliseconds) {
  const HANDLE handles[2] = {static_cast<HANDLE>(platform::interruptionEvent()),
                             waitable};
  return WaitForMultipleObjects(2, handles, FALSE, milliseconds) ==
         WAIT_OBJECT_0;
}

// One byte read on a thread of its own, which the reader may leave behind.
struct ByteRead {
  HANDLE input = nullptr;
  unsigned char byte = 0;
  DWORD got = 0;
  BOOL ok = FALSE;
};

DWORD WINAPI readOnItsOwn(void* shared) {
  const std::unique_ptr<std::shared_ptr<ByteRead>> read(
      static_cast<std::shared_ptr<ByteRead>*>(shared));
  ByteRead& what = **read;
  what.ok = ReadFile(what.input, &what.byte, 1, &what.got, nullptr);
  return 0;
}

// A thread handle, closed when it goes.
class ThreadHandle {
 public:
  explicit ThreadHandle(HANDLE thread) : thread_(thread) {}
  ~ThreadHandle() {
    if (thread_ != nullptr) CloseHandle(thread_);
  }
  ThreadHandle(const ThreadHandle&) = delete;
  ThreadHandle& operator=(const ThreadHandle&) = delete;
  HANDLE get() const { return thread_; }

 private:
  HANDLE thread_;
};

int readOneByte(HANDLE input) {
  const auto read = std::make_shared<ByteRead>();
  read->input = input;
  // A read from a pipe cannot be cut short (nor, under wine, peeked at):
  // it waits on a thread of its own, and an interruption leaves it there,
  // to end with the process.
  if (GetFileType(input) == FILE_TYPE_PIPE) {
    auto* reference = new std::shared_ptr<ByteRead>(read);
    const ThreadHandle thread(
        CreateThread(nullptr, 0, readOnItsOwn, reference, 0, nullptr));
    if (thread.get() == nullptr) {
      delete reference;
      return -1;
    }
    if (interruptedWhileWaiting(thread.get(), INFINITE)) return -1;
  } else {
    read->ok = ReadFile(input, &read->byte, 1, &read->got, nullptr);
  }
  return read->ok && read->got == 1 ? read->byte : -1;
}

// One key pressed at the console, or -1 when the run is interrupted
// first: the wait is on the console's input and the interruption at once.
int readOneKey(HANDLE input) {
  for (;;) {
    if (interruptedWhileWaiting(input, INFINITE)) return -1;
    INPUT_RECORD record{};
    DWORD got = 0;
    if (!ReadConsoleInputW(input, &record, 1, &got) || got != 1) return -1;
    // A key going down that gives a character; not Shift alone, nor a
    // mouse or a window's change of size.
    const KEY_EVENT_RECORD& key = record.Event.KeyEvent;
    if (record.EventType == KEY_EVENT && key.bKeyDown &&
        key.uChar.UnicodeChar != 0) {
      return static_cast<int>(key.uChar.UnicodeChar);
    }
  }
}

}  // namespace

// At a console, one key without echo; from a pipe or a file, one byte,
// and -1 at once at the end of input (the run-time's _getch reads nothing
// from a pipe). An interruption of the run ends the wait.
int _getch() {
  const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  DWORD saved = 0;
  if (!GetConsoleMode(input, &saved)) return readOneByte(input);
  const ConsoleModeGuard restore(input, saved);
  SetConsoleMode(input, saved & ~static_cast<DWORD>(ENABLE_LINE_INPUT |
                                                    ENABLE_ECHO_INPUT));
  return readOneKey(input);
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

bool conversingAtTerminal() {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode) &&
         GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode);
}

bool standardOutputIsTerminal() {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) != 0;
}

}  // namespace platform
