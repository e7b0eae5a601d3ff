// Hostile command lines, scripts and environments against the built program:
// every run ends with status 0 or 1 and, when 1, a message naming the cause;
// never a signal, a hang or a sanitizer report.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>

#include "tests/test_support.h"

namespace {

using test_support::RunOptions;
using test_support::RunResult;
using test_support::TempDir;

void expectCleanEnd(const RunResult& result, const std::string& context) {
  EXPECT_FALSE(result.timedOut) << context;
  EXPECT_EQ(result.signal, 0) << context;
  EXPECT_TRUE(result.status == 0 || result.status == 1)
      << context << ": " << result.status;
  EXPECT_EQ(result.err.find("Sanitizer"), std::string::npos)
      << context << result.err;
  EXPECT_EQ(result.err.find("runtime error"), std::string::npos)
      << context << result.err;
  if (result.status == 1) {
    EXPECT_FALSE(result.out.empty() && result.err.empty()) << context;
  }
}

class RobustnessTest : public ::testing::Test {
 protected:
  RobustnessTest() : program(test_support::installProgram(dir)) {}

  RunResult run(std::vector<std::string> args, RunOptions options = {}) {
    options.args = std::move(args);
    if (options.workingDir.empty()) options.workingDir = dir.path();
    RunResult result = test_support::runProgram(program, options);
    expectCleanEnd(result,
                   options.args.empty() ? "(no words)" : options.args[0]);
    return result;
  }

  // Runs the replay (or an MA request) on a script with this content.
  RunResult script(const std::string& content, const char* test = "AC",
                   int timeoutSeconds = 20) {
    dir.write("script.xml", content);
    RunOptions options;
    options.timeoutSeconds = timeoutSeconds;
    return run({"-t", test, "-c", "P", "-s", "script.xml"}, options);
  }

