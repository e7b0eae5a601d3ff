// The run's page (MDPROVIDER_HTML), seen from outside the built program:
// written for every run that starts, put in place whole, refused at the
// start when it cannot be.

#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>

#include "tests/page_support.h"
#include "tests/stand_in_provider.h"
#include "tests/test_support.h"

namespace {

using test_support::pageText;
using test_support::RunOptions;
using test_support::RunResult;
using test_support::StandInProvider;
using test_support::TempDir;

using Env = std::vector<std::pair<std::string, std::string>>;

const std::string kLog =
    "<log><transaction seq=\"1\"/><transaction seq=\"2\"/>"
    "<transaction seq=\"3\"/></log>";

class RunPageProgramTest : public ::testing::Test {
 protected:
  RunPageProgramTest() : program(test_support::installProgram(dir)) {
    dir.write("log.xml", kLog);
    dir.write("bad.xml", "<log><transaction>");
  }

  RunResult run(std::vector<std::string> args, Env env,
                RunOptions options = {}) {
    options.args = std::move(args);
    options.workingDir = dir.path();
    options.env = std::move(env);
    return test_support::runProgram(program, options);
  }
  std::string page(const std::string& name = "page.html") const {
    return test_support::readFile(dir.path() + "/" + name);
  }

  TempDir dir;
  std::string program;
};

TEST_F(RunPageProgramTest, EveryRunThatStartsWritesItsPage) {
  StandInProvider provider(dir.path(), {"--status", "3:500"});
  const std::string nowhere =
      "http://127.0.0.1:" + std::to_string(test_support::unusedPort()) +
      "/mdprovider";
  const struct {
    const char* what;
    std::vector<std::string> args;
    std::string deliver;
    int status;
    std::string verdict;
    std::string why;  // its start
    std::string requests, rejected, failed;
  } cases[] = {
      {"built",
       {"-t", "AC", "-c", "P", "-s", "log.xml", "-b2"},
       "",
       0,
       "passed",
       "5 requests built and sent nowhere",
       "5",
       "<no count-rejected>",
       "0"},
      {"rejected",
       {"-t", "AC", "-c", "P", "-s", "log.xml"},
       provider.address(),
       1,
       "failed",
       "1 request rejected by the provider",
       "4",
       "1",
       "0"},
      {"unparsable",
       {"-t", "AC", "-c", "Q", "-s", "bad.xml"},
       "",
       1,
       "failed",
       "Failed to parse \"bad.xml\" at line 1, column 19: no element found",
       "1",
       "<no count-rejected>",
       "0"},
      {"unreachable",
       {"-t", "AC", "-c", "P", "-s", "log.xml"},
       nowhere,
       1,
       "failed",
       "Failed to deliver the request to " + nowhere,
       "1",
       "0",
       "1"},
  };
  for (const auto& c : cases) {
    dir.write("page.html", "an earlier page");
    Env env = {{"MDPROVIDER_HTML", "page.html"}};
    if (!c.deliver.empty()) env.emplace_back("MDPROVIDER_DELIVER", c.deliver);
    const RunResult result = run(c.args, env);
    EXPECT_EQ(result.status, c.status) << c.what << result.err;
    const std::string html = page();
    EXPECT_EQ(pageText(html, "verdict"), c.verdict) << c.what;
    EXPECT_EQ(pageText(html, "why").rfind(c.why, 0), 0u)
        << c.what << ": " << pageText(html, "why");
    EXPECT_EQ(pageText(html, "count-requests"), c.requests) << c.what;
    EXPECT_EQ(pageText(html, "count-rejected"), c.rejected) << c.what;
    EXPECT_EQ(pageText(html, "count-failed"), c.failed) << c.what;
    EXPECT_EQ(test_support::temporaryFilesIn(dir.path()),
              std::vector<std::string>{})
        << c.what;
  }
  // The rejection with the provider's reason; the run's times drawn.
  StandInProvider refusing(dir.path(), {"--status", "3:500"});
  run({"-t", "AC", "-c", "R", "-s", "log.xml"},
      {{"MDPROVIDER_HTML", "page.html"},
       {"MDPROVIDER_DELIVER", refusing.address()}});
  const std::string html = page();
  EXPECT_NE(html.find("<td class=\"text\">transaction 2</td><td>rejected</td>"
                      "<td class=\"text\">HTTP 500</td>"),
            std::string::npos)
      << html;
  EXPECT_NE(html.find("refused as told"), std::string::npos);
  EXPECT_EQ(pageText(html, "time-count"), "4");
  EXPECT_NE(html.find("<svg id=\"times-over-run\""), std::string::npos);
  EXPECT_NE(html.find("<svg id=\"times-histogram\""), std::string::npos);
}

TEST_F(RunPageProgramTest, APageThatCannotBeWrittenFailsTheStart) {
  dir.write("page.html", "an earlier page");
  for (const auto& [path, reason] :
       std::vector<std::pair<std::string, std::string>>{
           {"missing/page.html", "No such file or directory"},
           {".", "not a regular file"}}) {
    const RunResult result = run(
        {"-t", "AC", "-c", "P", "-s", "log.xml"},
        {{"MDPROVIDER_HTML", path}, {"MDPROVIDER_TRACE", "requests.trace"}});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "Cannot write the page \"" + path + "\": " + reason +
                              "\nCould not initialize the client");
    EXPECT_EQ(test_support::readTrace(dir.path() + "/requests.trace").size(),
              0u);
  }
  EXPECT_EQ(page(), "an earlier page");
  EXPECT_EQ(test_support::temporaryFilesIn(dir.path()),
            std::vector<std::string>{});
}

