#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

#include "platform/os/console.h"
#include "platform/os/interruption.h"

int _chdir(const char* path) { return ::chdir(path); }

namespace {

// Restores the terminal settings it was given, on every way out.
class TerminalModeGuard {
 public:
  explicit TerminalModeGuard(const termios& saved) : saved_(saved) {}
  ~TerminalModeGuard() { ::tcsetattr(STDIN_FILENO, TCSANOW, &saved_); }
  TerminalModeGuard(const TerminalModeGuard&) = delete;
  TerminalModeGuard& operator=(const TerminalModeGuard&) = delete;

 private:
  termios saved_;
};

int readOneByte() {
  unsigned char byte = 0;
  for (;;) {
    // An interruption ends the wait for a key too.
    pollfd input{STDIN_FILENO, POLLIN, 0};
    const int ready = ::poll(&input, 1, 200);
    if (platform::interruptionRequested()) return -1;
    if (ready == 0 || (ready < 0 && errno == EINTR)) continue;
    const ssize_t got = ::read(STDIN_FILENO, &byte, 1);
    if (got == 1) return byte;
    if (got < 0 && errno == EINTR) continue;
    return -1;
  }
}

}  // namespace

int _getch() {
  termios saved{};
  if (!::isatty(STDIN_FILENO) || ::tcgetattr(STDIN_FILENO, &saved) != 0) {
    return readOneByte();
  }
  TerminalModeGuard restore(saved);
  termios raw = saved;
  raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;
  ::tcsetattr(STDIN_FILENO, TCSANOW, &raw);
  return readOneByte();
}

namespace platform {

bool standardErrorIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

bool conversingAtTerminal() {
  return ::isatty(STDIN_FILENO) == 1 && ::isatty(STDOUT_FILENO) == 1;
}

bool standardOutputIsTerminal() { return ::isatty(STDOUT_FILENO) == 1; }

}  // namespace platform