  TempDir dir;
  std::string program;
};

TEST_F(RobustnessTest, HostileCommandLines) {
  // A Windows command line holds at most 32,767 characters; one argument on
  // Linux at most 128 KiB. A 1 MB word is tested in-process with the
  // command-line tests.
  const bool windows = test_support::underWine();
  std::vector<std::string> many;
  for (int i = 0; i < (windows ? 2000 : 5000); ++i) {
    many.insert(many.end(), {"-u", "word"});
  }
  many.insert(many.end(), {"-c", "P"});
  EXPECT_EQ(run(many).status, 0);
  EXPECT_EQ(run({"-c", std::string(windows ? 30000 : 100000, 'p')}).status, 0);
  // Windows words are UTF-16: bytes that are not UTF-8 arrive as U+FFFD.
  EXPECT_EQ(run({"-c", "\xff\xfe\xc3", "-t", "\x80"}).status, windows ? 0 : 1);
  EXPECT_EQ(run({"", ""}).out, test_support::kUsageText);
  for (int byte = 1; byte < 256; ++byte) {
    const std::string option = std::string("-") + static_cast<char>(byte);
    const RunResult result = run({option, "P", "-c", "P"});
    const bool takesValue =
        std::string("cmstupxd").find(static_cast<char>(byte)) !=
        std::string::npos;
    const bool known = takesValue || byte == 'n';
    if (known) {
      EXPECT_EQ(result.status, 0) << byte;
    } else {
      EXPECT_EQ(result.out, test_support::kUsageText) << byte;
    }
  }
}

TEST_F(RobustnessTest, HugeSequenceBoundsAreClamped) {
  dir.write("log.xml", "<l><transaction seq='1'/><transaction seq='-5'/></l>");
  EXPECT_EQ(run({"-t", "AC", "-c", "P", "-s", "log.xml",
                 "-b-999999999999999999999999999999",
                 "-e999999999999999999999999999999"})
                .out,
            "Transaction count: 2\n\n\nTransaction: 1\n\nTransaction: -5\n");
  EXPECT_EQ(run({"-t", "AC", "-c", "P", "-s", "log.xml", "-e-99999999999"}).out,
            "Transaction count: 2\n\n");
}

TEST_F(RobustnessTest, StartedThroughALinkOrFromAVeryLongPath) {
  if (test_support::underWine()) {
    GTEST_SKIP() << "no symbolic links on Windows; its long folders are "
                    "tested in LongProgramFoldersWorkOnWindows";
  }
  TempDir other;
  other.write("log.xml", "<transaction seq='4'/>");
  const std::string link = other.path() + "/client";
  ASSERT_EQ(::symlink(program.c_str(), link.c_str()), 0);
  RunOptions throughLink;
  throughLink.args = {"-t", "AC", "-m", "P", "-s", "log.xml"};
  const RunResult linked = test_support::runProgram(link, throughLink);
  expectCleanEnd(linked, "link");
  EXPECT_EQ(linked.out, "Transaction count: 1\n\n\nTransaction: 4\n");

  // A directory whose path is over 4,096 bytes: the move there fails and the
  // program stays where it was started, which here is that directory.
  std::string deep = dir.path();
  ASSERT_EQ(::chdir(dir.path().c_str()), 0);
  for (int i = 0; i < 24; ++i) {
    const std::string part(200, static_cast<char>('a' + i));
    ASSERT_EQ(::mkdir(part.c_str(), 0700), 0);
    ASSERT_EQ(::chdir(part.c_str()), 0);
    deep += "/" + part;
  }
  {
    std::ifstream from(program, std::ios::binary);
    std::ofstream to("KesMDProviderClient", std::ios::binary);
    to << from.rdbuf();
  }
  ASSERT_EQ(::chmod("KesMDProviderClient", 0700), 0);
  std::ofstream("log.xml") << "<transaction seq='7'/>";
  ASSERT_EQ(::chdir("/"), 0);
  RunOptions far;
  far.args = {"-t", "AC", "-m", "P", "-s", "log.xml"};
  far.workingDir = deep;
  far.argv0 = deep + "/KesMDProviderClient";
  ASSERT_GT(far.argv0.size(), 4096u);
  const RunResult result =
      test_support::runProgram("./KesMDProviderClient", far);
  expectCleanEnd(result, "long path");
  EXPECT_EQ(result.out, "Transaction count: 1\n\n\nTransaction: 7\n");
  std::filesystem::remove_all(dir.path() + "/" + std::string(200, 'a'));
}

// Past the 260 characters of old Windows paths, the program still moves
// into its own folder.
TEST_F(RobustnessTest, LongProgramFoldersWorkOnWindows) {
  if (!test_support::underWine())
    GTEST_SKIP() << "a test of the Windows program";
  std::string deep = dir.path();
  for (int i = 0; i < 4; ++i)
    deep += "/" + std::string(120, static_cast<char>('a' + i));
  std::filesystem::create_directories(deep);
  std::filesystem::copy_file(program, deep + "/KesMDProviderClient.exe");
  std::ofstream(deep + "/log.xml") << "<transaction seq='7'/>";
  RunOptions far;
  far.args = {"-t", "AC", "-m", "P", "-s", "log.xml"};
  far.workingDir = dir.path();
  const RunResult result =
      test_support::runProgram(deep + "/KesMDProviderClient.exe", far);
  expectCleanEnd(result, "long folder");
  EXPECT_EQ(result.out, "Transaction count: 1\n\n\nTransaction: 7\n");
}

TEST_F(RobustnessTest,
       ScriptsThatAreNotOneWellFormedDocumentAreRefusedClearly) {
  std::mt19937 random(7);
  std::string noise(1 << 20, '\0');
  for (char& byte : noise) byte = static_cast<char>(random());
  const std::vector<std::pair<std::string, std::string>> refused = {
      {"", "the file is empty"},
      {"  \n\t ", "no element found"},
      {noise, "Failed to parse"},
      {std::string("<a>x\0y</a>", 10), "not well-formed (invalid token)"},
      {"<log><transaction seq='1'>", "no element found"},
      {"<a><b></a></b>", "mismatched tag"},
      {"<a/>text", "junk after document element"},
      {"<a/><b/>", "junk after document element"},
      {"<a>\xff\xfe</a>", "not well-formed (invalid token)"},
      {"<a x='1' x='2'/>", "duplicate attribute"},
      // A name that only XML 1.0's fifth edition allows (U+021B): the
      // parser holds to the fourth edition's name characters.
      {"<Pre\xC8\x9B/>", "not well-formed (invalid token)"},
  };
  for (const auto& [content, reason] : refused) {
    for (const char* test : {"AC", "MA"}) {
      const RunResult result = script(content, test);
      EXPECT_EQ(result.status, 1) << reason;
      EXPECT_NE(result.out.find("\"script.xml\""), std::string::npos)
          << result.out;
      EXPECT_NE(result.out.find(reason), std::string::npos) << result.out;
    }
  }
  const std::string utf16("\xFF\xFE<\0t\0r\0a\0n\0s\0a\0c\0t\0i\0o\0n\0/\0>\0",
                          30);
  EXPECT_EQ(script(utf16).out, "Transaction count: 1\n\n\nTransaction: 0\n");
}

TEST_F(RobustnessTest, WhatIsNotARegularFileIsNeverWaitedOn) {
  ASSERT_EQ(::mkfifo((dir.path() + "/fifo").c_str(), 0600), 0);
  ::mkdir((dir.path() + "/folder").c_str(), 0700);
  for (const char* path : {"missing.xml", "fifo", "folder"}) {
    EXPECT_EQ(run({"-t", "AC", "-m", "P", "-s", path}).out,
              "Failed to open the script.\n");
    // A created project's script is checked as early: before any request.
    const RunResult created = run({"-t", "AC", "-c", "P", "-s", path});
    EXPECT_EQ(created.status, 1);
    EXPECT_EQ(created.out, "Failed to open the script.\n");
  }
}

TEST_F(RobustnessTest, EntitiesExpandWithinLimitsAndExternalOnesAreNeverRead) {
  dir.write("secret.txt", "SECRET-CONTENT");
  std::string laughs =
      "<?xml version=\"1.0\"?><!DOCTYPE t [<!ENTITY l0 \"lol\">";
  for (int i = 1; i < 10; ++i) {
    laughs += "<!ENTITY l" + std::to_string(i) + " \"";
    for (int j = 0; j < 10; ++j) laughs += "&l" + std::to_string(i - 1) + ";";
    laughs += "\">";
  }
  laughs += "<!ENTITY x SYSTEM \"file://" + dir.path() +
            "/secret.txt\">]>"
            "<transaction seq='1'>&l9;&x;</transaction>";
  RunOptions traced;
  traced.env.emplace_back("MDPROVIDER_TRACE", "requests.trace");
  dir.write("script.xml", laughs);
  RunResult result = run({"-t", "AC", "-c", "P", "-s", "script.xml"}, traced);
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.out.find("amplification factor"), std::string::npos)
      << result.out;
  EXPECT_LT(result.maxRssKiB, 200 * 1024);
  dir.write("script.xml", laughs.substr(0, laughs.find("<transaction")) +
                              "<transaction seq='1'>&l1;&x;</transaction>");
  result = run({"-t", "AC", "-c", "P", "-s", "script.xml"}, traced);
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.out.find("the external entity \"x\" is never read"),
            std::string::npos)
      << result.out;
  EXPECT_EQ(test_support::readFile(dir.path() + "/requests.trace")
                .find("SECRET-CONTENT"),
            std::string::npos);
}

