// Recording a run's answers and comparing later runs with them, seen from
// outside the built program, against the stand-in provider.

#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "baseline/request_fingerprint.h"
#include "tests/stand_in_provider.h"
#include "tests/test_support.h"

namespace {

using test_support::RunOptions;
using test_support::RunResult;
using test_support::StandInProvider;
using test_support::TempDir;

using Env = std::vector<std::pair<std::string, std::string>>;

class BaselineRunTest : public ::testing::Test {
 protected:
  BaselineRunTest() : program(test_support::installProgram(dir)) {
    for (const char* name : {"action_log.xml", "baseline_rules.txt"}) {
      dir.write(name, test_support::readFile(std::string(KES_EXAMPLES_DIR) +
                                             "/" + name));
    }
  }

  // Replays the example log into a new project of `provider`.
  RunResult replay(const StandInProvider& provider, Env env,
                   std::vector<std::string> more = {},
                   RunOptions options = {}) {
    options.args = {"-t", "AC",
                    "-c", "P" + std::to_string(++projects),
                    "-s", "action_log.xml"};
    options.args.insert(options.args.end(), more.begin(), more.end());
    options.workingDir = dir.path();
    options.env = std::move(env);
    options.env.emplace_back("MDPROVIDER_DELIVER", provider.address());
    return test_support::runProgram(program, options);
  }
  // Records a baseline of the whole example log from a provider of its own.
  void record(const std::string& name) {
    TempDir other;
    StandInProvider provider(other.path());
    const RunResult result = replay(provider, {{"MDPROVIDER_RECORD", name}});
    ASSERT_EQ(result.status, 0) << result.err;
  }
  std::string read(const std::string& name) const {
    return test_support::readFile(dir.path() + "/" + name);
  }
  static long linesOf(const std::string& err, const std::string& start) {
    long lines = 0;
    for (std::size_t at = 0; (at = err.find(start, at)) != std::string::npos;
         ++at) {
      lines += at == 0 || err[at - 1] == '\n';
    }
    return lines;
  }

  TempDir dir;
  std::string program;
  int projects = 0;
};

const Env kCompare = {{"MDPROVIDER_BASELINE", "base.txt"},
                      {"MDPROVIDER_BASELINE_RULES", "baseline_rules.txt"}};

TEST_F(BaselineRunTest, AnotherRunWithOtherTimesAndIdsIsTheSame) {
  record("base.txt");
  // Saved as Windows' editors save UTF-8, with a byte-order mark.
  dir.write("baseline_rules.txt", "\xEF\xBB\xBF" + read("baseline_rules.txt"));
  EXPECT_EQ(read("base.txt").rfind("KesMDProviderClient baseline 2\n", 0), 0u);
  StandInProvider provider(dir.path());
  RunResult result = replay(provider, kCompare);
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_NE(result.err.find("; compared with the baseline: 7 answers, 0 "
                            "differing, 0 baseline records not reached\n"),
            std::string::npos)
      << result.err;
  // Without the rules the provider's time and id differ in every answer.
  result = replay(provider, {{"MDPROVIDER_BASELINE", "base.txt"}});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(linesOf(result.err, "Differs from the baseline: "), 7);
  EXPECT_NE(result.err.find("Differs from the baseline: project create: "
                            "/answer/@id is \""),
            std::string::npos)
      << result.err;
}

TEST_F(BaselineRunTest, AChangedAnswerIsADifferenceAndTheRunGoesOn) {
  record("base.txt");
  // Request 3 is transaction 2, which sets the caption.
  StandInProvider provider(dir.path(), {"--differ", "3"});
  Env env = kCompare;
  env.emplace_back("MDPROVIDER_REPORT", "report.xml");
  const RunResult result = replay(provider, env);
  EXPECT_EQ(result.status, 1);
  const std::string line =
      "Differs from the baseline: transaction 2: "
      "/answer/transaction[1]/object[@id=\"Region\"]/"
      "property[@name=\"caption\"]/"
      "text() is \"Sales region (changed)\" where the baseline has \"Sales "
      "region\"";
  EXPECT_EQ(result.err.rfind(line + "\nDelivered 7 requests to ", 0), 0u)
      << result.err;
  EXPECT_NE(result.err.find("7 answers, 1 differing"), std::string::npos);
  EXPECT_EQ(provider.requests().size(), 7u) << "a difference is no rejection";
  const std::string report = read("report.xml");
  // The requests' testcases, and the run's, whose output is the digest.
  EXPECT_NE(report.find("tests=\"8\" failures=\"1\" errors=\"0\""),
            std::string::npos);
  EXPECT_NE(report.find("name=\"transaction 2\""), std::string::npos);
  EXPECT_NE(report.find("name=\"run\" time=\"0.000000\"><system-out>"
                        "Differences by place: 1 answer: /answer/transaction/"
                        "object/property/text() is \"Sales region (changed)\" "
                        "where the baseline has \"Sales region\"\n"
                        "</system-out></testcase>"),
            std::string::npos)
      << report;
  EXPECT_NE(report.find("<property name=\"baseline\" value=\"base.txt\"/>"),
            std::string::npos);
  EXPECT_NE(
      report.find("<failure message=\"/answer/transaction[1]/object[@id="
                  "&quot;Region&quot;]/property[@name=&quot;caption&quot;]"
                  "/text() is &quot;Sales region (changed)"
                  "&quot; where the baseline has &quot;Sales "
                  "region&quot;\">"),
      std::string::npos)
      << report;
  EXPECT_NE(report.find("\n+        \"Sales region (changed)\"\n"),
            std::string::npos)
      << "the unified diff: " << report;
}

TEST_F(BaselineRunTest, PartOfTheLogPairsWithABaselineOfTheWhole) {
  record("base.txt");
  StandInProvider provider(dir.path());
  const RunResult result = replay(provider, kCompare, {"-e1"});
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_NE(result.err.find("compared with the baseline: 4 answers, 0 "
                            "differing, 3 baseline records not reached"),
            std::string::npos)
      << result.err;
}

TEST_F(BaselineRunTest, AChangedLogIsToldApartFromAChangedAnswer) {
  record("base.txt");
  std::string log = read("action_log.xml");
  log.replace(log.find("Sales region"), 12, "Sales");
  log.replace(log.rfind("</actionLog>"), 12,
              "<transaction seq=\"5\"/></actionLog>");
  dir.write("action_log.xml", log);
  StandInProvider provider(dir.path());
  const RunResult result = replay(provider, kCompare);
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.err.find("Differs from the baseline: transaction 2: the "
                            "request differs from the recorded one: the log "
                            "or script changed here\n"),
            std::string::npos)
      << result.err;
  EXPECT_NE(result.err.find("Differs from the baseline: transaction 5: added "
                            "to the log: not in the baseline\n"),
            std::string::npos)
      << result.err;
  EXPECT_EQ(linesOf(result.err, "Differs from the baseline: "), 2);
}

