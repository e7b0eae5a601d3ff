#pragma once

#include <string>

namespace platform {

// The last separator between folders in `path`, or null when it has none.
// On Windows a slash separates as a backslash does.
const char* lastPathSeparator(const char* path);

// The whole path of the running program's own file, wherever it was started
// from (by its bare name from PATH too); empty when the system does not say.
std::string programFile();

// `path` made whole from the working directory, with no "." or ".." steps:
// how a message names a file, so that a tester knows which one it is.
std::string fullPath(const std::string& path);

}  // namespace platform
