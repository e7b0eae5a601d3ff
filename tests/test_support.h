#pragma once

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/core/tov_exception.h"

namespace test_support {

// The text of the TOVException that `action` throws (and deletes), or
// "<no failure>".
template <typename Action>
std::string failureOf(Action action) {
  try {
    action();
  } catch (TOVException* failure) {
    const std::unique_ptr<TOVException> owned(failure);
    return failure->getErrorCodeString();
  }
  return "<no failure>";
}

// A fresh directory, removed when the test passed and kept for a look when
// it failed.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  // Writes `content` to `name` inside the directory; returns the full path.
  std::string write(const std::string& name, const std::string& content) const;

 private:
  std::string path_;
};

std::string readFile(const std::string& path);

// The temporary files (`*.tmp-*`) a run left in `dir`.
std::vector<std::string> temporaryFilesIn(const std::string& dir);

// The records of a request trace: each request's text, NUL removed.
std::vector<std::string> readTrace(const std::string& path);

// Sets an environment variable for the life of the object.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  bool hadValue_ = false;
  std::string oldValue_;
};

struct RunResult {
  int status = -1;  // exit status when the program exited
  int signal = 0;   // the signal that ended it, or 0
  bool timedOut = false;
  long maxRssKiB = 0;  // peak resident memory
  std::string out;
  std::string err;
};

struct RunOptions {
  std::vector<std::string> args;
  std::string workingDir;        // empty: the test's own; may exceed PATH_MAX
  std::string input;             // standard input, closed after it...
  bool holdInput = false;        // ...or held open until the program ends
  std::string outputFile;        // standard output to this file instead...
  bool closedOutput = false;     // ...or to a pipe that nobody reads
  long addressSpaceMiB = 0;      // a limit on the program's memory, 0: none
  bool errorToTerminal = false;  // standard error to a pseudo-terminal
  // Standard input, output and error on one pseudo-terminal, as a tester
  // has them: `out` is what it shows, `input` what is typed.
  bool terminal = false;
  std::vector<std::pair<std::string, std::string>> env;
  int timeoutSeconds = 20;
  std::string argv0;  // empty: the program path
  // Once `interruptWhen` holds, these signals go to the program, a tenth of
  // a second apart, as a tester's Ctrl-C would.
  std::function<bool()> interruptWhen;
  std::vector<int> interruptSignals;
};

// Whether the program under test is the Windows one, run under wine
// (KES_WINDOWS_PROGRAM names it); its console lines are read without CR.
bool underWine();

// A whole path as the program under test names it: under wine its
// Windows form ("Z:\\tmp\\..."), otherwise the path itself.
std::string shownPath(const std::string& path);

// Copies the built program into `dir`; returns the copy's path.
std::string installProgram(const TempDir& dir);

// Runs `program` (a relative path is taken from the working directory) and
// collects its status and output; kills it past the time-out.
// MDPROVIDER_TRACE is cleared unless `options.env` sets it.
RunResult runProgram(const std::string& program, const RunOptions& options);

// Whether /dev/full is here, the device on which every write fails.
bool hasFullDevice();

// Why RunOptions::addressSpaceMiB cannot limit the program here; empty
// when it can.
std::string whyNoAddressSpaceLimit();

// The device that reads as empty: /dev/null, or NUL on Windows.
extern const char* const kNullDevice;

// The usage text, as testers' scripts expect it.
extern const char* const kUsageText;

}  // namespace test_support

namespace test_support {

// Makes `dir` the working directory for the life of the object.
class ScopedWorkingDir {
 public:
  explicit ScopedWorkingDir(const std::string& dir);
  ~ScopedWorkingDir();
  ScopedWorkingDir(const ScopedWorkingDir&) = delete;
  ScopedWorkingDir& operator=(const ScopedWorkingDir&) = delete;

 private:
  std::string previous_;
};

// Gives standard input the content of `file` for the life of the object.
class ScopedStdin {
 public:
  explicit ScopedStdin(const std::string& file);
  ~ScopedStdin();
  ScopedStdin(const ScopedStdin&) = delete;
  ScopedStdin& operator=(const ScopedStdin&) = delete;

 private:
  int saved_ = -1;
};

}  // namespace test_support
