// Ctrl-C and SIGTERM during a delivering run, seen from outside the built
// program: the request in flight gets its answer, nothing more is sent, and
// the summary and the report say what was done.

#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "tests/stand_in_provider.h"
#include "tests/test_support.h"

namespace {

using test_support::RunOptions;
using test_support::RunResult;
using test_support::StandInProvider;
using test_support::TempDir;

class InterruptionTest : public ::testing::Test {
 protected:
  InterruptionTest() : program(test_support::installProgram(dir)) {
    dir.write("report.xml", "an earlier report");
  }

  // Replays `log` to `provider`; once it has had `held` requests, the
  // signals go to the program.
  RunResult interrupted(const std::string& log, StandInProvider& provider,
                        std::size_t held, std::vector<int> signals) {
    dir.write("log.xml", log);
    RunOptions options;
    options.args = {"-t", "AC", "-c", "P", "-s", "log.xml"};
    options.workingDir = dir.path();
    options.env = {{"MDPROVIDER_DELIVER", provider.address()},
                   {"MDPROVIDER_REPORT", "report.xml"},
                   {"MDPROVIDER_TRACE", "requests.trace"}};
    options.interruptWhen = [&provider, held] {
      return provider.requests().size() >= held;
    };
    options.interruptSignals = std::move(signals);
    RunResult result = test_support::runProgram(program, options);
    // A request sent after the interruption would arrive by now.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    return result;
  }
  std::string report() const {
    return test_support::readFile(dir.path() + "/report.xml");
  }
  // How the program ended: by the signal, as a shell sees it.
  void expectEndedBy(const RunResult& result, int signal) {
    if (test_support::underWine()) {
      // Not STATUS_CONTROL_C_EXIT, which `if errorlevel 1` reads as success.
      EXPECT_EQ(result.status, 130);
    } else {
      EXPECT_EQ(result.signal, signal);
    }
  }

