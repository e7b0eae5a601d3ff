// The JUnit report, the summary of a delivering run and the progress line,
// seen from outside the built program.

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "tests/stand_in_provider.h"
#include "tests/test_support.h"
#include "tests/xml_support.h"

namespace {

using test_support::RunOptions;
using test_support::RunResult;
using test_support::StandInProvider;
using test_support::TempDir;

const std::string kLog =
    "<log><transaction seq=\"1\"/><transaction seq=\"2\"/>"
    "<transaction seq=\"3\"/></log>";

// One testcase as a line: "name" plus " failure|error|skipped: message
// [text]".
struct Report {
  std::string suite;  // name tests failures errors of the testsuite
  std::string delivery;
  std::vector<std::string> cases;
};

std::string attribute(const TOVIDOM_Node& node, const char* name) {
  return TOVIDOM_Element(node)->getAttribute(name).str();
}

Report readReport(const std::string& path) {
  const TOVIDOM_Document document =
      test_support::parseText(test_support::readFile(path));
  Report report;
  const TOVIDOM_Node suite =
      document->getElementsByTagName("testsuite")->item(0);
  report.suite = attribute(suite, "name") + " " + attribute(suite, "tests") +
                 " " + attribute(suite, "failures") + " " +
                 attribute(suite, "errors");
  const TOVIDOM_NodeList properties =
      document->getElementsByTagName("property");
  report.delivery = attribute(properties->item(1), "value") + " " +
                    attribute(properties->item(2), "value");
  const TOVIDOM_NodeList cases = document->getElementsByTagName("testcase");
  for (unsigned long i = 0; i < cases->getLength(); ++i) {
    const TOVIDOM_Node testcase = cases->item(i);
    std::string line =
        attribute(testcase, "classname") + ": " + attribute(testcase, "name");
    const TOVIDOM_Node inner = testcase->getFirstChild();
    if (inner != nullptr) {
      const std::string kind = test_support::written(inner).substr(1, 5);
      line += (kind == "error"   ? " error: "
               : kind == "skipp" ? " skipped: "
                                 : " failure: ") +
              attribute(inner, "message");
      const TOVIDOM_Node text = inner->getFirstChild();
      if (text != nullptr) line += " [" + text->getNodeValue().str() + "]";
    }
    report.cases.push_back(line);
  }
  return report;
}

class ReportTest : public ::testing::Test {
 protected:
  ReportTest() : program(test_support::installProgram(dir)) {
    dir.write("log.xml", kLog);
  }

  RunResult run(std::vector<std::string> args, RunOptions options = {}) {
    options.args = std::move(args);
    options.workingDir = dir.path();
    options.env.emplace_back("MDPROVIDER_REPORT", "report.xml");
    options.env.emplace_back("MDPROVIDER_TRACE", "requests.trace");
    return test_support::runProgram(program, options);
  }
  Report report() const { return readReport(dir.path() + "/report.xml"); }

