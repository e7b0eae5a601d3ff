#include <csignal>

#include "platform/os/broken_pipe.h"

namespace platform {

void ignoreBrokenPipe() { std::signal(SIGPIPE, SIG_IGN); }

}  // namespace platform
