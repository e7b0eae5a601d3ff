#include "platform/os/broken_pipe.h"

namespace platform {

// Windows has no SIGPIPE: a write to a closed pipe fails with an error.
void ignoreBrokenPipe() {}

}  // namespace platform