  TempDir dir;
  std::string program;
};

TEST_F(ReportTest, EveryRequestIsATestcaseInTheOrderOfTheRun) {
  dir.write("report.xml", "an earlier report");
  const RunResult result =
      run({"-t", "AC", "-c", "S&P", "-s", "log.xml", "-b2", "-p", "s3cret"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.err, "") << "no summary without delivery";
  const Report written = report();
  EXPECT_EQ(written.suite, "AC S&P 5 0 0");
  EXPECT_EQ(written.delivery, "off ");
  EXPECT_EQ(written.cases, (std::vector<std::string>{
                               "S&P: project create", "S&P: transaction 2",
                               "S&P: transaction 3", "S&P: project endReplay",
                               "S&P: project close"}));
  EXPECT_EQ(test_support::readFile(dir.path() + "/report.xml").find("s3cret"),
            std::string::npos);
  EXPECT_EQ(test_support::temporaryFilesIn(dir.path()),
            std::vector<std::string>{});
}

TEST_F(ReportTest, ARunThatNamesNoTestIsSkippedAndSaysSo) {
  for (const char* test : {"ac", "ZZ", ""}) {
    const RunResult result = run({"-t", test, "-c", "P"});
    const std::string line = "No test is run: -t \"" + std::string(test) +
                             "\" names none of AC, MA, XS (letters are "
                             "case-sensitive)";
    // The status stays as it was: the run did what it was told.
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, line + "\n");
    const Report written = report();
    EXPECT_EQ(written.suite,
              (*test == '\0' ? "" : std::string(test) + " ") + "P 3 0 0");
    EXPECT_EQ(written.cases,
              (std::vector<std::string>{"P: project create", "P: project close",
                                        "P: run skipped: " + line}));
    EXPECT_NE(test_support::readFile(dir.path() + "/report.xml")
                  .find(" skipped=\"1\" "),
              std::string::npos);
  }
  // A test named: nothing is skipped.
  EXPECT_EQ(run({"-t", "AC", "-c", "P"}).err, "");
  EXPECT_EQ(report().cases, (std::vector<std::string>{"P: project create",
                                                      "P: project close"}));
}

TEST_F(ReportTest, ARejectedTransactionIsAFailureAndTheSummaryCountsIt) {
  StandInProvider provider(dir.path(), {"--status", "3:500"});
  RunOptions delivering;
  delivering.env.emplace_back("MDPROVIDER_DELIVER", provider.address());
  const RunResult result =
      run({"-t", "AC", "-c", "P", "-s", "log.xml"}, delivering);
  EXPECT_EQ(result.status, 1);
  EXPECT_TRUE(std::regex_match(
      result.err,
      std::regex("Rejected by the provider: action execute \\(HTTP 500\\): "
                 "refused as told\n"
                 "Delivered 4 requests to " +
                 provider.address() +
                 ": 3 accepted, 1 rejected in [0-9]+\\.[0-9]{2} s\n")))
      << result.err;
  const Report written = report();
  EXPECT_EQ(written.suite, "AC P 4 1 0");
  EXPECT_EQ(written.delivery, "on " + provider.address());
  EXPECT_EQ(written.cases,
            (std::vector<std::string>{
                "P: project create", "P: transaction 1",
                "P: transaction 2 failure: HTTP 500 [refused as told]",
                "P: project close"}));
}

TEST_F(ReportTest, FailuresThatEndTheRunAreErrors) {
  // A project name that XML cannot carry: the create request fails, and
  // the report is well-formed all the same.
  dir.write("bad.xml", "<log><transaction>");
  RunResult result = run({"-t", "AC", "-c", "P<\"\x01\xff", "-s", "bad.xml"});
  EXPECT_EQ(result.status, 1);
  Report written = report();
  EXPECT_EQ(written.suite, "AC P<\"\xEF\xBF\xBD\xEF\xBF\xBD 1 0 1");
  ASSERT_EQ(written.cases.size(), 1u);
  EXPECT_EQ(written.cases[0].substr(written.cases[0].find(": ")),
            ": project create error: The project name holds U+0001, which "
            "XML cannot carry");

  // Outside any request: a `run` testcase.
  result = run({"-t", "AC", "-c", "P", "-s", "bad.xml"});
  const std::string parseError =
      "Failed to parse \"bad.xml\" at line 1, column 19: no element found";
  EXPECT_EQ(result.out, parseError + "\n");
  written = report();
  EXPECT_EQ(written.suite, "AC P 2 0 1");
  EXPECT_EQ(written.cases,
            (std::vector<std::string>{"P: project create",
                                      "P: run error: " + parseError}));

  // A console that could not be written.
  if (test_support::hasFullDevice()) {
    RunOptions full;
    full.outputFile = "/dev/full";
    result = run({"-t", "AC", "-c", "P", "-s", "log.xml", "-b3"}, full);
    EXPECT_EQ(result.status, 1);
    written = report();
    EXPECT_EQ(written.cases,
              (std::vector<std::string>{
                  "P: project create", "P: transaction 3",
                  "P: project endReplay", "P: project close",
                  "P: run error: Failed to write to standard output"}));
  }

  // A request whose delivery failed holds the error itself.
  const std::string nowhere =
      "http://127.0.0.1:" + std::to_string(test_support::unusedPort()) +
      "/mdprovider";
  RunOptions delivering;
  delivering.env.emplace_back("MDPROVIDER_DELIVER", nowhere);
  result = run({"-t", "AC", "-c", "P", "-s", "log.xml"}, delivering);
  EXPECT_EQ(result.status, 1);
  written = report();
  EXPECT_EQ(written.suite, "AC P 1 0 1");
  ASSERT_EQ(written.cases.size(), 1u);
  EXPECT_EQ(written.cases[0], "P: project create error: " +
                                  result.out.substr(0, result.out.size() - 1));
}

TEST_F(ReportTest, AReportThatCannotBeWrittenFailsTheStart) {
  for (const auto& [path, reason] :
       std::vector<std::pair<std::string, std::string>>{
           {"missing/report.xml", "No such file or directory"},
           {".", "not a regular file"}}) {
    RunOptions options;
    options.env.emplace_back("MDPROVIDER_REPORT", path);
    options.args = {"-c", "P"};
    options.workingDir = dir.path();
    options.env.emplace_back("MDPROVIDER_TRACE", "requests.trace");
    const RunResult result = test_support::runProgram(program, options);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "Cannot write the report \"" + path + "\": " +
                              reason + "\nCould not initialize the client");
    EXPECT_EQ(test_support::readTrace(dir.path() + "/requests.trace").size(),
              0u);
  }
  // A run that never starts leaves an earlier report as it was.
  dir.write("report.xml", "an earlier report");
  RunOptions unusable;
  unusable.env.emplace_back("MDPROVIDER_DELIVER", "nowhere");
  EXPECT_EQ(run({"-c", "P"}, unusable).status, 1);
  EXPECT_EQ(test_support::readFile(dir.path() + "/report.xml"),
            "an earlier report");
  EXPECT_EQ(test_support::temporaryFilesIn(dir.path()),
            std::vector<std::string>{});
}

