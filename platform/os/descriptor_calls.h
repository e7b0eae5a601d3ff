#pragma once

// Internal to the platform layer: the few calls on files by descriptor that
// differ between the systems, so that the files built on them do not.

#include <cstddef>
#include <string>

namespace platform {

// Creates or truncates `path` for writing. -1 with `reason` set on failure.
int createFile(const std::string& path, std::string& reason);

// A file for writing that nobody sees and that goes with the process, until
// it is kept: a run killed before then leaves nothing behind. Where the
// system cannot hide a file, it has a temporary name beside its target,
// which dropping it removes.
struct HiddenFile {
  int fd = -1;
  std::string temporaryName;  // empty when the file has no name
};
// Creates one in the folder of `target`, with the mode a new file gets
// there. False with `reason` set on failure.
bool createHiddenFile(const std::string& target, HiddenFile& file,
                      std::string& reason);
// Closes it and puts it in place of `target`, which it replaces whole; a
// file it replaces hands on its mode. A target that another program holds
// open (Windows refuses to replace it then) is tried again for a few
// seconds; when it is held still and `held` is given, `*held` is set and
// the file stays open and unnamed, to be kept at another target.
bool keepHiddenFile(HiddenFile& file, const std::string& target,
                    std::string& reason, bool* held = nullptr);
// Closes it and lets it go.
void dropHiddenFile(HiddenFile& file);

// Writes all of the bytes, again after an interruption. False with
// `reason` set when not all could be written.
bool writeAll(int fd, const char* data, std::size_t size, std::string& reason);
// The same at `offset`, over what is there.
bool writeAt(int fd, unsigned long long offset, const char* data,
             std::size_t size, std::string& reason);
// Closes; false with `reason` set when what was written may be lost.
bool closeFile(int fd, std::string& reason);
// Whether something other than a regular file stands at `path`.
bool isOtherThanRegularFile(const std::string& path);
// Where a symbolic link at `path` leads, through every link; `path` itself
// when it is none.
std::string followedLinks(const std::string& path);

}  // namespace platform
