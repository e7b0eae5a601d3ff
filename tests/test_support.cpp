#include "tests/test_support.h"

#include <fcntl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#ifdef _WIN32
#include <io.h>
// The run-time's names for what POSIX calls setenv, dup, dup2 and close.
#define dup _dup
#define dup2 _dup2
#define close _close
#define open _open
namespace {
int setenv(const char* name, const char* value, int) {
  return _putenv_s(name, value);
}
int unsetenv(const char* name) { return _putenv_s(name, ""); }
}  // namespace
const char* const test_support::kNullDevice = "NUL";
#else
#include <unistd.h>
const char* const test_support::kNullDevice = "/dev/null";
#endif

namespace fs = std::filesystem;

namespace test_support {

const char* const kUsageText =
    "KesMDProviderClient - version 0.1\n"
    "Usage: -t {AC | MA | XS} {-c | -m} project [-s script]\n"
    "  Options: \n"
    "\t-t test type (AC - action, MA - MA I/F, XS - stylesheet)\n"
    "\t-c create a new project\n"
    "\t-m open an existing project\n"
    "\t-s script to apply\n"
    "\t-u user name (if authentication required)\n"
    "\t-p password  (if authentication required)\n"
    "\t-x namespace  (if authentication required)\n"
    "\t-d target (D - dispatcher C - CGI, deafault - direct\n"
    "  Examples: \n"
    "\n"
    "  -t AC -m connection -s script      Apply action log (script) to the "
    "model.\n"
    "  -t MA -m connection -s script      Query model using MA inteface.\n"
    "  -t XS -m connection -s script      Apply stylesheet (script) to the "
    "model).\n"
    "\tPress any key to exit ...\n";

TempDir::TempDir() {
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const fs::path path =
        fs::temp_directory_path() / ("kes-test-" + std::to_string(random()));
    std::error_code failed;
    if (fs::create_directory(path, failed)) {
      fs::permissions(path, fs::perms::owner_all, failed);
      path_ = path.string();
      return;
    }
  }
  std::abort();
}

TempDir::~TempDir() {
  if (::testing::Test::HasFailure()) {
    std::fprintf(stderr, "kept for a look: %s\n", path_.c_str());
    return;
  }
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

std::string TempDir::write(const std::string& name,
                           const std::string& content) const {
  const fs::path full = fs::path(path_) / name;
  fs::create_directories(full.parent_path());
  std::ofstream(full, std::ios::binary) << content;
  return full.string();
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<std::string> readTrace(const std::string& path) {
  const std::string text = readFile(path);
  std::vector<std::string> records;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\0', start);
    if (end == std::string::npos) {
      records.push_back(text.substr(start) + "<no NUL at the end>");
      break;
    }
    records.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return records;
}

ScopedEnv::ScopedEnv(const char* name, const std::string& value) : name_(name) {
  if (const char* old = std::getenv(name)) {
    hadValue_ = true;
    oldValue_ = old;
  }
  ::setenv(name, value.c_str(), 1);
}

ScopedEnv::~ScopedEnv() {
  if (hadValue_) {
    ::setenv(name_.c_str(), oldValue_.c_str(), 1);
  } else {
    ::unsetenv(name_.c_str());
  }
}

}  // namespace test_support

namespace test_support {

ScopedWorkingDir::ScopedWorkingDir(const std::string& dir)
    : previous_(fs::current_path().string()) {
  fs::current_path(dir);
}

ScopedWorkingDir::~ScopedWorkingDir() {
  std::error_code ignored;
  fs::current_path(previous_, ignored);
}

ScopedStdin::ScopedStdin(const std::string& file) : saved_(::dup(0)) {
  const int fd = ::open(file.c_str(), O_RDONLY);
  if (fd < 0 || ::dup2(fd, 0) < 0) std::abort();
  ::close(fd);
}

ScopedStdin::~ScopedStdin() {
  ::dup2(saved_, 0);
  ::close(saved_);
}

}  // namespace test_support
