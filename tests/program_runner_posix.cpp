// Runs the built program as a tester would, from the Linux test harness:
// its status, its console and its memory, with a time-out. Also the other
// helpers that only POSIX has (standard input from a file, /dev/full).

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "tests/test_support.h"

namespace fs = std::filesystem;

extern char** environ;

namespace test_support {

bool hasFullDevice() {
  struct stat info {};
  return ::stat("/dev/full", &info) == 0 && S_ISCHR(info.st_mode);
}

std::string whyNoAddressSpaceLimit() {
#ifdef KES_SANITIZED
  return "the sanitizers reserve more address space than any limit";
#endif
  if (underWine()) {
    return "a limit on wine's own address space is none on the program";
  }
  return "";
}

namespace {

// The Windows program, when KES_WINDOWS_PROGRAM names it: it is then run
// under wine in place of the Linux one.
std::string windowsProgram() {
  const char* named = std::getenv("KES_WINDOWS_PROGRAM");
  return named == nullptr ? std::string() : named;
}

// Console lines as Windows writes them, CR LF, read as the Linux ones.
void removeCarriageReturns(std::string& text) {
  std::string::size_type at = 0;
  while ((at = text.find("\r\n", at)) != std::string::npos) text.erase(at, 1);
}

}  // namespace

bool underWine() { return !windowsProgram().empty(); }

std::string shownPath(const std::string& path) {
  if (!underWine()) return path;
  std::string windows = "Z:" + path;
  std::replace(windows.begin(), windows.end(), '/', '\\');
  return windows;
}

std::string installProgram(const TempDir& dir) {
  const bool windows = underWine();
  const fs::path copy =
      fs::path(dir.path()) /
      (windows ? "KesMDProviderClient.exe" : "KesMDProviderClient");
  fs::copy_file(windows ? windowsProgram() : std::string(KES_PROGRAM_PATH),
                copy, fs::copy_options::overwrite_existing);
  return copy.string();
}

namespace {

std::vector<std::string> childEnvironment(const RunOptions& options) {
  std::vector<std::string> env;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const bool ours = std::strncmp(*entry, "MDPROVIDER_", 11) == 0 ||
                      std::strncmp(*entry, "NO_PROXY=", 9) == 0 ||
                      std::strncmp(*entry, "no_proxy=", 9) == 0;
    if (!ours) env.emplace_back(*entry);
  }
  // Requests to the stand-in on loopback never go through a proxy that
  // the machine may name.
  env.emplace_back("NO_PROXY=127.0.0.1,localhost");
  env.emplace_back("no_proxy=127.0.0.1,localhost");
  for (const auto& [name, value] : options.env)
    env.push_back(name + "=" + value);
  return env;
}

std::vector<char*> pointers(std::vector<std::string>& texts) {
  std::vector<char*> result;
  for (std::string& text : texts) result.push_back(text.data());
  result.push_back(nullptr);
  return result;
}

// Enters `path` one component at a time, so that a path longer than the
// system's limit can still be entered.
bool changeDirectory(const std::string& path) {
  if (::chdir(path.c_str()) == 0) return true;
  if (!path.empty() && path[0] == '/' && ::chdir("/") != 0) return false;
  std::size_t start = 0;
  while (start < path.size()) {
    std::size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    if (end > start && ::chdir(path.substr(start, end - start).c_str()) != 0) {
      return false;
    }
    start = end + 1;
  }
  return true;
}

}  // namespace

namespace {

RunResult runOnce(const std::string& program, const RunOptions& options);

}  // namespace

RunResult runProgram(const std::string& program, const RunOptions& options) {
  RunResult result = runOnce(program, options);
  // Now and then, on a loaded machine, wine ends a program it was to start
  // with a failure and not a word from the program, which always says why
  // it fails: started again, it runs. Not a time-out, nor a run the test
  // interrupts itself.
  if (underWine() && (result.status > 0 || result.signal != 0) &&
      result.out.empty() && result.err.empty() && !result.timedOut &&
      !options.interruptWhen) {
    std::fprintf(stderr,
                 "wine started nothing (status %d, signal %d): once more\n",
                 result.status, result.signal);
    result = runOnce(program, options);
  }
  return result;
}

