#pragma once

#include <string>

namespace platform {

// The name of this machine, or "localhost" when it cannot be had.
std::string hostName();

}  // namespace platform
