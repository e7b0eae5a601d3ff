#pragma once

namespace platform {

// Ends the process with `status`, running the exit handlers.
[[noreturn]] void endProcess(int status);

}  // namespace platform