TEST_F(RobustnessTest, DeepNestingEndsInAClearErrorNotAStackOverflow) {
  for (int depth : {100000, 1000000}) {
    std::string nested;
    nested.reserve(static_cast<std::size_t>(depth) * 40);
    for (int i = 0; i < depth; ++i)
      nested += "<transaction seq=\"" + std::to_string(i) + "\">";
    for (int i = 0; i < depth; ++i) nested += "</transaction>";
    const RunResult result = script(nested);
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.out.find("elements nested deeper than 2048 levels"),
              std::string::npos)
        << result.out;
  }
}

TEST_F(RobustnessTest, HugeAttributesRunWithinMemoryProportionalToTheInput) {
  // Some seconds each on a quiet machine: more while other tests run.
  std::string wide =
      "<transaction seq='1' big='" + std::string(100 << 20, 'v') + "'/>";
  RunResult result = script(wide, "AC", 90);
  EXPECT_EQ(result.status, 0);
  std::string many = "<transaction seq='2'";
  for (int i = 0; i < 1000000; ++i) many += " a" + std::to_string(i) + "='x'";
  many += "/>";
  RunResult manyResult = script(many, "AC", 90);
  EXPECT_EQ(manyResult.status, 0);
  EXPECT_EQ(manyResult.out, "Transaction count: 1\n\n\nTransaction: 2\n");
#ifndef KES_SANITIZED  // the sanitizers' own memory would swamp the figure
  // The parser, with its buffer and its table of the attribute names it
  // met (to refuse duplicates), lives while the transaction is replayed.
  EXPECT_LT(result.maxRssKiB,
            8 * static_cast<long>(wide.size() / 1024) + 64 * 1024);
  EXPECT_LT(manyResult.maxRssKiB,
            26 * static_cast<long>(many.size() / 1024) + 64 * 1024);
#endif
}

