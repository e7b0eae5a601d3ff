#pragma once

#include <string>

namespace platform {

// The value of an environment variable; empty when it is unset.
std::string environmentValue(const char* name);

}  // namespace platform
