#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "baseline/answer_difference.h"
#include "baseline/answer_judge.h"
#include "tests/test_support.h"

namespace {

using test_support::readFile;
using test_support::ScopedEnv;
using test_support::TempDir;

// The three variables for the life of the object; empty is unset.
struct Settings {
  Settings(const std::string& record, const std::string& baseline,
           const std::string& rules = "")
      : record_("MDPROVIDER_RECORD", record),
        baseline_("MDPROVIDER_BASELINE", baseline),
        rules_("MDPROVIDER_BASELINE_RULES", rules) {}
  ScopedEnv record_;
  ScopedEnv baseline_;
  ScopedEnv rules_;
};

AnswerKey transaction(unsigned long long ordinal) {
  AnswerKey key;
  key.isTransaction = true;
  key.ordinal = ordinal;
  key.seq = static_cast<std::int32_t>(ordinal) * 10;
  key.type = "action";
  key.action = "execute";
  return key;
}

AnswerKey request(const char* action) {
  AnswerKey key;
  key.type = "project";
  key.action = action;
  return key;
}

std::string configureProblem(bool delivering) {
  AnswerJudge judge;
  std::string problem;
  EXPECT_FALSE(judge.configure(delivering, problem));
  return problem;
}

TEST(BaselineJudgeTest, SettingsThatCannotBeUsedStopTheStart) {
  TempDir dir;
  const std::string baseline = dir.write("old.baseline", "<answer/>");
  {
    Settings settings("", "");
    AnswerJudge judge;
    std::string problem;
    EXPECT_TRUE(judge.configure(false, problem));
    EXPECT_FALSE(judge.isOn());
  }
  {
    Settings settings("", baseline);
    EXPECT_EQ(configureProblem(false),
              "MDPROVIDER_BASELINE is set, but nothing is delivered: set "
              "MDPROVIDER_DELIVER too");
    EXPECT_EQ(configureProblem(true),
              "The baseline \"" + baseline + "\" is not a baseline");
  }
  {
    Settings settings(dir.path() + "/new.baseline", "", baseline);
    EXPECT_EQ(configureProblem(true),
              "MDPROVIDER_BASELINE_RULES is set, but MDPROVIDER_BASELINE is "
              "not: the rules serve a comparison");
  }
  {
    const std::string good = dir.path() + "/good.baseline";
    {
      Settings recording(good, "");
      AnswerJudge judge;
      std::string problem;
      ASSERT_TRUE(judge.configure(true, problem)) << problem;
      ASSERT_TRUE(judge.commit(problem)) << problem;
    }
    const std::string rules = dir.write("rules", "# first\nignore //a[\n");
    Settings settings("", good, rules);
    EXPECT_EQ(configureProblem(true),
              rules + ":2: Unrecognized node test at character 5 of the XPath");
  }
  {
    Settings settings(baseline, baseline);
    EXPECT_EQ(
        configureProblem(true),
        "MDPROVIDER_RECORD and MDPROVIDER_BASELINE name the same file \"" +
            baseline + "\": a run never rewrites its baseline");
  }
  {
    const std::string missing = dir.path() + "/no/new.baseline";
    Settings settings(missing, "");
    EXPECT_EQ(configureProblem(true), "Cannot write the recording \"" +
                                          missing +
                                          "\": No such file or directory");
  }
}

TEST(BaselineJudgeTest, OneRunRecordsTheNextComparesAndRecordsAgain) {
  TempDir dir;
  const std::string first = dir.path() + "/first.baseline";
  const std::string second = dir.path() + "/second.baseline";
  const std::string rules = dir.write("rules", "ignore //@time\n");
  {
    Settings settings(first, "");
    AnswerJudge judge;
    std::string problem;
    ASSERT_TRUE(judge.configure(true, problem)) << problem;
    EXPECT_FALSE(judge.comparing());
    for (const auto& [key, payload, body] :
         std::vector<std::tuple<AnswerKey, std::string, std::string>>{
             {request("open"), "", "<ok/>"},
             {transaction(1), "<t n='1'/>", "<r a='1' b='2' time='9'/>"},
             {transaction(2), "<t n='2'/>", "<r/>"},
             {transaction(3), "<t n='3'/>", "<r><v>1</v></r>"},
             {request("endReplay"), "", "done"},
             {request("close"), "", ""}}) {
      EXPECT_FALSE(judge.judge(key, payload, 200, body).differs);
    }
    EXPECT_TRUE(judge.commit(problem)) << problem;
  }
  const std::string recorded = readFile(first);

  Settings settings(second, first, rules);
  AnswerJudge judge;
  std::string problem;
  ASSERT_TRUE(judge.configure(true, problem)) << problem;
  EXPECT_FALSE(judge.judge(request("open"), "", 200, "<ok/>").differs);
  // The same answer in another form, and another time.
  EXPECT_FALSE(judge
                   .judge(transaction(1), "<t n='1'/>", 200,
                          "<r time='10' b=\"2\"\n a=\"1\"></r>")
                   .differs);
  const Judgement changed =
      judge.judge(transaction(2), "<t n='20'/>", 200, "<x/>");
  EXPECT_EQ(changed.kind, Judgement::Kind::kRequestChanged);
  EXPECT_EQ(changed.line,
            "Differs from the baseline: transaction 2 (seq 20): the request "
            "differs from the recorded one: the log or script changed here");
  const Judgement status =
      judge.judge(transaction(3), "<t n='3'/>", 500, "<r><v>2</v></r>");
  EXPECT_EQ(status.kind, Judgement::Kind::kStatus);
  EXPECT_EQ(status.line,
            "Differs from the baseline: transaction 3 (seq 30): HTTP 500 "
            "where the baseline has HTTP 200 (and 1 more)");
  EXPECT_EQ(status.message, "HTTP 500 where the baseline has HTTP 200");
  EXPECT_EQ(
      status.details,
      "HTTP 500 where the baseline has HTTP 200\n"
      "/r/v[1]/text() is \"2\" where the baseline has \"1\"\n"
      "\n--- baseline\n+++ answer\n@@ -1,3 +1,3 @@\n r\n   v\n-    \"1\"\n"
      "+    \"2\"\n");
  const Judgement added = judge.judge(transaction(4), "<t n='4'/>", 200, "");
  EXPECT_EQ(added.kind, Judgement::Kind::kNotInBaseline);
  EXPECT_EQ(added.line,
            "Differs from the baseline: transaction 4 (seq 40): not in the "
            "baseline");
  const Judgement body = judge.judge(request("endReplay"), "", 200, "dome");
  EXPECT_EQ(body.kind, Judgement::Kind::kBody);
  EXPECT_EQ(body.message,
            "the body differs at line 1, byte 3: \"dome\" where the baseline "
            "has \"done\"");
  EXPECT_EQ(judge.compared(), 6);
  EXPECT_EQ(judge.differing(), 4);
  EXPECT_EQ(judge.unreached(), 1);  // the close
  ASSERT_TRUE(judge.commit(problem)) << problem;
  EXPECT_EQ(readFile(first), recorded);
  const std::string again = readFile(second);
  EXPECT_NE(again.find("record transaction 4 seq 40 request "),
            std::string::npos);
  EXPECT_NE(again.find(" status 500 body 15\n<r><v>2</v></r>\n"),
            std::string::npos);
  EXPECT_EQ(again.substr(again.size() - 6), "end 6\n");
}

// Only the head of a body too large to be the answer is read: a secret cut
// at its end would show in part, whatever hides the whole ones.
TEST(BaselineJudgeTest, AHeadReadOfALargeBodyShowsNoPartOfASecret) {
  TempDir dir;
  const std::string path = dir.path() + "/large.baseline";
  const std::string answer = "abc";
  const std::size_t head = kLargestAsXml + 64 * 1024;  // what is read of it
  const std::string body =
      std::string(head - 5, 'x') + "\ns3cr3tPW\n" + std::string(1000, 'y');
  {
    Settings settings(path, "");
    AnswerJudge judge;
    std::string problem;
    ASSERT_TRUE(judge.configure(true, problem)) << problem;
    judge.judge(request("open"), "", 200, body);
    ASSERT_TRUE(judge.commit(problem)) << problem;
  }
  Settings settings("", path);
  AnswerJudge judge;
  std::string problem;
  ASSERT_TRUE(judge.configure(true, problem)) << problem;
  judge.hideSecretsWith([](std::string& text) {
    for (std::size_t at; (at = text.find("s3cr3tPW")) != std::string::npos;) {
      text.replace(at, 8, "***");
    }
  });
  const Judgement judgement = judge.judge(request("open"), "", 200, answer);
  EXPECT_EQ(judgement.kind, Judgement::Kind::kBody);
  for (const char* part : {"s3cr", "\n-s"}) {
    EXPECT_EQ(judgement.details.find(part), std::string::npos)
        << part << " in " << judgement.details.substr(0, 2000);
  }
}

TEST(BaselineJudgeTest, ABaselineDamagedDuringTheRunFailsIt) {
  TempDir dir;
  const std::string path = dir.path() + "/cut.baseline";
  {
    Settings settings(path, "");
    AnswerJudge judge;
    std::string problem;
    ASSERT_TRUE(judge.configure(true, problem)) << problem;
    judge.judge(request("open"), "", 200, std::string(1000, 'a'));
    ASSERT_TRUE(judge.commit(problem)) << problem;
  }
  Settings settings("", path);
  AnswerJudge judge;
  std::string problem;
  ASSERT_TRUE(judge.configure(true, problem)) << problem;
  std::filesystem::resize_file(path, 500);
  EXPECT_EQ(test_support::failureOf(
                [&] { judge.judge(request("open"), "", 200, ""); }),
            "The baseline \"" + path +
                "\" is damaged at record 1: cut short inside the body");
}

}  // namespace
