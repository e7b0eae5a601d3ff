#include "driver/program_directory.h"

#include <string>

#include "platform/os/console.h"
#include "platform/os/paths.h"

void moveToProgramDirectory(const char* programPath) {
  if (programPath == nullptr) return;
  const char* last = platform::lastPathSeparator(programPath);
  if (last == nullptr) return;
  // Keep the trailing separator: a program in the root works in the root.
  const std::string directory(programPath, last + 1);
  _chdir(directory.c_str());
}
