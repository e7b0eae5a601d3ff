#include <windows.h>

#include <atomic>
#include <cstdio>

#include "platform/os/interruption.h"
#include "platform/os/interruption_event.h"

namespace platform {

namespace {

// How an interrupted run ends, as a shell shows a run stopped by Ctrl-C on
// Linux: STATUS_CONTROL_C_EXIT, which Windows would give, is negative as
// ERRORLEVEL, and `if errorlevel 1` reads it as success.
constexpr UINT kInterruptedStatus = 130;

std::atomic<bool> watching{false};
std::atomic<bool> requested{false};

// Set with the request, for a wait (a key at the console) to wake on.
HANDLE requestedEvent() {
  static const HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  return event;
}

// Runs on a thread of its own that the system starts for the event.
BOOL WINAPI noteInterruption(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT &&
      event != CTRL_CLOSE_EVENT) {
    return FALSE;
  }
  // Before the run has started, or the second time: at once.
  if (!watching.load() || requested.exchange(true)) {
    ExitProcess(kInterruptedStatus);
  }
  SetEvent(requestedEvent());
  // A closing console ends the process when this returns: the run ends
  // it first, once it has said what it did.
  if (event == CTRL_CLOSE_EVENT) Sleep(INFINITE);
  return TRUE;
}

}  // namespace

void endEarlyOnInterruption() {
  requestedEvent();
  SetConsoleCtrlHandler(noteInterruption, TRUE);
}

void watchForInterruption() {
  requestedEvent();
  watching = true;
  SetConsoleCtrlHandler(noteInterruption, TRUE);
}

bool interruptionRequested() { return requested.load(); }

void throwIfInterrupted() {
  if (requested.load()) throw new RunInterrupted();
}

void endAsInterrupted() {
  std::fflush(nullptr);
  ExitProcess(kInterruptedStatus);
}

void* interruptionEvent() { return requestedEvent(); }

}  // namespace platform
