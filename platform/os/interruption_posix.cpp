#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdio>

#include "platform/os/interruption.h"

namespace platform {

namespace {

// Atomic, not only volatile: the signal may land on any of the run's
// threads, and another one reads it.
std::atomic<int> requested{0};
static_assert(std::atomic<int>::is_always_lock_free,
              "a signal handler may only touch a lock-free atomic");

extern "C" void noteInterruption(int signal) {
  if (requested.load() != 0) {
    // The second one: as if nothing had caught the first.
    ::signal(signal, SIG_DFL);
    ::raise(signal);
    return;
  }
  requested.store(signal);
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

bool interruptionRequested() { return requested.load() != 0; }

void throwIfInterrupted() {
  if (requested.load() != 0) throw new RunInterrupted();
}

void endAsInterrupted() {
  const int caught = requested.load();
  const int signal = caught != 0 ? caught : SIGINT;
  std::fflush(nullptr);
  ::signal(signal, SIG_DFL);
  ::raise(signal);
  ::_exit(128 + signal);
}

}  // namespace platform
