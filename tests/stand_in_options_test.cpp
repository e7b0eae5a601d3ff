// The stand-in's command line: what it cannot honour is refused with one
// line and status 2, never taken for something else.

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <cstdlib>

#include "tests/stand_in_provider.h"
#include "tests/test_support.h"

namespace {

using test_support::RunOptions;
using test_support::TempDir;

TEST(StandInOptionsTest, AValueItCannotHonourIsRefusedWithOneLine) {
  const std::string port = "a port is a whole number from 0 to 65535";
  const std::string login = "it takes user:password, neither empty";
  const struct {
    std::vector<std::string> args;
    std::string why;
  } cases[] = {
      {{"--port", "99999"}, port},    {{"--port", "65536"}, port},
      {{"--port", "abc"}, port},      {{"--port", "8o80"}, port},
      {{"--port", "-1"}, port},       {{"--port", ""}, port},
      {{"--port", " 8080"}, port},    {{"--basic", "alice"}, login},
      {{"--basic", "alice:"}, login}, {{"--basic", ":secret"}, login},
      {{"--status", "2x:500"}, ""},   {{"--delay", "2:1s"}, ""},
      {{"--differ", "3rd"}, ""},      {{"--close-after", "0"}, ""},
  };
  for (const auto& c : cases) {
    RunOptions options;
    options.args = c.args;
    options.timeoutSeconds = 10;
    const auto result = test_support::runProgram(KES_STAND_IN_PATH, options);
    const std::string word = c.args[0] + " " + c.args[1];
    EXPECT_EQ(result.status, 2) << word;
    EXPECT_EQ(result.out, "") << word;
    EXPECT_EQ(result.err, "mdprovider_stand_in: cannot use \"" + word + "\"" +
                              (c.why.empty() ? "" : ": " + c.why) + "\n");
  }
}

TEST(StandInOptionsTest, ItsPidFileNamesItWhileItListens) {
  TempDir dir;
  const std::string pidFile = dir.path() + "/stand_in.pid";
  long pid = 0;
  {
    test_support::StandInProvider provider(dir.path(), {"--pid-file", pidFile});
    ASSERT_GT(provider.port(), 0);
    const std::string written = test_support::readFile(pidFile);
    pid = std::atol(written.c_str());
    EXPECT_EQ(written, std::to_string(pid) + "\n");
    EXPECT_NE(
        test_support::readFile("/proc/" + std::to_string(pid) + "/cmdline")
            .find("mdprovider_stand_in"),
        std::string::npos);
  }
  // Stopped, it takes its id away: that number may name another process.
  EXPECT_NE(::kill(static_cast<pid_t>(pid), 0), 0);
  EXPECT_EQ(::access(pidFile.c_str(), F_OK), -1);
}

}  // namespace
