#pragma once

#include <string>

namespace platform {

// What tells files apart: two paths that name one file, through symbolic
// links or as two links of one file, have equal identities. A path that
// names nothing yet is known by its folder and its name, as the file it
// would create.
struct FileIdentity {
  unsigned long long volume = 0;
  unsigned long long file = 0;
  std::string name;  // of a file still to be made, else empty

  bool operator==(const FileIdentity& other) const {
    return volume == other.volume && file == other.file && name == other.name;
  }
};

FileIdentity fileIdentity(const std::string& path);

}  // namespace platform