TEST_F(RunPageProgramTest, AnInterruptedRunSaysSoOnItsPage) {
  StandInProvider provider(dir.path(), {"--delay", "3:1500"});
  RunOptions options;
  options.interruptWhen = [&provider] {
    return provider.requests().size() >= 3;
  };
  options.interruptSignals = {SIGINT};
  const RunResult result = run({"-t", "AC", "-c", "P", "-s", "log.xml"},
                               {{"MDPROVIDER_HTML", "page.html"},
                                {"MDPROVIDER_DELIVER", provider.address()}},
                               options);
  EXPECT_NE(result.err.find("Interrupted: "), std::string::npos) << result.err;
  const std::string html = page();
  EXPECT_EQ(pageText(html, "verdict"), "interrupted");
  EXPECT_EQ(pageText(html, "why"),
            "Interrupted: no request was sent after transaction 2, the last "
            "the provider answered; -b3 resumes after it");
  EXPECT_EQ(pageText(html, "count-accepted"), "3");
}

TEST_F(RunPageProgramTest, AComparedRunShowsItsDifferences) {
  for (const char* name : {"action_log.xml", "baseline_rules.txt"}) {
    dir.write(name, test_support::readFile(std::string(KES_EXAMPLES_DIR) + "/" +
                                           name));
  }
  {
    StandInProvider recorded(dir.path());
    const RunResult result =
        run({"-t", "AC", "-c", "A", "-s", "action_log.xml"},
            {{"MDPROVIDER_DELIVER", recorded.address()},
             {"MDPROVIDER_RECORD", "run.baseline"}});
    ASSERT_EQ(result.status, 0) << result.err;
  }
  StandInProvider changed(dir.path(), {"--differ", "3"});
  const RunResult result =
      run({"-t", "AC", "-c", "B", "-s", "action_log.xml"},
          {{"MDPROVIDER_DELIVER", changed.address()},
           {"MDPROVIDER_BASELINE", "run.baseline"},
           {"MDPROVIDER_BASELINE_RULES", "baseline_rules.txt"},
           {"MDPROVIDER_HTML", "page.html"}});
  EXPECT_EQ(result.status, 1);
  const std::string html = page();
  EXPECT_EQ(pageText(html, "verdict"), "failed");
  EXPECT_EQ(pageText(html, "count-differing"), "1");
  EXPECT_EQ(pageText(html, "count-unreached"), "0");
  EXPECT_EQ(test_support::occurrences(html, "<details class=\"diff\">"), 1u);
  EXPECT_NE(html.find("<summary><b>transaction 2</b>: "), std::string::npos)
      << html;
  EXPECT_NE(html.find("(changed)&quot; where the baseline has"),
            std::string::npos);
}

}  // namespace