// The answers hide the password before they are compared; a baseline
// recorded without it, or with another, holds the text as it was.
TEST_F(BaselineRunTest, ABaselineHidesThePasswordAsTheAnswersDo) {
  record("base.txt");
  StandInProvider provider(dir.path());
  const RunResult result =
      replay(provider, kCompare, {"-u", "tester", "-p", "Region"});
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_NE(result.err.find("compared with the baseline: 7 answers, 0 "
                            "differing"),
            std::string::npos)
      << result.err;
}

// A length written by hand must not decide the run's memory: a record's
// body larger than the answer and than what is compared as XML differs,
// and only its head is read.
TEST_F(BaselineRunTest, AHugeBodyInABaselineIsNotHeld) {
  const std::string unlimited = test_support::whyNoAddressSpaceLimit();
  if (!unlimited.empty()) GTEST_SKIP() << unlimited;
  record("base.txt");
  const std::string base = read("base.txt");
  const std::size_t header = base.find("record project create ");
  const std::size_t length = base.find(" body ", header) + 6;
  const std::size_t body = base.find('\n', length) + 1;
  const std::size_t next = body + std::stoul(base.substr(length)) + 1;
  constexpr unsigned long long kHuge = 16ULL << 30;
  {
    // A hole of 16 GiB: the file takes no room for it.
    std::ofstream out(dir.path() + "/huge.txt", std::ios::binary);
    out << base.substr(0, length) << kHuge << '\n';
    out.seekp(static_cast<std::streamoff>(kHuge), std::ios::cur);
    out << '\n' << base.substr(next);
  }
  StandInProvider provider(dir.path());
  RunOptions options;
  options.addressSpaceMiB = 256;
  const RunResult result =
      replay(provider,
             {{"MDPROVIDER_BASELINE", "huge.txt"},
              {"MDPROVIDER_BASELINE_RULES", "baseline_rules.txt"}},
             {}, options);
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err.rfind("Differs from the baseline: project create: the "
                             "body differs at line 1, byte 1: ",
                             0),
            0u)
      << result.err;
  EXPECT_NE(result.err.find("compared with the baseline: 7 answers, 1 "
                            "differing, 0 baseline records not reached"),
            std::string::npos)
      << result.err;
}