// The replay holds one outermost transaction at a time: a log far larger
// than the memory it is given goes through, and sends what it sends with
// all the memory it wants.
TEST_F(RobustnessTest, ALogLargerThanItsMemoryIsReplayedTheSame) {
  const std::string unlimited = test_support::whyNoAddressSpaceLimit();
  if (!unlimited.empty()) GTEST_SKIP() << unlimited;
  // In UTF-8, and in UTF-32, which is converted as it is read: its 80 MB
  // are more than the limit.
  for (const std::size_t characters : {50'000'000, 20'000'000}) {
    const bool utf32 = characters == 20'000'000;
    std::string log = "<log>";
    long count = 0;
    for (; log.size() < characters; ++count) {
      const std::string n = std::to_string(count);
      log += "<transaction seq='" + n + "'><set path='/model/item" + n +
             "'><value>" + n + "</value></set></transaction>\n";
    }
    log += "</log>";
    if (utf32) {
      std::string wide("\x00\x00\xFE\xFF", 4);
      wide.reserve(4 * log.size() + 4);
      for (const char c : log) wide.append(3, '\0').push_back(c);
      log.swap(wide);
    }
    dir.write("big.xml", log);
    log = std::string();
    std::vector<std::string> traces;
    for (long limit : {96L, 0L}) {
      RunOptions options;
      options.addressSpaceMiB = limit;
      options.outputFile = dir.path() + "/console.txt";
      options.timeoutSeconds = 60;
      const std::string trace = "trace-" + std::to_string(limit);
      options.env.emplace_back("MDPROVIDER_TRACE", trace);
      const RunResult result =
          run({"-t", "AC", "-c", "P", "-s", "big.xml", "-b1"}, options);
      EXPECT_EQ(result.status, 0) << "limit " << limit << " UTF-32 " << utf32;
      traces.push_back(test_support::readFile(dir.path() + "/" + trace));
    }
    EXPECT_EQ(std::count(traces[0].begin(), traces[0].end(), '\0'), count + 2);
    EXPECT_TRUE(traces[0] == traces[1]);
  }
}

// The second reading builds what the first only counted: memory that runs
// out there is said to have run out, not taken for a changed log.
TEST_F(RobustnessTest, MemoryThatRunsOutInTheSecondReadingIsSaidSo) {
  const std::string unlimited = test_support::whyNoAddressSpaceLimit();
  if (!unlimited.empty()) GTEST_SKIP() << unlimited;
  std::string log = "<log><transaction seq='1'>";
  for (int i = 0; i < 3'000'000; ++i) log += "<a/>";
  dir.write("many.xml", log + "</transaction></log>");
  RunOptions options;
  options.addressSpaceMiB = 96;
  options.env.emplace_back("MDPROVIDER_TRACE", "requests.trace");
  const RunResult result =
      run({"-t", "AC", "-c", "P", "-s", "many.xml"}, options);
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.out,
            "Transaction count: 1\n\n"
            "Out of memory while \"many.xml\" was read\n");
  EXPECT_EQ(test_support::readTrace(dir.path() + "/requests.trace").size(), 1u);
}

TEST_F(RobustnessTest, SeqTextFormsFollowTheNumberRules) {
  EXPECT_EQ(
      script("<l><transaction seq='123456789012345678901234567890'/>"
             "<transaction seq='-0'/><transaction seq='0x10'/>"
             "<transaction seq=' 12'/><transaction seq='1e3'/></l>")
          .out,
      "Transaction count: 5\n\n\nTransaction: 2147483647\n\nTransaction: 0\n"
      "\nTransaction: 0\n\nTransaction: 12\n\nTransaction: 1\n");
}

TEST_F(RobustnessTest, ATraceThatCannotHoldTheRequestsFailsTheRun) {
  dir.write("log.xml", "<transaction seq='1'/>");
  const std::vector<std::pair<std::string, std::string>> unopenable = {
      {dir.path(), "Is a directory"},
      {dir.path() + "/missing/requests.trace", "No such file or directory"}};
  for (const auto& [trace, reason] : unopenable) {
    RunOptions options;
    options.env.emplace_back("MDPROVIDER_TRACE", trace);
    const RunResult result = run({"-c", "P"}, options);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "Cannot open the request trace \"" + trace + "\": " +
                              reason + "\nCould not initialize the client");
  }
  if (!test_support::hasFullDevice()) GTEST_SKIP() << "no /dev/full here";
  RunOptions full;
  full.env.emplace_back("MDPROVIDER_TRACE", "/dev/full");
  const RunResult result = run({"-t", "AC", "-c", "P", "-s", "log.xml"}, full);
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.out,
            "Failed to write \"/dev/full\": No space left on device\n");
}

