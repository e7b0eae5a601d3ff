#include <windows.h>

#include <atomic>
#include <cstdio>

#include "platform/os/interruption.h"

namespace platform {

namespace {

// What a console program stopped by Ctrl+C ends with.
constexpr UINT kControlCExit = 0xC000013AU;

std::atomic<bool> requested{false};

// Runs on a thread of its own that the system starts for the event.
BOOL WINAPI noteInterruption(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT &&
      event != CTRL_CLOSE_EVENT) {
    return FALSE;
  }
  if (requested.exchange(true)) ExitProcess(kControlCExit);
  // A closing console ends the process when this returns: the run ends
  // it first, once it has said what it did.
  if (event == CTRL_CLOSE_EVENT) Sleep(INFINITE);
  return TRUE;
}

}  // namespace

void watchForInterruption() { SetConsoleCtrlHandler(noteInterruption, TRUE); }

bool interruptionRequested() { return requested.load(); }

void throwIfInterrupted() {
  if (requested.load()) throw new RunInterrupted();
}

void endAsInterrupted() {
  std::fflush(nullptr);
  ExitProcess(kControlCExit);
}

}  // namespace platform
