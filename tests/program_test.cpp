// The built program, run as testers run it: console text, exit status and
// the requests it traced.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <regex>

#include "tests/test_support.h"

namespace {

using test_support::RunOptions;
using test_support::RunResult;
using test_support::TempDir;

const std::string kLog =
    "<log>\n <transaction seq=\"1\"><a/></transaction>\n"
    " <transaction seq=\"2\"/>\n <transaction seq=\"3\"/>\n</log>\n";

std::string request(const std::string& type, const std::string& action,
                    const std::string& child = "") {
  const std::string head =
      "<mdprovider type=\"" + type + "\" action=\"" + action + "\" model=\"P\"";
  return child.empty() ? head + "/>" : head + ">" + child + "</mdprovider>";
}

class ProgramTest : public ::testing::Test {
 protected:
  ProgramTest() : program(test_support::installProgram(dir)) {
    dir.write("log.xml", kLog);
    dir.write("query.xml", "<query><select/></query>");
  }

  // Runs the program from another directory, tracing its requests.
  RunResult run(std::vector<std::string> args, RunOptions options = {}) {
    options.args = std::move(args);
    if (options.workingDir.empty()) options.workingDir = elsewhere.path();
    const bool traceNamed = std::any_of(
        options.env.begin(), options.env.end(),
        [](const auto& e) { return e.first == "MDPROVIDER_TRACE"; });
    if (!traceNamed) {
      options.env.emplace_back("MDPROVIDER_TRACE", "requests.trace");
    }
    return test_support::runProgram(program, options);
  }
  std::vector<std::string> requests() const {
    return test_support::readTrace(dir.path() + "/requests.trace");
  }

  TempDir dir;
  TempDir elsewhere;
  std::string program;
};

TEST_F(ProgramTest, UnusableCommandLineShowsTheUsageTextAndWaitsForAKey) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{}, {"-t", "AC", "-m", "P"}, {"-q"}}) {
    RunOptions options;
    options.input = "k";
    const RunResult result = run(args, options);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, test_support::kUsageText);
    EXPECT_EQ(result.err, "");
  }
  // Without a key it waits: standard input held open, no byte sent.
  RunOptions noKey;
  noKey.holdInput = true;
  noKey.timeoutSeconds = 2;
  const RunResult waiting = run({"-q"}, noKey);
  EXPECT_TRUE(waiting.timedOut);
  EXPECT_EQ(waiting.out, test_support::kUsageText);
}

TEST_F(ProgramTest, MissingScriptOfAnOpenedProjectFailsWithoutWaiting) {
  RunOptions options;
  options.holdInput = true;  // a wait for a key would hang until the time-out
  options.timeoutSeconds = 10;
  const RunResult result =
      run({"-t", "AC", "-m", "P", "-s", "missing.xml"}, options);
  EXPECT_FALSE(result.timedOut);
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.out, "Failed to open the script.\n");
  EXPECT_TRUE(requests().empty());
}

TEST_F(ProgramTest, RelativeScriptsResolveInTheProgramsDirectory) {
  const RunResult result =
      run({"-t", "AC", "-m", "P", "-s", "log.xml", "-b2", "-e2"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, "Transaction count: 3\n\n\nTransaction: 2\n");
  EXPECT_EQ(requests(),
            (std::vector<std::string>{
                request("project", "open"),
                request("action", "execute", "<transaction seq=\"2\"/>"),
                request("project", "endReplay"), request("project", "close")}));

  // Started by its bare name the program stays where it was started.
  RunOptions bare;
  bare.argv0 = "KesMDProviderClient";
  const RunResult stayed = run({"-t", "AC", "-m", "P", "-s", "log.xml"}, bare);
  EXPECT_EQ(stayed.status, 1);
  EXPECT_EQ(stayed.out, "Failed to open the script.\n");
}

TEST_F(ProgramTest, EachTestTypeSendsOpenTheTestAndClose) {
  EXPECT_EQ(run({"-t", "MA", "-m", "P", "-s", "query.xml"}).status, 0);
  EXPECT_EQ(requests(), (std::vector<std::string>{
                            request("project", "open"),
                            request("ma", "query", "<query><select/></query>"),
                            request("project", "close")}));
  const RunResult xs = run({"-t", "XS", "-c", "P", "-s", "query.xml"});
  EXPECT_EQ(xs.status, 0);
  EXPECT_EQ(xs.out, "");
  EXPECT_EQ(requests(),
            (std::vector<std::string>{
                request("project", "create"),
                request("xs", "transform", "<query><select/></query>"),
                request("project", "close")}));
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"-c", "P"},
        {"-t", "ZZ", "-c", "P"},
        {"-t", "AC", "-c", "P"}}) {
    const RunResult result = run(args);
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(requests(),
              (std::vector<std::string>{request("project", "create"),
                                        request("project", "close")}));
  }
}

