#pragma once

namespace platform {

// Makes a write to a pipe or socket whose reader has gone fail with an
// error, which the run reports, instead of killing the process.
void ignoreBrokenPipe();

}  // namespace platform
