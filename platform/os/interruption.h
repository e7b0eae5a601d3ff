#pragma once

#include "platform/core/tov_exception.h"

namespace platform {

// Thrown where the run stops for an interruption: before a request, between
// transactions, between the pieces of a file.
class RunInterrupted : public TOVException {
 public:
  RunInterrupted() : TOVException("Interrupted") {}
};

// Until watchForInterruption, Ctrl-C ends the process at once, with the
// status an interrupted run ends with (130; on Linux the signal's own end,
// which a shell shows as 130).
void endEarlyOnInterruption();
// From now on Ctrl-C and SIGTERM (on Windows Ctrl+C, Ctrl+Break and closing
// the console) ask the run to stop where it stands: the request in flight
// gets its answer, no other is sent, and the run says what it did. A second
// one ends the process at once.
void watchForInterruption();
bool interruptionRequested();
// Throws a RunInterrupted when an interruption was asked for.
void throwIfInterrupted();
// Ends the process as the interruption itself would have ended it, so that
// a shell sees what it sees of a run stopped by Ctrl-C: status 130 (143 for
// SIGTERM); on Windows 130, which `if errorlevel 1` reads as a failure.
[[noreturn]] void endAsInterrupted();

}  // namespace platform
