#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <string>
#include <vector>

#include "client/md_provider_client.h"
#include "tests/test_support.h"

namespace {

using test_support::TempDir;

bool parse(MDProviderClient& client, std::vector<std::string> words) {
  words.insert(words.begin(), "KesMDProviderClient");
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  return client.parseArguments(static_cast<int>(words.size()), argv.data());
}

// The usage path ends the process after a key; standard input is empty so
// the key read returns at once. The usage text itself is checked against
// the built program.
void parseInChild(const std::vector<std::string>& words) {
  if (std::freopen("/dev/null", "r", stdin) == nullptr ||
      std::freopen("/dev/null", "w", stdout) == nullptr) {
    return;
  }
  MDProviderClient client;
  parse(client, words);
  std::exit(0);  // usable: not the usage path
}

class CommandLineTest : public ::testing::Test {
 protected:
  CommandLineTest() : script(dir.write("script.xml", "<a/>")) {}
  TempDir dir;
  std::string script;
};

using CommandLineDeathTest = CommandLineTest;

TEST_F(CommandLineDeathTest, UnusableShapesEndInTheUsageText) {
  const std::vector<std::vector<std::string>> unusable = {
      {},
      {"-"},
      {"--"},
      {"-a", "x"},
      {"-f"},
      {"-y"},
      {"-z"},
      {"-T", "AC", "-c", "P"},
      {"-C", "P"},
      {"P"},
      {"-t", "AC", "extra", "-c", "P"},
      {"-c", ""},
      {"-m", "P"},
      {"-m", "P", "-s"},
      {"-d", "-c", "P"},
      {"-b", "12", "-c", "P"},
      {"-t", "AC"},
      {"", "-c", "P"},
  };
  for (const auto& words : unusable) {
    std::string shown;
    for (const auto& word : words) shown += "[" + word + "]";
    EXPECT_EXIT(parseInChild(words), ::testing::ExitedWithCode(1), "") << shown;
  }
  EXPECT_EXIT(parseInChild({"-c", "P"}), ::testing::ExitedWithCode(0), "");
}

TEST_F(CommandLineTest, ValueTakingOptionsStoreTheNextWordWhateverItHolds) {
  MDProviderClient client;
  ASSERT_TRUE(parse(client, {"-t", "-odd", "-u", "u", "-p", "p", "-x", "ns",
                             "-d", "D", "-cxyz", "Proj", "-n", "-m"}));
  EXPECT_EQ(client.getTestType(), "-odd");
  EXPECT_EQ(client.getProjectName(), "Proj");
  EXPECT_TRUE(client.isCreateProject());
  client.initialize();
  EXPECT_EQ(client.getAuthNamespace(), "ns");

  MDProviderClient last;
  ASSERT_TRUE(parse(last, {"-c", "P", "-t"}));
  EXPECT_EQ(last.getTestType(), "");
  MDProviderClient copyTest;
  ASSERT_TRUE(parse(copyTest, {"-c", "P", "-s", "S"}));
  I18NString copy = copyTest.getScriptPath();
  copy = "changed";
  EXPECT_EQ(copyTest.getScriptPath(), "S");
}

TEST_F(CommandLineTest, SequenceBoundsTakeTheRestOfTheWord) {
  struct Case {
    std::vector<std::string> words;
    int first;
    int last;
  };
  const std::vector<Case> cases = {
      {{}, 0, -1},
      {{"-b12"}, 12, -1},
      {{"-b-3", "-e-2"}, -3, -2},
      {{"-b", "-e"}, 0, 0},
      {{"-bx", "-e9"}, 0, 9},
      {{"-b 5", "-e+7"}, 5, 7},
      {{"-b123456789012345678901234567890", "-e-99999999999"},
       INT_MAX,
       INT_MIN},
  };
  for (const Case& c : cases) {
    MDProviderClient client;
    std::vector<std::string> words = c.words;
    words.insert(words.end(), {"-c", "P"});
    ASSERT_TRUE(parse(client, words));
    EXPECT_EQ(client.getFirstSeq(), c.first) << words[0];
    EXPECT_EQ(client.getLastSeq(), c.last) << words[0];
  }
}

TEST_F(CommandLineTest, TheLastCreateOrOpenDecides) {
  MDProviderClient opened;
  ASSERT_TRUE(parse(opened, {"-c", "A", "-m", "B", "-s", script}));
  EXPECT_EQ(opened.getProjectName(), "B");
  EXPECT_FALSE(opened.isCreateProject());

  MDProviderClient created;
  ASSERT_TRUE(parse(created, {"-m", "A", "-c", "B"}));
  EXPECT_EQ(created.getProjectName(), "B");
  EXPECT_TRUE(created.isCreateProject());

  // A closing -c without a value is ignored: the project is still opened.
  MDProviderClient trailing;
  ASSERT_TRUE(parse(trailing, {"-m", "P", "-s", script, "-c"}));
  EXPECT_FALSE(trailing.isCreateProject());
}

TEST_F(CommandLineTest, OnlyAnOpenedProjectNeedsAnExistingRegularScript) {
  MDProviderClient created;
  EXPECT_TRUE(parse(created, {"-c", "P", "-s", dir.path() + "/missing"}));

  MDProviderClient present;
  EXPECT_TRUE(parse(present, {"-m", "P", "-s", script}));

  for (const std::string& bad : {dir.path() + "/missing", dir.path()}) {
    MDProviderClient client;
    ::testing::internal::CaptureStdout();
    EXPECT_FALSE(parse(client, {"-m", "P", "-s", bad}));
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              "Failed to open the script.\n");
  }
}

TEST_F(CommandLineTest, InitializeGivesTheNamespaceItsDefaultOnlyWhenEmpty) {
  MDProviderClient plain;
  ASSERT_TRUE(parse(plain, {"-c", "P", "-u", "user", "-p", "secret"}));
  EXPECT_TRUE(plain.initialize());
  EXPECT_EQ(plain.getAuthNamespace(), "NTLM");
  EXPECT_TRUE(plain.initialize());
  EXPECT_EQ(plain.getAuthNamespace(), "NTLM");

  MDProviderClient emptied;
  ASSERT_TRUE(parse(emptied, {"-c", "P", "-x", ""}));
  EXPECT_TRUE(emptied.initialize());
  EXPECT_EQ(emptied.getAuthNamespace(), "NTLM");

  MDProviderClient named;
  ASSERT_TRUE(parse(named, {"-c", "P", "-x", "Kerberos"}));
  EXPECT_TRUE(named.initialize());
  EXPECT_EQ(named.getAuthNamespace(), "Kerberos");
}

TEST_F(CommandLineTest, AMegabyteWordIsStoredWhole) {
  const std::string huge(1 << 20, 'p');
  MDProviderClient client;
  ASSERT_TRUE(parse(client, {"-c", huge}));
  EXPECT_EQ(client.getProjectName(), huge.c_str());
}

}  // namespace
