#include <signal.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>

#include "platform/os/interruption.h"

namespace platform {

namespace {

volatile std::sig_atomic_t requested = 0;

extern "C" void noteInterruption(int signal) {
  if (requested != 0) {
    // The second one: as if nothing had caught the first.
    ::signal(signal, SIG_DFL);
    ::raise(signal);
    return;
  }
  requested = signal;
}

}  // namespace

// The signals' own end is the one wanted.
void endEarlyOnInterruption() {}

void watchForInterruption() {
  struct sigaction action {};
  action.sa_handler = noteInterruption;
  // What the run is in the middle of goes on: a read or a write is not
  // cut short by the signal.
  action.sa_flags = SA_RESTART;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGINT, &action, nullptr);
  ::sigaction(SIGTERM, &action, nullptr);
}

bool interruptionRequested() { return requested != 0; }

void throwIfInterrupted() {
  if (requested != 0) throw new RunInterrupted();
}

void endAsInterrupted() {
  const int signal = requested != 0 ? static_cast<int>(requested) : SIGINT;
  std::fflush(nullptr);
  ::signal(signal, SIG_DFL);
  ::raise(signal);
  ::_exit(128 + signal);
}

}  // namespace platform
