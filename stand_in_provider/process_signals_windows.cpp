#include <windows.h>

#include <utility>

#include "stand_in_provider/process_signals.h"

namespace {

std::function<void()>& stopping() {
  static std::function<void()> stop;
  return stop;
}

BOOL WINAPI onConsoleEvent(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT &&
      event != CTRL_CLOSE_EVENT) {
    return FALSE;
  }
  stopping()();
  return TRUE;
}

}  // namespace

void stopOnSignal(std::function<void()> stop) {
  stopping() = std::move(stop);
  SetConsoleCtrlHandler(&onConsoleEvent, TRUE);
}
