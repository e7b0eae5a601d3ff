#include <pthread.h>
#include <signal.h>

#include <thread>

#include "stand_in_provider/process_signals.h"

void stopOnSignal(std::function<void()> stop) {
  // Blocked here, so in every thread started later: only the waiting
  // thread takes them.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  signal(SIGPIPE, SIG_IGN);
  std::thread([stop = std::move(stop), stopSignals] {
    int signalNumber = 0;
    sigwait(&stopSignals, &signalNumber);
    stop();
  }).detach();
}
