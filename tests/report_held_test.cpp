// A report that another program holds open when the run ends: waited for a
// few seconds, then kept beside it, and the run's status stands as its
// requests decided it.

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

#include "client/md_provider_client.h"
#include "tests/file_hold.h"
#include "tests/test_support.h"

namespace {

using test_support::FileHold;
using test_support::TempDir;

class HeldReportTest : public ::testing::Test {
 protected:
  HeldReportTest() : report(dir.write("report.xml", "an earlier report")) {}

  // Runs "-c P" with the report; what finishRun said and returned.
  bool run(std::string& said) {
    const test_support::ScopedEnv named("MDPROVIDER_REPORT", report);
    std::string words[] = {"KesMDProviderClient", "-t", "AC", "-c", "P"};
    char* argv[] = {words[0].data(), words[1].data(), words[2].data(),
                    words[3].data(), words[4].data()};
    MDProviderClient client;
    EXPECT_TRUE(client.parseArguments(5, argv));
    EXPECT_TRUE(client.initialize());
    client.createModel();
    client.closeModel();
    ::testing::internal::CaptureStderr();
    const bool finished = client.finishRun(true);
    said = ::testing::internal::GetCapturedStderr();
    return finished;
  }

  TempDir dir;
  std::string report;
};

TEST_F(HeldReportTest, HeldPastAFewSecondsTheReportIsKeptBesideIt) {
  FileHold hold(report);
  if (!hold.held()) GTEST_SKIP() << "no file is held against replacement here";
  std::string said;
  EXPECT_TRUE(run(said));
  EXPECT_EQ(said, "The report \"" + report +
                      "\" is held open by another program; this run's "
                      "report is \"" +
                      report + ".new\"\n");
  hold.release();
  EXPECT_EQ(test_support::readFile(report), "an earlier report");
  EXPECT_NE(test_support::readFile(report + ".new")
                .find("<testcase classname=\"P\" name=\"project close\""),
            std::string::npos);
  EXPECT_EQ(test_support::temporaryFilesIn(dir.path()),
            std::vector<std::string>{});
}

TEST_F(HeldReportTest, LetGoWithinTheWaitTheReportIsReplaced) {
  auto hold = std::make_unique<FileHold>(report);
  if (!hold->held()) GTEST_SKIP() << "no file is held against replacement here";
  std::thread letGo([&hold] {
    std::this_thread::sleep_for(std::chrono::seconds(1));
    hold->release();
  });
  std::string said;
  const bool finished = run(said);
  letGo.join();
  EXPECT_TRUE(finished);
  EXPECT_EQ(said, "");
  EXPECT_NE(test_support::readFile(report).find("name=\"project close\""),
            std::string::npos);
  EXPECT_EQ(test_support::temporaryFilesIn(dir.path()),
            std::vector<std::string>{});
}

}  // namespace
