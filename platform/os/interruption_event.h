#pragma once

// Internal to the Windows files of the platform layer.

namespace platform {

// The event (a HANDLE) that an interruption of the run sets, so that a
// wait that is no call the console handler cuts short wakes on it too.
void* interruptionEvent();

}  // namespace platform
