#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <random>

#include "platform/os/descriptor_calls.h"

namespace platform {

namespace {

int failed(std::string& reason) {
  reason = std::strerror(errno);
  return -1;
}

std::string folderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// The mode a new file gets: read and write for its owner, read for the
// rest, less what the umask takes away.
mode_t newFileMode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0644 & ~mask;
}

// Writes all of the bytes with `put`, again after an interruption.
template <typename Put>
bool writeEvery(const char* data, std::size_t size, std::string& reason,
                Put put) {
  while (size > 0) {
    const ssize_t done = put(data, size);
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) {
      reason = done < 0 ? std::strerror(errno) : "nothing written";
      return false;
    }
    data += done;
    size -= static_cast<std::size_t>(done);
  }
  return true;
}

// A name beside `target` that nothing has yet.
std::string freshName(const std::string& target) {
  static const char kLetters[] =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  static std::random_device random;
  std::string name = target + ".tmp-";
  for (int i = 0; i < 6; ++i) name += kLetters[random() % 62];
  return name;
}

// Gives the unnamed file a name: through /proc, or, where there is none,
// by the descriptor itself.
bool nameUnnamed(int fd, const std::string& name) {
  const std::string self = "/proc/self/fd/" + std::to_string(fd);
  return ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(),
                  AT_SYMLINK_FOLLOW) == 0 ||
         (errno == ENOENT &&
          ::linkat(fd, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH) == 0);
}

}  // namespace

int createFile(const std::string& path, std::string& reason) {
  const int fd =
      ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  return fd >= 0 ? fd : failed(reason);
}

bool createHiddenFile(const std::string& target, HiddenFile& file,
                      std::string& reason) {
  file = HiddenFile();
  // Unnamed: the system lets it go with the last descriptor.
  file.fd =
      ::open(folderOf(target).c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0644);
  if (file.fd >= 0) return true;
  if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
    return failed(reason) == 0;
  }
  // A file system that cannot: a temporary name beside the target.
  file.temporaryName = target + ".tmp-XXXXXX";
  file.fd = ::mkostemp(file.temporaryName.data(), O_CLOEXEC);
  if (file.fd < 0) return failed(reason) == 0;
  ::fchmod(file.fd, newFileMode());
  return true;
}

// Nothing holds a file here against its replacement: `held` is never set.
bool keepHiddenFile(HiddenFile& file, const std::string& target,
                    std::string& reason, bool* /*held*/) {
  // A file replaced keeps its mode, as one rewritten in place does: a
  // baseline or report kept private stays so.
  struct stat existing {};
  if (::stat(target.c_str(), &existing) == 0 && S_ISREG(existing.st_mode)) {
    ::fchmod(file.fd, existing.st_mode & 07777);
  }
  std::string name = file.temporaryName;
  for (int attempt = 0; name.empty() && attempt < 100; ++attempt) {
    const std::string candidate = freshName(target);
    if (nameUnnamed(file.fd, candidate)) name = candidate;
    if (name.empty() && errno != EEXIST) break;
  }
  bool kept = !name.empty() || failed(reason) == 0;
  kept = closeFile(file.fd, reason) && kept;
  file.fd = -1;
  if (kept && std::rename(name.c_str(), target.c_str()) != 0) {
    kept = failed(reason) == 0;
  }
  if (!kept && !name.empty()) ::unlink(name.c_str());
  file.temporaryName.clear();
  return kept;
}

void dropHiddenFile(HiddenFile& file) {
  if (file.fd >= 0) ::close(file.fd);
  if (!file.temporaryName.empty()) ::unlink(file.temporaryName.c_str());
  file = HiddenFile();
}

bool writeAll(int fd, const char* data, std::size_t size, std::string& reason) {
  return writeEvery(data, size, reason, [fd](const char* from, std::size_t n) {
    return ::write(fd, from, n);
  });
}

bool writeAt(int fd, unsigned long long offset, const char* data,
             std::size_t size, std::string& reason) {
  return writeEvery(data, size, reason, [&](const char* from, std::size_t n) {
    const ssize_t put = ::pwrite(fd, from, n, static_cast<off_t>(offset));
    if (put > 0) offset += static_cast<unsigned long long>(put);
    return put;
  });
}

bool closeFile(int fd, std::string& reason) {
  return ::close(fd) == 0 || failed(reason) == 0;
}

bool isOtherThanRegularFile(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode);
}

std::string followedLinks(const std::string& path) {
  std::string at = path;
  // As many links as the system itself follows.
  for (int hop = 0; hop < 40; ++hop) {
    char target[PATH_MAX];
    const ssize_t size = ::readlink(at.c_str(), target, sizeof target);
    if (size <= 0 || static_cast<std::size_t>(size) >= sizeof target) break;
    const std::string link(target, static_cast<std::size_t>(size));
    const std::size_t slash = at.rfind('/');
    at = link[0] == '/' || slash == std::string::npos
             ? link
             : at.substr(0, slash + 1) + link;
  }
  return at;
}

}  // namespace platform
