#pragma once

// Internal to the platform layer: the few calls on files by descriptor that
// differ between the systems, so that the files built on them do not.

#include <cstddef>
#include <string>

namespace platform {

// Creates or truncates `path` for writing. -1 with `reason` set on failure.
int createFile(const std::string& path, std::string& reason);
// Creates a new file, exclusively, named `name` with its trailing "XXXXXX"
// made unique, for reading and writing; `name` gets the name. A `hidden`
// one is gone from its folder: at once, or when it is closed. -1 with
// `reason` set on failure.
int createUniqueFile(std::string& name, bool hidden, std::string& reason);
// Writes all of the bytes, again after an interruption. False with
// `reason` set when not all could be written.
bool writeAll(int fd, const char* data, std::size_t size, std::string& reason);
// Up to `size` bytes from `offset`; the count, or -1 with `reason` set.
long long readAt(int fd, unsigned long long offset, char* into,
                 std::size_t size, std::string& reason);
// Closes; false with `reason` set when what was written may be lost.
bool closeFile(int fd, std::string& reason);
void removeFile(const std::string& path);
// Puts `from` in place of `to`, which it replaces whole.
bool replaceFile(const std::string& from, const std::string& to,
                 std::string& reason);
// Whether something other than a regular file stands at `path`.
bool isOtherThanRegularFile(const std::string& path);

}  // namespace platform
