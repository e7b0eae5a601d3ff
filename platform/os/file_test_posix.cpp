#include <sys/stat.h>

#include "platform/os/file_test.h"

int KesVrnDir::exists(const I18NString& path, unsigned short mode) {
  struct stat info {};
  if (path == "" || ::stat(path.c_str(), &info) != 0) return 0;
  return (info.st_mode & S_IFMT) == mode ? 1 : 0;
}
