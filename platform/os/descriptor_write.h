#pragma once

// Internal to the POSIX files of the platform layer.

#include <cstddef>
#include <string>

namespace platform {

// Writes all of the bytes to the open descriptor, again after an
// interruption. False with `reason` set when not all could be written.
bool writeAll(int fd, const char* data, std::size_t size, std::string& reason);

}  // namespace platform