TEST_F(BaselineRunTest, WhatCannotBeUsedFailsTheStart) {
  record("base.txt");
  dir.write("cut.txt", read("base.txt").substr(0, 200));
  dir.write("bad_rules.txt", "# fine\nmask /*/@time\nskip /a\n");
  StandInProvider provider(dir.path());
  const std::pair<Env, std::string> refused[] = {
      {{{"MDPROVIDER_BASELINE", "missing.txt"}},
       "Cannot read the baseline \"missing.txt\": No such file or directory"},
      {{{"MDPROVIDER_BASELINE", "cut.txt"}},
       "The baseline \"cut.txt\" is damaged at record 1: "},
      {{{"MDPROVIDER_BASELINE", "base.txt"},
        {"MDPROVIDER_BASELINE_RULES", "bad_rules.txt"}},
       "bad_rules.txt:3: "},
      {{{"MDPROVIDER_BASELINE", "base.txt"},
        {"MDPROVIDER_RECORD", "./base.txt"}},
       "MDPROVIDER_RECORD=\"./base.txt\" and MDPROVIDER_BASELINE=\"base.txt\" "
       "are one file"},
      {{{"MDPROVIDER_RECORD", "action_log.xml"}},
       "MDPROVIDER_RECORD=\"action_log.xml\" and the script "
       "\"action_log.xml\" are one file"},
  };
  const std::string base = read("base.txt");
  for (const auto& [env, start] : refused) {
    const RunResult result = replay(provider, env);
    EXPECT_EQ(result.status, 1) << start;
    EXPECT_EQ(result.err.rfind(start, 0), 0u) << result.err;
    EXPECT_NE(result.err.find("\nCould not initialize the client"),
              std::string::npos);
  }
  EXPECT_EQ(provider.requests().size(), 0u);
  EXPECT_EQ(read("base.txt"), base);
  // Without delivery a comparison would compare nothing: it fails.
  RunOptions options;
  options.args = {"-t", "AC", "-c", "P", "-s", "action_log.xml"};
  options.workingDir = dir.path();
  options.env = {{"MDPROVIDER_BASELINE", "base.txt"}};
  const RunResult result = test_support::runProgram(program, options);
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err,
            "MDPROVIDER_BASELINE is set, but nothing is delivered: set "
            "MDPROVIDER_DELIVER too\nCould not initialize the client");
}

TEST_F(BaselineRunTest, ARunThatDoesNotReachItsEndLeavesTheOldRecording) {
  record("base.txt");
  const std::string before = read("base.txt");
  for (const int signal : {SIGKILL, SIGINT}) {
    StandInProvider provider(dir.path(), {"--delay", "3:1000"});
    RunOptions options;
    options.interruptWhen = [&provider] {
      return provider.requests().size() >= 3;
    };
    options.interruptSignals = {signal};
    const RunResult result =
        replay(provider, {{"MDPROVIDER_RECORD", "base.txt"}}, {}, options);
    EXPECT_NE(result.status, 0);
    if (signal == SIGINT) {
      EXPECT_NE(result.err.find("The recording is not written: the run did "
                                "not reach its end\n"),
                std::string::npos)
          << result.err;
    }
    EXPECT_EQ(read("base.txt"), before) << signal;
    // Under wine a killed program's files marked delete-on-close go once
    // wineserver has closed its handles, a moment after the process.
    std::vector<std::string> left = test_support::temporaryFilesIn(dir.path());
    for (int wait = 0; !left.empty() && test_support::underWine() && wait < 50;
         ++wait) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      left = test_support::temporaryFilesIn(dir.path());
    }
    EXPECT_EQ(left, std::vector<std::string>{}) << signal;
  }
}

TEST_F(BaselineRunTest, OneRunComparesAndRecordsAndTheNewOneIsAccepted) {
  record("base.txt");
  StandInProvider changed(dir.path(), {"--differ", "3"});
  Env env = kCompare;
  env.emplace_back("MDPROVIDER_RECORD", "new.txt");
  RunResult result = replay(changed, env);
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(linesOf(result.err, "Differs from the baseline: "), 1);
  // Accepting the change: the new recording in place of the old.
  std::filesystem::rename(dir.path() + "/new.txt", dir.path() + "/base.txt");
  TempDir other;
  StandInProvider again(other.path(), {"--differ", "3"});
  result = replay(again, kCompare);
  EXPECT_EQ(result.status, 0) << result.err;
}