TEST_F(ProgramTest, AScriptThatCannotBeParsedEndsTheRunWithoutClosing) {
  dir.write("broken.xml", "<log>\n<transaction seq=\"1\">\n</log>\n");
  const RunResult broken = run({"-t", "AC", "-m", "P", "-s", "broken.xml"});
  EXPECT_EQ(broken.status, 1);
  EXPECT_EQ(broken.out,
            "Failed to parse \"broken.xml\" at line 3, column 3: mismatched "
            "tag\n");
  EXPECT_EQ(requests(), std::vector<std::string>{request("project", "open")});
}

// Checked before any request, for a created project as for an opened one:
// found missing after the create request, it left a project behind that a
// rerun with the right path could not create again.
TEST_F(ProgramTest, AScriptTheTestCannotReadSendsNothing) {
  dir.write("folder/inside.xml", "<log/>");
  const std::vector<std::string> cases[] = {
      {"-t", "AC", "-c", "P", "-s", "missing.xml"},
      {"-t", "MA", "-c", "P", "-s", "missing.xml"},
      {"-t", "XS", "-c", "P", "-s", "..\\examples\\missing.xml"},
      {"-t", "AC", "-c", "P", "-s", "folder"},
      {"-t", "AC", "-m", "P", "-s", "folder"},
      {"-t", "ZZ", "-m", "P", "-s", "missing.xml"},
      // MA and XS send their script: without one nothing is tested.
      {"-t", "MA", "-c", "P"},
      {"-t", "XS", "-c", "P"},
  };
  for (const std::vector<std::string>& args : cases) {
    std::remove((dir.path() + "/requests.trace").c_str());
    std::string words;
    for (const std::string& word : args) words += word + " ";
    const RunResult result = run(args);
    EXPECT_EQ(result.status, 1) << words;
    EXPECT_EQ(result.out, "Failed to open the script.\n") << words;
    EXPECT_EQ(result.err, "") << words;
    EXPECT_FALSE(std::filesystem::exists(dir.path() + "/requests.trace"));
  }
  // What needs no script is not tested for one.
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"-t", "ZZ", "-c", "P", "-s", "missing.xml"},
        {"-t", "AC", "-c", "P"}}) {
    const RunResult result = run(args);
    EXPECT_EQ(result.status, 0) << args[1];
    EXPECT_EQ(requests(),
              (std::vector<std::string>{request("project", "create"),
                                        request("project", "close")}));
  }
}

TEST_F(ProgramTest, WithoutATraceTheConsoleIsTheSame) {
  RunOptions untraced;
  untraced.env.emplace_back("MDPROVIDER_TRACE", "");
  const RunResult result =
      run({"-t", "AC", "-m", "P", "-s", "log.xml"}, untraced);
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out,
            "Transaction count: 3\n\n\nTransaction: 1\n\nTransaction: "
            "2\n\nTransaction: 3\n");
  EXPECT_EQ(result.err, "");
}

// What a terminal shows of `text`: without the codes that move the cursor
// or hide it (a console under wine redraws its lines with them), a move
// to the right read as the blanks it stands for.
std::string onScreen(const std::string& text) {
  const std::regex moveRight("\x1b\\[([0-9]*)C");
  std::string shown;
  std::smatch code;
  std::string rest = text;
  while (std::regex_search(rest, code, moveRight)) {
    shown += code.prefix().str();
    shown.append(code[1].length() == 0 ? 1 : std::stoul(code[1].str()), ' ');
    rest = code.suffix().str();
  }
  shown += rest;
  shown = std::regex_replace(shown, std::regex("\x1b\\[[0-9;?]*[A-Za-z]"), "");
  return std::regex_replace(shown, std::regex("\r"), "");
}

// A console (a terminal under wine) shows the characters meant, on either
// stream; a pipe still gets UTF-8 bytes.
TEST_F(ProgramTest, NonAsciiTextReachesAConsoleAsTheCharactersMeant) {
  dir.write(
      "Pr\xC3\xBC"
      "fung.xml",
      "<log><transaction seq=\"1\"><a/></log>");
  const std::string parse =
      "Failed to parse \"Pr\xC3\xBC"
      "fung.xml\" at line 1, column 33: "
      "mismatched tag";
  const std::string noTest =
      "No test is run: -t \"T\xC3\xA9st\" names none of AC, MA, XS";
  RunOptions console;
  console.terminal = true;
  console.env.emplace_back("LANG", "C.UTF-8");
  const std::vector<std::string> failing = {"-t",
                                            "AC",
                                            "-c",
                                            "P",
                                            "-s",
                                            "Pr\xC3\xBC"
                                            "fung.xml"};
  RunResult result = run(failing, console);
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(onScreen(result.out).find(parse + "\n"), std::string::npos)
      << result.out;
  result = run({"-t", "T\xC3\xA9st", "-c", "P"}, console);
  EXPECT_EQ(result.status, 0);
  EXPECT_NE(onScreen(result.out).find(noTest), std::string::npos) << result.out;

  result = run(failing);
  EXPECT_EQ(result.out, parse + "\n");
}

}  // namespace
