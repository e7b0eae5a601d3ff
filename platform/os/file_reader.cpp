// What reads a file the same way on every system.

#include "platform/os/file_reader.h"

#include <string>

#include "platform/core/tov_exception.h"

namespace platform {

FileContent readRegularFile(const char* path) {
  RegularFileStream file(path);
  FileContent content;
  content.data.reset(static_cast<char*>(std::malloc(file.size() + 1)));
  if (!content.data) {
    throw new TOVException("Failed to open \"" + std::string(path) +
                           "\": out of memory");
  }
  std::size_t got = 0;
  while ((got = file.read(content.data.get() + content.size,
                          file.size() - content.size)) > 0) {
    content.size += got;
  }
  content.data.get()[content.size] = '\0';
  return content;
}

}  // namespace platform
