// The files a run reads and writes, seen from outside the built program:
// never one another, a report put in place whole, through its link, with
// the umask's mode and no more room on the disk than one copy of it.

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "tests/test_support.h"

namespace {

using test_support::RunOptions;
using test_support::RunResult;
using test_support::TempDir;

const std::string kLog = "<log><transaction seq='1'/></log>";

class RunFilesTest : public ::testing::Test {
 protected:
  RunFilesTest() : program(test_support::installProgram(dir)) {
    dir.write("log.xml", kLog);
    dir.write("ca.pem", "a CA");
  }

  RunResult run(std::vector<std::pair<std::string, std::string>> env,
                std::vector<std::string> args = {"-t", "AC", "-c", "P", "-s",
                                                 "log.xml"}) {
    RunOptions options;
    options.args = std::move(args);
    options.workingDir = dir.path();
    options.env = std::move(env);
    return test_support::runProgram(program, options);
  }
  std::string read(const std::string& name) const {
    return test_support::readFile(dir.path() + "/" + name);
  }

  TempDir dir;
  std::string program;
};

TEST_F(RunFilesTest, TwoNamesOfOneFileAreRefusedBeforeAnythingIsWritten) {
  ::link((dir.path() + "/log.xml").c_str(), (dir.path() + "/hard.xml").c_str());
  struct Case {
    std::vector<std::pair<std::string, std::string>> env;
    std::string line;
  };
  const std::string absolute = dir.path() + "/log.xml";
  const Case cases[] = {
      {{{"MDPROVIDER_REPORT", "log.xml"}},
       "MDPROVIDER_REPORT=\"log.xml\" and the script \"log.xml\" are one file"},
      {{{"MDPROVIDER_TRACE", absolute}},
       "MDPROVIDER_TRACE=\"" + absolute +
           "\" and the script \"log.xml\" are one file"},
      {{{"MDPROVIDER_TRACE", "hard.xml"}},
       "MDPROVIDER_TRACE=\"hard.xml\" and the script \"log.xml\" are one file"},
      {{{"MDPROVIDER_TRACE", "out.xml"}, {"MDPROVIDER_REPORT", "./out.xml"}},
       "MDPROVIDER_REPORT=\"./out.xml\" and MDPROVIDER_TRACE=\"out.xml\" are "
       "one file"},
      {{{"MDPROVIDER_HTML", "hard.xml"}},
       "MDPROVIDER_HTML=\"hard.xml\" and the script \"log.xml\" are one file"},
      {{{"MDPROVIDER_REPORT", "out.xml"}, {"MDPROVIDER_HTML", "out.xml"}},
       "MDPROVIDER_HTML=\"out.xml\" and MDPROVIDER_REPORT=\"out.xml\" are "
       "one file"},
      {{{"MDPROVIDER_DELIVER", "http://127.0.0.1:9/"},
        {"MDPROVIDER_TRACE", "out.xml"},
        {"MDPROVIDER_RESPONSES", "out.xml"}},
       "MDPROVIDER_RESPONSES=\"out.xml\" and MDPROVIDER_TRACE=\"out.xml\" are "
       "one file"},
      {{{"MDPROVIDER_DELIVER", "http://127.0.0.1:9/"},
        {"MDPROVIDER_RESPONSES", "ca.pem"},
        {"MDPROVIDER_CA_FILE", "ca.pem"}},
       "MDPROVIDER_CA_FILE=\"ca.pem\" and MDPROVIDER_RESPONSES=\"ca.pem\" "
       "are one file"},
  };
  for (const Case& c : cases) {
    const RunResult result = run(c.env);
    EXPECT_EQ(result.status, 1) << c.line;
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, c.line + "\nCould not initialize the client");
    EXPECT_EQ(read("log.xml"), kLog) << c.line;
    EXPECT_EQ(read("ca.pem"), "a CA") << c.line;
    EXPECT_FALSE(std::filesystem::exists(dir.path() + "/out.xml"));
  }
  // Without delivery the responses file is not read, nor checked.
  const RunResult result = run(
      {{"MDPROVIDER_TRACE", "out.xml"}, {"MDPROVIDER_RESPONSES", "out.xml"}});
  EXPECT_EQ(result.status, 0) << result.err;
}

TEST_F(RunFilesTest, AReportKeepsItsLinkAndItsModeANewOneTheUmasks) {
  if (test_support::underWine()) {
    GTEST_SKIP() << "wine has neither symbolic links nor a umask";
  }
  std::filesystem::create_directory(dir.path() + "/kept");
  std::filesystem::create_symlink("kept/report.xml",
                                  dir.path() + "/report.xml");
  const mode_t before = ::umask(077);
  const RunResult result = run({{"MDPROVIDER_REPORT", "report.xml"}});
  ::umask(before);
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_TRUE(std::filesystem::is_symlink(dir.path() + "/report.xml"));
  EXPECT_NE(read("kept/report.xml").find("transaction 1"), std::string::npos);
  struct stat info {};
  ASSERT_EQ(::stat((dir.path() + "/kept/report.xml").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  // A report that replaces one keeps that one's mode, whatever the umask.
  ::chmod((dir.path() + "/kept/report.xml").c_str(), 0640);
  EXPECT_EQ(run({{"MDPROVIDER_REPORT", "report.xml"}}).status, 0);
  ASSERT_EQ(::stat((dir.path() + "/kept/report.xml").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
  // A link to a file that is not there yet makes it.
  std::filesystem::remove(dir.path() + "/kept/report.xml");
  EXPECT_EQ(run({{"MDPROVIDER_REPORT", "report.xml"}}).status, 0);
  EXPECT_TRUE(
      std::filesystem::is_regular_file(dir.path() + "/kept/report.xml"));
  EXPECT_TRUE(std::filesystem::is_symlink(dir.path() + "/report.xml"));
}

// A small file system of its own for the life of the object.
class SmallFileSystem {
 public:
  SmallFileSystem(const std::string& path, const char* size) : path_(path) {
    std::filesystem::create_directory(path);
    mounted_ = ::mount("tmpfs", path.c_str(), "tmpfs", 0,
                       (std::string("size=") + size).c_str()) == 0;
  }
  ~SmallFileSystem() {
    if (mounted_) ::umount(path_.c_str());
  }
  SmallFileSystem(const SmallFileSystem&) = delete;
  SmallFileSystem& operator=(const SmallFileSystem&) = delete;
  bool mounted() const { return mounted_; }

 private:
  std::string path_;
  bool mounted_ = false;
};

TEST_F(RunFilesTest, AReportNeedsRoomForOneCopyOfItself) {
  SmallFileSystem small(dir.path() + "/small", "4m");
  if (!small.mounted()) GTEST_SKIP() << "mounting a file system needs root";
  // Some 2.3 MB of report, more than half of the room.
  std::string log = "<log>";
  for (int i = 0; i < 33000; ++i) {
    log += "<transaction seq='" + std::to_string(i) + "'/>";
  }
  dir.write("long.xml", log + "</log>");
  RunOptions options;
  const RunResult result = run({{"MDPROVIDER_REPORT", "small/report.xml"}},
                               {"-t", "AC", "-c", "P", "-s", "long.xml"});
  EXPECT_EQ(result.status, 0) << result.err;
  const std::string report = read("small/report.xml");
  EXPECT_GT(report.size(), 2'097'152u);
  EXPECT_NE(report.find("tests=\"33003\""), std::string::npos);
  EXPECT_EQ(
      std::distance(std::filesystem::directory_iterator(dir.path() + "/small"),
                    std::filesystem::directory_iterator()),
      1);
}

}  // namespace
