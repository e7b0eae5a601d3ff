#include <csignal>

#include "platform/broken_pipe.h"

namespace platform {

void ignoreBrokenPipe() { std::signal(SIGPIPE, SIG_IGN); }

}  // namespace platform
