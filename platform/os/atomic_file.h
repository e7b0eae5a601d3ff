#pragma once

#include <cstddef>
#include <string>

#include "platform/os/descriptor_calls.h"

namespace platform {

// A file that appears whole or not at all: written where nobody sees it and
// put in place by `commit`. Until then an earlier file at the path stays as
// it was, and a run that ends without committing, killed or not, leaves
// nothing behind. A path that is a symbolic link keeps its link: the file
// it leads to is replaced. A file replaced keeps its mode; a new one has
// the mode the umask gives.
class AtomicFile {
 public:
  AtomicFile() = default;
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  // Makes the file that will be put in place. False with `reason` set when
  // the folder is missing, nothing can be created there, or the path is not
  // a regular file.
  bool open(const std::string& path, std::string& reason);
  bool isOpen() const { return file_.fd >= 0; }
  const std::string& path() const { return path_; }

  // False with `reason` set when not all of the bytes could be written.
  bool append(const char* data, std::size_t size, std::string& reason);
  // Writes over bytes appended before, at `offset`.
  bool writeAt(unsigned long long offset, const char* data, std::size_t size,
               std::string& reason);
  // Puts the file in place; false with `reason` set when it cannot be.
  // With `besideIfHeld`, a file in place that another program holds open
  // past a few seconds of waiting is left as it is, and this one is put
  // beside it, at the path with ".new" added, which `placedAt` then names.
  bool commit(std::string& reason, bool besideIfHeld = false);
  // Where `commit` put the file: the path, or the one beside it.
  const std::string& placedAt() const { return placedAt_; }

 private:
  HiddenFile file_;
  std::string path_;
  std::string target_;  // where the path's links lead
  std::string placedAt_;
};

}  // namespace platform