// A log of `seqs`, each transaction making an object of its own with a
// caption; `layout` lays it out otherwise (indented, other quotes and
// attribute order), which changes no request.
std::string logOf(const std::vector<int>& seqs, bool layout = false) {
  std::string log = "<actionLog>";
  for (const int seq : seqs) {
    const std::string n = std::to_string(seq);
    log += layout
               ? "\n  <transaction  seq='" + n + "'>\n    <action id='o" + n +
                     "' type='Dimension' name='createObject'></action>\n"
                     "    <action property='caption' name='setProperty' "
                     "object='o" +
                     n + "'>Caption " + n + "</action>\n  </transaction>"
               : "<transaction seq=\"" + n +
                     "\"><action name=\"createObject\" type=\"Dimension\" "
                     "id=\"o" +
                     n + "\"/><action name=\"setProperty\" object=\"o" + n +
                     "\" property=\"caption\">Caption " + n +
                     "</action></transaction>";
  }
  return log + (layout ? "\n</actionLog>\n" : "</actionLog>");
}

std::vector<int> range(int first, int last) {
  std::vector<int> seqs;
  for (int seq = first; seq <= last; ++seq) seqs.push_back(seq);
  return seqs;
}

// A tester edits the log between runs: each edit is one difference, and
// every other answer is still compared.
TEST_F(BaselineRunTest, AnEditedLogIsOneDifferencePerChange) {
  dir.write("action_log.xml", logOf(range(1, 20)));
  record("base.txt");
  struct Edit {
    std::vector<int> seqs;
    bool layout;
    std::vector<std::string> flags;
    std::vector<std::string> lines;  // "Differs from the baseline: ..."
  };
  std::vector<int> inserted = range(1, 10);
  inserted.push_back(100);
  for (int seq = 11; seq <= 20; ++seq) inserted.push_back(seq);
  std::vector<int> renumbered;
  for (int seq = 1; seq <= 20; ++seq) renumbered.push_back(seq * 10);
  std::vector<int> removed = range(1, 4);
  for (int seq = 7; seq <= 20; ++seq) removed.push_back(seq);
  const Edit edits[] = {
      // Laid out anew: the same requests.
      {range(1, 20), true, {}, {}},
      // One inserted after seq 10, and a real change at seq 15 (the 17th
      // request) still found.
      {inserted,
       false,
       {"--differ", "17"},
       {"transaction 100 (the 11th in the log): added to the log: not in the "
        "baseline",
        "transaction 15 (the 16th in the log): /answer/transaction[1]/"
        "object[@id=\"o15\"]/property[@name=\"caption\"]/text() is \"Caption "
        "15 (changed)\" where the baseline has \"Caption 15\""}},
      // Two removed, and the last two lost: one difference each.
      {removed,
       false,
       {},
       {"removed from the log: transaction 5, transaction 6"}},
      {range(1, 18),
       false,
       {},
       {"removed from the log: transaction 19, "
        "transaction 20"}},
  };
  for (const Edit& edit : edits) {
    dir.write("action_log.xml", logOf(edit.seqs, edit.layout));
    TempDir other;
    StandInProvider provider(other.path(), edit.flags);
    const RunResult result = replay(provider, kCompare);
    std::string lines;
    for (const std::string& line : edit.lines) {
      lines += "Differs from the baseline: " + line + "\n";
    }
    EXPECT_EQ(result.err.substr(0, result.err.find("Delivered ")), lines)
        << result.err;
    EXPECT_EQ(result.status, edit.lines.empty() ? 0 : 1) << result.err;
  }
  // A baseline the client recorded before: still paired, by the fingerprint
  // of the text as it was sent.
  dir.write("action_log.xml", logOf(range(1, 20)));
  TempDir other;
  StandInProvider provider(other.path());
  const RunResult traced = replay(provider, {{"MDPROVIDER_TRACE", "trace"},
                                             {"MDPROVIDER_RECORD", "v2.txt"}});
  ASSERT_EQ(traced.status, 0) << traced.err;
  const std::vector<std::string> requests =
      test_support::readTrace(dir.path() + "/trace");
  std::string version1 = "KesMDProviderClient baseline 1\n";
  std::string recorded = read("v2.txt");
  std::size_t at = recorded.find("\nrecord ");
  for (const std::string& request : requests) {
    const std::size_t end = recorded.find('\n', at + 1);
    std::string header = recorded.substr(at + 1, end - at - 1);
    const std::size_t media = header.find(" media ");
    const std::size_t body = header.find(" body ");
    const std::size_t print = header.find(" request ") + 9;
    const std::size_t type = request.find("type=\"") + 6;
    const std::size_t action = request.find("action=\"") + 8;
    header.replace(
        print, 16,
        legacyRequestFingerprint(
            request.substr(type, request.find('"', type) - type),
            request.substr(action, request.find('"', action) - action),
            request));
    header.erase(media, body - media);
    const std::size_t size = std::stoul(header.substr(header.rfind(' ') + 1));
    version1 += header + "\n" + recorded.substr(end + 1, size) + "\n";
    at = end + size + 1;
  }
  version1 += "end " + std::to_string(requests.size()) + "\n";
  dir.write("v1.txt", version1);
  StandInProvider again(other.path(), {"--differ", "5"});
  const RunResult old =
      replay(again, {{"MDPROVIDER_BASELINE", "v1.txt"},
                     {"MDPROVIDER_BASELINE_RULES", "baseline_rules.txt"}});
  EXPECT_EQ(old.status, 1);
  EXPECT_EQ(linesOf(old.err, "Differs from the baseline: transaction 4: "), 1)
      << old.err;
  EXPECT_EQ(linesOf(old.err, "Differs from the baseline: "), 1) << old.err;
  // Its fingerprints are of the text as sent: a log laid out anew pairs by
  // the requests' numbers, and the baseline says once what it cannot tell.
  dir.write("action_log.xml", logOf(range(1, 20), true));
  StandInProvider third(other.path());
  const RunResult laidOut =
      replay(third, {{"MDPROVIDER_BASELINE", "v1.txt"},
                     {"MDPROVIDER_BASELINE_RULES", "baseline_rules.txt"}});
  EXPECT_EQ(laidOut.status, 0) << laidOut.err;
  EXPECT_EQ(laidOut.err.rfind("The baseline \"v1.txt\" was recorded by an "
                              "earlier version of the client: its requests "
                              "pair by their numbers alone",
                              0),
            0u)
      << laidOut.err;
  EXPECT_EQ(linesOf(laidOut.err, "Differs from the baseline: "), 0);
}