TEST_F(ReportTest, ProgressShowsOnATerminalAndNowhereElse) {
  std::string log = "<log>";
  for (int i = 1; i <= 1500; ++i) {
    log += "<transaction seq=\"" + std::to_string(i) + "\"/>";
  }
  dir.write("long.xml", log + "</log>");
  // A pause mid-way, so that the line is drawn at least once.
  StandInProvider provider(dir.path(), {"--delay", "700:300"});
  RunOptions piped;
  piped.env.emplace_back("MDPROVIDER_DELIVER", provider.address());
  const RunResult quiet = run({"-t", "AC", "-c", "P", "-s", "long.xml"}, piped);
  EXPECT_EQ(quiet.status, 0);
  EXPECT_EQ(quiet.err.rfind("Delivered 1503 requests", 0), 0u) << quiet.err;
  EXPECT_EQ(std::count(quiet.err.begin(), quiet.err.end(), '\n'), 1);

  if (test_support::underWine()) {
    GTEST_SKIP() << "wine redraws a pseudo-terminal's output with escape codes";
  }
  RunOptions terminal;
  terminal.env.emplace_back("MDPROVIDER_DELIVER", provider.address());
  terminal.errorToTerminal = true;
  const RunResult shown =
      run({"-t", "AC", "-m", "P", "-s", "long.xml"}, terminal);
  EXPECT_EQ(shown.status, 0);
  EXPECT_TRUE(std::regex_search(
      shown.err, std::regex("\r[0-9]+ of 1500 transactions \\([0-9]+%\\), "
                            "[0-9]+ requests/s, [0-9]+ s left\x1b\\[K")))
      << shown.err;
  // Erased before the summary, which a terminal ends with CR LF.
  EXPECT_NE(shown.err.find("\r\x1b[KDelivered 1503 requests"),
            std::string::npos)
      << shown.err;
}

// With standard output on the terminal too, the transactions' lines and
// the rejection come between the progress line's redraws, never on it.
TEST_F(ReportTest, TheProgressLineIsErasedForEveryOtherLineAndDrawnAfterIt) {
  if (test_support::underWine()) {
    GTEST_SKIP() << "wine redraws a pseudo-terminal's output with escape codes";
  }
  std::string log = "<log>";
  for (int i = 1; i <= 1500; ++i) {
    log += "<transaction seq=\"" + std::to_string(i) + "\"/>";
  }
  dir.write("long.xml", log + "</log>");
  // Request 1400 is transaction 1399: refused, which ends the replay.
  StandInProvider provider(dir.path(),
                           {"--delay", "700:300", "--status", "1400:500"});
  RunOptions terminal;
  terminal.env.emplace_back("MDPROVIDER_DELIVER", provider.address());
  terminal.terminal = true;
  const RunResult shown =
      run({"-t", "AC", "-c", "P", "-s", "long.xml"}, terminal);
  EXPECT_EQ(shown.status, 1);
  const std::string progress =
      "\r[0-9]+ of 1500 transactions \\([0-9]+%\\), [0-9]+ requests/s, "
      "[0-9]+ s left\x1b\\[K";
  // Drawn, then erased or drawn anew before anything else shows.
  EXPECT_TRUE(std::regex_search(shown.out, std::regex(progress)));
  EXPECT_FALSE(std::regex_search(
      shown.out, std::regex(progress + "(?!\r\x1b\\[K|\r[0-9])")))
      << shown.out.substr(shown.out.size() > 3000 ? shown.out.size() - 3000
                                                  : 0);
  // Drawn again after a line of the other stream, at once.
  EXPECT_TRUE(std::regex_search(
      shown.out,
      std::regex("\r\x1b\\[K\r\nTransaction: 9[0-9][0-9]\r\n" + progress)));
  EXPECT_TRUE(std::regex_search(
      shown.out, std::regex("\r\x1b\\[KRejected by the provider: action "
                            "execute \\(HTTP 500\\): refused as told\r\n")))
      << shown.out.substr(shown.out.size() > 3000 ? shown.out.size() - 3000
                                                  : 0);
}

}  // namespace