  TempDir dir;
  std::string program;
};

std::string logOf(const std::vector<int>& seqs) {
  std::string log = "<log>";
  for (const int seq : seqs) {
    log += "<transaction seq='" + std::to_string(seq) + "'/>";
  }
  return log + "</log>";
}

TEST_F(InterruptionTest, TheRequestInFlightEndsAndTheRunSaysWhatItDid) {
  // Request 4, transaction 3, is answered late: Ctrl-C comes meanwhile.
  StandInProvider provider(dir.path(), {"--delay", "4:1500"});
  const RunResult result =
      interrupted(logOf({1, 2, 3, 4, 5, 6}), provider, 4, {SIGINT});
  expectEndedBy(result, SIGINT);
  EXPECT_EQ(result.out,
            "Transaction count: 6\n\n\nTransaction: 1\n\nTransaction: 2\n"
            "\nTransaction: 3\n");
  const std::string line =
      "Interrupted: no request was sent after transaction 3, the "
      "last the provider answered; -b4 resumes after it";
  EXPECT_EQ(
      result.err.rfind(line + "\nDelivered 4 requests to " +
                           provider.address() + ": 4 accepted, 0 rejected in ",
                       0),
      0u)
      << result.err;
  EXPECT_EQ(provider.requests().size(), 4u);
  const std::string written = report();
  EXPECT_NE(written.find("tests=\"5\" failures=\"0\" errors=\"1\""),
            std::string::npos)
      << written;
  EXPECT_NE(written.find("name=\"transaction 3\""), std::string::npos);
  EXPECT_NE(written.find("name=\"run\" time=\"0.000000\"><error message=\"" +
                         line + "\"/>"),
            std::string::npos)
      << written;
  EXPECT_EQ(test_support::temporaryFilesIn(dir.path()),
            std::vector<std::string>{});
}

TEST_F(InterruptionTest, SigtermToo_AndNoResumeWhereTheNumbersDoNotRise) {
  // wine makes a console event of SIGINT only.
  const int signal = test_support::underWine() ? SIGINT : SIGTERM;
  StandInProvider provider(dir.path(), {"--delay", "3:1500"});
  const RunResult result = interrupted(logOf({5, 3, 9}), provider, 3, {signal});
  expectEndedBy(result, signal);
  EXPECT_EQ(
      result.err.rfind(
          "Interrupted: no request was sent after transaction 3 (the 2nd "
          "in the log), the last the provider answered; the log's sequence "
          "numbers do not rise, so no -b resumes exactly after it\n",
          0),
      0u)
      << result.err;
  EXPECT_EQ(provider.requests().size(), 3u);
  EXPECT_NE(report().find("transaction 3"), std::string::npos);
}

// After the last request, or with a request that then fails: the run is
// still an interrupted one, as a CI job that sends SIGTERM expects.
TEST_F(InterruptionTest, EvenWhenTheRequestInFlightIsTheLastOrFails) {
  {
    // Request 6 closes the project.
    StandInProvider provider(dir.path(), {"--delay", "6:1500"});
    const RunResult result =
        interrupted(logOf({1, 2, 3}), provider, 6, {SIGINT});
    expectEndedBy(result, SIGINT);
    EXPECT_EQ(result.err.rfind("Interrupted: no request was sent after "
                               "project close, the last the provider "
                               "answered\nDelivered 6 requests",
                               0),
              0u)
        << result.err;
  }
  TempDir other;
  StandInProvider slow(other.path(), {"--delay", "2:4000"});
  dir.write("log.xml", logOf({1, 2}));
  RunOptions options;
  options.args = {"-t", "AC", "-c", "P", "-s", "log.xml"};
  options.workingDir = dir.path();
  options.env = {{"MDPROVIDER_DELIVER", slow.address()},
                 {"MDPROVIDER_TIMEOUT", "2"}};
  options.interruptWhen = [&slow] { return slow.requests().size() >= 2; };
  options.interruptSignals = {SIGINT};
  const RunResult result = test_support::runProgram(program, options);
  expectEndedBy(result, SIGINT);
  EXPECT_NE(result.out.find("Failed to deliver the request to " +
                            slow.address() + ": Operation timed out"),
            std::string::npos)
      << result.out;
  EXPECT_EQ(result.err.rfind("Interrupted: no request was sent after "
                             "project create, the last the provider "
                             "answered\n",
                             0),
            0u)
      << result.err;
}

TEST_F(InterruptionTest, ASecondOneEndsTheRunAtOnceAndLeavesNothing) {
  StandInProvider provider(dir.path(), {"--delay", "2:4000"});
  const auto started = std::chrono::steady_clock::now();
  const RunResult result =
      interrupted(logOf({1, 2}), provider, 2, {SIGINT, SIGINT});
  EXPECT_LT(std::chrono::steady_clock::now() - started,
            std::chrono::seconds(3));
  expectEndedBy(result, SIGINT);
  EXPECT_EQ(provider.requests().size(), 2u);
  EXPECT_EQ(report(), "an earlier report");
  EXPECT_EQ(test_support::temporaryFilesIn(dir.path()),
            std::vector<std::string>{});
}

// Standard output to a file is flushed only now and then; a provider that
// holds a request still finds the run's last line out, so a tester watching
// the file sees where it waits and can stop it there.
TEST_F(InterruptionTest, TheLineOfARequestTheProviderHoldsIsOutWhileItWaits) {
  StandInProvider provider(dir.path(), {"--delay", "3:10000"});
  dir.write("log.xml", logOf({1, 2}));
  const std::string output = dir.path() + "/out.txt";
  RunOptions options;
  options.args = {"-t", "AC", "-c", "P", "-s", "log.xml"};
  options.workingDir = dir.path();
  options.outputFile = output;
  options.env = {{"MDPROVIDER_DELIVER", provider.address()}};
  // Well before the provider answers.
  options.timeoutSeconds = 8;
  options.interruptWhen = [&output] {
    return test_support::readFile(output).find("Transaction: 2") !=
           std::string::npos;
  };
  options.interruptSignals = {SIGINT, SIGINT};
  const RunResult result = test_support::runProgram(program, options);
  EXPECT_FALSE(result.timedOut) << "the line never came while it waited";
  expectEndedBy(result, SIGINT);
  EXPECT_EQ(provider.requests().size(), 3u);
}

// The echo's wait for a key, from a pipe that brings none or at a console
// (a terminal under wine), ends with the interruption.
TEST_F(InterruptionTest, ItEndsTheEchosWaitForAKey) {
  StandInProvider provider(dir.path());
  for (const bool atTerminal : {false, true}) {
    const std::size_t before = provider.requests().size();
    RunOptions options;
    options.args = {"-t", "AC", "-c", atTerminal ? "AtTerminal" : "Piped"};
    options.workingDir = dir.path();
    options.env = {{"MDPROVIDER_DELIVER", provider.address()},
                   {"MDPROVIDER_ECHO", "1"},
                   {"LANG", "C.UTF-8"}};
    options.holdInput = true;  // no key comes
    options.terminal = atTerminal;
    options.timeoutSeconds = 30;
    // Once the first answer is shown and waits for its key.
    std::chrono::steady_clock::time_point answered;
    options.interruptWhen = [&] {
      const auto now = std::chrono::steady_clock::now();
      if (provider.requests().size() <= before) return false;
      if (answered == std::chrono::steady_clock::time_point()) answered = now;
      return now - answered > std::chrono::seconds(1);
    };
    options.interruptSignals = {SIGINT};
    const RunResult result = test_support::runProgram(program, options);
    EXPECT_FALSE(result.timedOut) << atTerminal;
    expectEndedBy(result, SIGINT);
    EXPECT_EQ(provider.requests().size(), before + 1);
    // (A terminal under wine shows the lines redrawn.)
    if (!atTerminal) {
      EXPECT_EQ(result.err.rfind("Interrupted: no request was sent after "
                                 "project create, the last the provider "
                                 "answered\n",
                                 0),
                0u)
          << result.err;
    }
  }
}

}  // namespace
