#pragma once

// What the file-reading targets share: a scratch folder of their own for the
// process's life, inputs written into it whole, an input cut into parts,
// and a check that stops the run where an invariant fails.

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace fuzz {

// Stops the run with the invariant that failed, so that libFuzzer keeps the
// input as a crash.
[[noreturn]] inline void broken(const char* what) {
  std::fprintf(stderr, "invariant broken: %s\n", what);
  std::abort();
}

inline void expect(bool holds, const char* what) {
  if (!holds) broken(what);
}

// What a target made in its scratch folder, removed, the last made first, when
// the process ends normally.
inline std::vector<std::string>& made() {
  static std::vector<std::string> paths;
  return paths;
}

inline void removeMade() {
  for (auto path = made().rbegin(); path != made().rend(); ++path) {
    std::remove(path->c_str());
  }
}

// A folder of the process's own, made at the first call, in memory where
// the system has such a place (a file rewritten on disk for each input
// would cost more than the input); empty when it cannot be made.
inline const std::string& scratchFolder() {
  static const std::string folder = [] {
    for (const char* where : {"/dev/shm", "/tmp"}) {
      std::string pattern = std::string(where) + "/kes-fuzz-XXXXXX";
      if (::mkdtemp(pattern.data()) == nullptr) continue;
      made().push_back(pattern);
      std::atexit(removeMade);
      return pattern;
    }
    return std::string();
  }();
  return folder;
}

// A path in the scratch folder, removed at the end; a folder is made.
inline std::string scratchPath(const std::string& name, bool folder = false) {
  const std::string path = scratchFolder() + "/" + name;
  if (folder && ::mkdir(path.c_str(), 0700) != 0) return std::string();
  made().push_back(path);
  return path;
}

// Writes `bytes` to `path`, replacing it; false when it cannot.
inline bool writeFile(const std::string& path, std::string_view bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool written =
      std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}

// The input cut at its first `cuts` NUL bytes: at most cuts + 1 parts.
inline std::vector<std::string_view> parts(const std::uint8_t* data,
                                           std::size_t size, int cuts) {
  std::string_view rest(reinterpret_cast<const char*>(data), size);
  std::vector<std::string_view> found;
  for (int i = 0; i < cuts; ++i) {
    const std::size_t nul = rest.find('\0');
    if (nul == std::string_view::npos) break;
    found.push_back(rest.substr(0, nul));
    rest.remove_prefix(nul + 1);
  }
  found.push_back(rest);
  return found;
}

}  // namespace fuzz
