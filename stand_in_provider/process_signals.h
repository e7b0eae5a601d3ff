#pragma once

#include <functional>

// Calls `stop` once when the process is told to stop (SIGTERM or SIGINT;
// on Windows a console's Ctrl+C, Ctrl+Break or close). Call it before any
// other thread starts. A peer that goes away never ends the process.
void stopOnSignal(std::function<void()> stop);
