#include "tests/test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

namespace {

// The run-time's own names for setting the environment.
#ifdef _WIN32
void setVariable(const char* name, const char* value) {
  _putenv_s(name, value);
}
void removeVariable(const char* name) { _putenv_s(name, ""); }
#else
void setVariable(const char* name, const char* value) {
  ::setenv(name, value, 1);
}
void removeVariable(const char* name) { ::unsetenv(name); }
#endif

}  // namespace

#ifdef _WIN32
const char* const test_support::kNullDevice = "NUL";
#else
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

std::vector<std::string> temporaryFilesIn(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) {
    const std::string name = entry.path().filename().string();
    if (name.find(".tmp-") != std::string::npos) names.push_back(name);
  }
  return names;
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
  setVariable(name, value.c_str());
}

ScopedEnv::~ScopedEnv() {
  if (hadValue_) {
    setVariable(name_.c_str(), oldValue_.c_str());
  } else {
    removeVariable(name_.c_str());
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

}  // namespace test_support
