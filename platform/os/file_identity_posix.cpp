#include <sys/stat.h>

#include "platform/os/descriptor_calls.h"
#include "platform/os/file_identity.h"

namespace platform {

FileIdentity fileIdentity(const std::string& path) {
  // A link that leads to nothing yet names the file it would make.
  const std::string target = followedLinks(path);
  FileIdentity identity;
  struct stat info {};
  if (::stat(target.c_str(), &info) == 0) {
    identity.volume = static_cast<unsigned long long>(info.st_dev);
    identity.file = static_cast<unsigned long long>(info.st_ino);
    return identity;
  }
  const std::size_t slash = target.rfind('/');
  const std::string folder = slash == std::string::npos ? "."
                             : slash == 0               ? "/"
                                          : target.substr(0, slash);
  identity.name =
      slash == std::string::npos ? target : target.substr(slash + 1);
  if (::stat(folder.c_str(), &info) == 0) {
    identity.volume = static_cast<unsigned long long>(info.st_dev);
    identity.file = static_cast<unsigned long long>(info.st_ino);
  } else {
    identity.name = target;  // a folder that is not there either
  }
  return identity;
}

}  // namespace platform