TEST_F(RobustnessTest, AConsoleThatCannotBeWrittenFailsTheRun) {
  if (!test_support::hasFullDevice()) GTEST_SKIP() << "no /dev/full here";
  dir.write("log.xml", "<transaction seq='1'/>");
  RunOptions full;
  full.outputFile = "/dev/full";
  const RunResult result = run({"-t", "AC", "-c", "P", "-s", "log.xml"}, full);
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err, "Failed to write to standard output\n");
}

TEST_F(RobustnessTest, AClosedOutputPipeIsAWriteErrorNotASignal) {
  std::string log = "<log>";
  for (int i = 0; i < 20000; ++i) log += "<transaction seq='1'/>";
  dir.write("log.xml", log + "</log>");
  RunOptions closed;
  closed.closedOutput = true;
  const RunResult result =
      run({"-t", "AC", "-c", "P", "-s", "log.xml"}, closed);
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err, "Failed to write to standard output\n");
}

TEST_F(RobustnessTest, RequestsCarryOnlyWhatXmlCan) {
  const std::vector<std::pair<std::string, std::string>> refused = {
      {"\x01", "The project name holds U+0001, which XML cannot carry"},
      {"ok\xef\xbf\xbf",
       "The project name holds U+FFFF, which XML cannot carry"},
      {"\xff\xfe", "The project name is not valid UTF-8"},
      {"\xed\xa0\x80", "The project name is not valid UTF-8"}};
  for (const auto& [name, message] : refused) {
    if (test_support::underWine() &&
        message.find("UTF-8") != std::string::npos) {
      continue;  // Windows words are UTF-16: such bytes arrive as U+FFFD
    }
    RunOptions traced;
    traced.env.emplace_back("MDPROVIDER_TRACE", "requests.trace");
    const RunResult result = run({"-c", name}, traced);
    EXPECT_EQ(result.status, 1) << message;
    EXPECT_EQ(result.out, message + "\n");
    EXPECT_EQ(test_support::readFile(dir.path() + "/requests.trace"), "");
  }
  // Values that are only stored are not checked.
  EXPECT_EQ(run({"-c", "P\xc3\xa9\xf0\x9f\x98\x80", "-u", "\xff", "-p", "\x01",
                 "-x", "\x80", "-d", "\x02", "-t", "\x80"})
                .status,
            0);
}

// Under an address-space limit a request is sent with its whole payload or
// the run fails with a message; never a payload lost in a failed copy. The
// payload is 36 MB in many small elements, so that the limits reach the
// parse, the copies and the writing of the request in turn.
TEST_F(RobustnessTest, MemoryPressureNeverSendsAPartialPayload) {
  const std::string unlimited = test_support::whyNoAddressSpaceLimit();
  if (!unlimited.empty()) GTEST_SKIP() << unlimited;
  constexpr long kPayload = 36'000'000;
  std::string log = "<log><transaction seq='1'>";
  // No text of an envelope holds a 'z'.
  const std::string element = "<a v='" + std::string(180, 'z') + "'/>";
  for (long carried = 0; carried < kPayload; carried += 180) log += element;
  dir.write("big.xml", log + "</transaction></log>");
  int passed = 0;
  int failed = 0;
  int failedCopies = 0;
  for (const char* test : {"AC", "MA"}) {
    for (long limit :
         {40, 72, 88, 104, 120, 152, 184, 232, 264, 296, 384, 448}) {
      RunOptions options;
      options.addressSpaceMiB = limit;
      options.env.emplace_back("MDPROVIDER_TRACE", "requests.trace");
      const RunResult result =
          run({"-t", test, "-c", "P", "-s", "big.xml"}, options);
      const std::string trace =
          test_support::readFile(dir.path() + "/requests.trace");
      const auto carried = std::count(trace.begin(), trace.end(), 'z');
      const std::string context = std::string(test) + " at " +
                                  std::to_string(limit) + " MiB: " + result.out;
      if (result.status == 0) {
        ++passed;
        EXPECT_EQ(carried, kPayload) << context;
      } else {
        ++failed;
        EXPECT_EQ(carried, 0) << context;
        if (result.out.find("(importNode)") != std::string::npos) {
          ++failedCopies;
        }
      }
    }
  }
  // The sweep reaches both sides of the limit, and copies that fail.
  EXPECT_GT(passed, 0);
  EXPECT_GT(failed, 0);
  EXPECT_GT(failedCopies, 0);
}

}  // namespace