namespace {

RunResult runOnce(const std::string& program, const RunOptions& options) {
  std::vector<std::string> args;
  args.push_back(options.argv0.empty() ? program : options.argv0);
  args.insert(args.end(), options.args.begin(), options.args.end());
  std::string executable = program;
  std::vector<std::string> env = childEnvironment(options);
  if (underWine()) {
    executable = "/usr/lib/wine/wine64";
    const std::string& typed = options.argv0;
    if (!typed.empty() && typed.find('/') == std::string::npos) {
      // A bare name, as a tester types it at the prompt: the command
      // interpreter finds it on the path, which wine takes from WINEPATH.
      args.front() = typed;
      args.insert(args.begin(), {executable, "cmd.exe", "/c"});
      env.push_back("WINEPATH=" + fs::path(program).parent_path().string());
    } else {
      // wine gives the program its own Windows path as argv[0].
      args.front() = program;
      args.insert(args.begin(), executable);
    }
  }
  std::vector<char*> argv = pointers(args);
  std::vector<char*> envp = pointers(env);

  int in[2], out[2], err[2];
  if (::pipe(in) != 0 || ::pipe(out) != 0) std::abort();
  // A pseudo-terminal's side for the program, then the side read here.
  if (options.errorToTerminal
          ? ::openpty(&err[0], &err[1], nullptr, nullptr, nullptr) != 0
          : ::pipe(err) != 0) {
    std::abort();
  }
  // The terminal a tester types at: the program's three streams on it, and
  // what it shows read here from its other side.
  int terminal = -1;
  int terminalSide = -1;
  // Wide enough that no line of the program's wraps.
  winsize size{50, 250, 0, 0};
  if (options.terminal &&
      ::openpty(&terminal, &terminalSide, nullptr, nullptr, &size) != 0) {
    std::abort();
  }
  const pid_t child = ::fork();
  if (child == 0) {
    // The program gets the default SIGPIPE, whatever this process set.
    ::signal(SIGPIPE, SIG_DFL);
    if (options.addressSpaceMiB > 0) {
      const rlim_t bytes = static_cast<rlim_t>(options.addressSpaceMiB) << 20;
      const rlimit limit{bytes, bytes};
      if (::setrlimit(RLIMIT_AS, &limit) != 0) ::_exit(124);
    }
    ::dup2(in[0], 0);
    if (options.closedOutput) {
      int unread[2];
      if (::pipe(unread) != 0 || ::dup2(unread[1], 1) < 0) ::_exit(125);
      ::close(unread[0]);
      ::close(unread[1]);
    } else if (options.outputFile.empty()) {
      ::dup2(out[1], 1);
    } else {
      const int fd =
          ::open(options.outputFile.c_str(), O_WRONLY | O_CREAT, 0600);
      if (fd < 0 || ::dup2(fd, 1) < 0) ::_exit(125);
      ::close(fd);
    }
    ::dup2(err[1], 2);
    if (options.terminal) {
      // Its own session, with the terminal as the one it controls.
      ::setsid();
      ::ioctl(terminalSide, TIOCSCTTY, 0);
      for (int fd : {0, 1, 2}) ::dup2(terminalSide, fd);
      ::close(terminal);
      ::close(terminalSide);
    }
    for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) ::close(fd);
    if (!options.workingDir.empty() && !changeDirectory(options.workingDir)) {
      ::_exit(126);
    }
    ::execve(executable.c_str(), argv.data(), envp.data());
    ::_exit(127);
  }
  ::close(in[0]);
  ::close(out[1]);
  ::close(err[1]);
  if (options.terminal) {
    ::close(terminalSide);
    // What it shows comes from the terminal; what is typed goes to it.
    ::close(out[0]);
    out[0] = terminal;
    ::close(in[1]);
    in[1] = ::dup(terminal);
  }
  ::signal(SIGPIPE, SIG_IGN);
  if (!options.input.empty()) {
    [[maybe_unused]] const ssize_t put =
        ::write(in[1], options.input.data(), options.input.size());
  }
  if (!options.holdInput) ::close(in[1]);

  RunResult result;
  const auto deadline = std::chrono::steady_clock::now() +
                        std::chrono::seconds(options.timeoutSeconds);
  pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
  std::string* sinks[2] = {&result.out, &result.err};
  int open = 2;
  bool interrupted = !options.interruptWhen;
  while (open > 0) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      result.timedOut = true;
      ::kill(child, SIGKILL);
      break;
    }
    if (!interrupted && options.interruptWhen()) {
      interrupted = true;
      for (std::size_t i = 0; i < options.interruptSignals.size(); ++i) {
        if (i > 0) std::this_thread::sleep_for(std::chrono::milliseconds(100));
        ::kill(child, options.interruptSignals[i]);
      }
    }
    const int wait = interrupted ? static_cast<int>(left.count())
                                 : std::min(20, static_cast<int>(left.count()));
    if (::poll(fds, 2, wait) < 0) continue;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char chunk[65536];
      const ssize_t got = ::read(fds[i].fd, chunk, sizeof chunk);
      if (got > 0) {
        sinks[i]->append(chunk, static_cast<std::size_t>(got));
      } else {
        ::close(fds[i].fd);
        fds[i].fd = -1;
        --open;
      }
    }
  }
  for (const pollfd& fd : fds) {
    if (fd.fd >= 0) ::close(fd.fd);
  }
  int status = 0;
  rusage usage{};
  ::wait4(child, &status, 0, &usage);
  result.maxRssKiB = usage.ru_maxrss;
  if (options.holdInput) ::close(in[1]);
  if (WIFEXITED(status)) result.status = WEXITSTATUS(status);
  if (underWine()) {
    removeCarriageReturns(result.out);
    removeCarriageReturns(result.err);
  }
  if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
  return result;
}

}  // namespace

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