// Every answer differs: the console shows the first 50, then the digest
// by place; a rule that matched nothing is named.
TEST_F(BaselineRunTest, ManyDifferencesEndInADigest) {
  dir.write("action_log.xml", logOf(range(1, 60)));
  record("base.txt");
  dir.write("typo_rules.txt", "mask /*/@id\nmask /*/@tiem\n");
  StandInProvider provider(dir.path());
  Env env = {{"MDPROVIDER_BASELINE", "base.txt"},
             {"MDPROVIDER_BASELINE_RULES", "typo_rules.txt"},
             {"MDPROVIDER_REPORT", "report.xml"}};
  const RunResult result = replay(provider, env);
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(linesOf(result.err, "Differs from the baseline: "), 50);
  const std::string end = result.err.substr(result.err.find("\nDelivered "));
  const std::size_t summary = end.find('\n', 1);
  EXPECT_EQ(end.substr(summary + 1),
            "13 more differences from the baseline than the 50 shown: the "
            "report holds each, the digest below each kind\n"
            "Differences by place: 63 answers: /answer/@time is (values vary) "
            "where the baseline has (values vary)\n"
            "Rule \"typo_rules.txt\" line 2 (mask /*/@tiem) matched nothing "
            "in 63 answers\n");
  const std::string report = read("report.xml");
  EXPECT_NE(report.find("<system-out>Differences by place: 63 answers: "),
            std::string::npos);
  EXPECT_NE(report.find("failures=\"63\""), std::string::npos);
}

// A recording of part of the log says so, and so does its file.
TEST_F(BaselineRunTest, ARecordingOfPartOfTheLogSaysSo) {
  StandInProvider provider(dir.path());
  const RunResult result =
      replay(provider, {{"MDPROVIDER_RECORD", "part.txt"}}, {"-b2", "-e3"});
  EXPECT_EQ(result.status, 1);  // the stand-in knows no Region yet: 404
  EXPECT_NE(result.err.find("The recording \"part.txt\" holds only the "
                            "transactions of -b2 -e3: mdprovider_baseline "
                            "accept merges it into a baseline of the whole "
                            "log\n"),
            std::string::npos)
      << result.err;
  EXPECT_EQ(
      read("part.txt").rfind("KesMDProviderClient baseline 2\nrange 2 3\n", 0),
      0u);
}

}  // namespace
