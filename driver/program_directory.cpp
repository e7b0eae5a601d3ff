#include "driver/program_directory.h"

#include <cstring>
#include <string>

#include "platform/os/console.h"

void moveToProgramDirectory(const char* programPath) {
  if (programPath == nullptr) return;
  const char* last = std::strrchr(programPath, kPathSeparator);
  if (last == nullptr) return;
  // Keep the trailing separator: a program in the root works in the root.
  const std::string directory(programPath, last + 1);
  _chdir(directory.c_str());
}
