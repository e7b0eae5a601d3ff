#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "baseline/answer_judge.h"
#include "baseline/request_fingerprint.h"
#include "tests/test_support.h"

namespace {

using test_support::readFile;
using test_support::TempDir;

// The three variables for the life of the object; empty is unset.
// The files the judges of a block are configured with.
const BaselineFiles* current = nullptr;
struct Settings {
  Settings(const std::string& record, const std::string& baseline,
           const std::string& rules = "")
      : files{record, baseline, rules}, before(current) {
    current = &files;
  }
  ~Settings() { current = before; }
  BaselineFiles files;
  const BaselineFiles* before;
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
  EXPECT_FALSE(judge.configure(delivering, SeqRange(), *current, problem));
  return problem;
}

bool configured(AnswerJudge& judge, const SeqRange& range = SeqRange()) {
  std::string problem;
  const bool done = judge.configure(true, range, *current, problem);
  EXPECT_TRUE(done) << problem;
  return done;
}

// One answer to a request whose payload is `payload`; `hiddenAt`, where
// the run's password was hidden in it.
Judgement judged(AnswerJudge& judge, const AnswerKey& key,
                 const std::string& payload, long status,
                 const std::string& body,
                 const std::string& mediaType = "application/xml",
                 const std::vector<std::size_t>& hiddenAt = {}) {
  const std::string envelope = "<mdprovider type=\"" + key.type +
                               "\" action=\"" + key.action + "\" model=\"M\">" +
                               payload + "</mdprovider>";
  const std::string canonical = canonicalPayloadOf(envelope);
  Answered answered;
  answered.key = key;
  answered.request = envelope;
  answered.payload = canonical;
  answered.status = status;
  answered.mediaType = mediaType;
  answered.body = body;
  answered.hiddenAt = &hiddenAt;
  return judge.judge(answered);
}

std::string lineOf(const Judgement& judgement) {
  return judgement.request ? judgement.request->line : "<same>";
}

TEST(BaselineJudgeTest, SettingsThatCannotBeUsedStopTheStart) {
  TempDir dir;
  const std::string baseline = dir.write("old.baseline", "<answer/>");
  {
    Settings settings("", "");
    AnswerJudge judge;
    std::string problem;
    EXPECT_TRUE(judge.configure(false, SeqRange(), settings.files, problem));
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
      ASSERT_TRUE(configured(judge));
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
    ASSERT_TRUE(configured(judge));
    EXPECT_FALSE(judge.comparing());
    for (const auto& [key, payload, body] :
         std::vector<std::tuple<AnswerKey, std::string, std::string>>{
             {request("open"), "", "<ok/>"},
             {transaction(1), "<t n='1'/>", "<r a='1' b='2' time='9'/>"},
             {transaction(2), "<t n='2'/>", "<r/>"},
             {transaction(3), "<t n='3'/>", "<r><v>1</v></r>"},
             {request("endReplay"), "", "done"},
             {request("close"), "", ""}}) {
      EXPECT_FALSE(judged(judge, key, payload, 200, body).request);
    }
    EXPECT_TRUE(judge.commit(problem)) << problem;
  }
  const std::string recorded = readFile(first);

  Settings settings(second, first, rules);
  AnswerJudge judge;
  std::string problem;
  ASSERT_TRUE(configured(judge));
  EXPECT_EQ(lineOf(judged(judge, request("open"), "", 200, "<ok/>")), "<same>");
  // The same answer in another form, and another time; the request laid
  // out anew.
  EXPECT_EQ(lineOf(judged(judge, transaction(1), "\n  <t  n=\"1\"></t>\n", 200,
                          "<r time='10' b=\"2\"\n a=\"1\"></r>")),
            "<same>");
  EXPECT_EQ(lineOf(judged(judge, transaction(2), "<t n='20'/>", 200, "<x/>")),
            "Differs from the baseline: transaction 20 (the 2nd in the log): "
            "the request differs from the recorded one: the log or script "
            "changed here");
  const Judgement status =
      judged(judge, transaction(3), "<t n='3'/>", 500, "<r><v>2</v></r>");
  ASSERT_TRUE(status.request);
  EXPECT_EQ(status.request->line,
            "Differs from the baseline: transaction 30 (the 3rd in the log): "
            "HTTP 500 where the baseline has HTTP 200 (and 1 more)");
  EXPECT_EQ(status.request->message,
            "HTTP 500 where the baseline has HTTP 200");
  EXPECT_EQ(
      status.request->details,
      "HTTP 500 where the baseline has HTTP 200\n"
      "/r/v[1]/text() is \"2\" where the baseline has \"1\"\n"
      "\n--- baseline\n+++ answer\n@@ -1,3 +1,3 @@\n r\n   v\n-    \"1\"\n"
      "+    \"2\"\n");
  EXPECT_EQ(lineOf(judged(judge, transaction(4), "<t n='4'/>", 200, "")),
            "Differs from the baseline: transaction 40 (the 4th in the log): "
            "added to the log: not in the baseline");
  const Judgement body = judged(judge, request("endReplay"), "", 200, "dome",
                                "text/plain; Charset=UTF-8");
  ASSERT_TRUE(body.request);
  EXPECT_EQ(body.request->message,
            "the media type is \"text/plain;charset=utf-8\" where the "
            "baseline has \"application/xml\"");
  EXPECT_EQ(body.request->differences[1].kind, Difference::Kind::kBytes);
  EXPECT_EQ(judge.compared(), 6);
  EXPECT_EQ(judge.differing(), 4);
  EXPECT_EQ(judge.unreached(), 1u);  // the close
  // The run reached its end: the close it never sent was removed.
  const std::optional<Verdict> removed = judge.finish();
  ASSERT_TRUE(removed);
  EXPECT_EQ(removed->line,
            "Differs from the baseline: removed from the log: project close");
  EXPECT_EQ(judge.removed(), 1u);
  EXPECT_EQ(judge.unreached(), 0u);
  ASSERT_TRUE(judge.commit(problem)) << problem;
  EXPECT_EQ(readFile(first), recorded);
  const std::string again = readFile(second);
  EXPECT_NE(again.find("record transaction 4 seq 40 request "),
            std::string::npos);
  EXPECT_NE(again.find(" status 500 media application/xml time - hidden - "
                       "body 15\n<r><v>2</v></r>\n"),
            std::string::npos);
  EXPECT_EQ(again.substr(again.size() - 6), "end 6\n");
}

// A provider that begins to show the run's password where it showed
// "***" of its own differs; one that showed it all along does not.
TEST(BaselineJudgeTest, APasswordTheBaselineDidNotHoldIsADifference) {
  TempDir dir;
  const std::string redacting = dir.path() + "/redacting.baseline";
  const std::string echoing = dir.path() + "/echoing.baseline";
  for (const auto& [path, hidden] :
       {std::make_pair(redacting, std::vector<std::size_t>{}),
        std::make_pair(echoing, std::vector<std::size_t>{30})}) {
    Settings settings(path, "");
    AnswerJudge judge;
    std::string problem;
    ASSERT_TRUE(configured(judge));
    judged(judge, request("open"), "", 200,
           "<login user=\"alice\" password=\"***\"/>", "application/xml",
           hidden);
    ASSERT_TRUE(judge.commit(problem)) << problem;
  }
  const std::string leaking = "<login user=\"alice\" password=\"***\"/>";
  const std::vector<std::size_t> leakedAt = {leaking.find("***")};
  {
    Settings settings("", redacting);
    AnswerJudge judge;
    ASSERT_TRUE(configured(judge));
    EXPECT_EQ(lineOf(judged(judge, request("open"), "", 200, leaking,
                            "application/xml", leakedAt)),
              "Differs from the baseline: project open: /login/@password "
              "holds the run's password where the baseline has \"***\"");
  }
  {
    Settings settings("", echoing);
    AnswerJudge judge;
    ASSERT_TRUE(configured(judge));
    EXPECT_EQ(lineOf(judged(judge, request("open"), "", 200, leaking,
                            "application/xml", leakedAt)),
              "<same>");
  }
  {
    // Redacting now where it echoed: a difference the other way.
    Settings settings("", echoing);
    AnswerJudge judge;
    ASSERT_TRUE(configured(judge));
    EXPECT_EQ(lineOf(judged(judge, request("open"), "", 200, leaking)),
              "Differs from the baseline: project open: /login/@password is "
              "\"***\" where the baseline holds a hidden password");
  }
  // A password the answer writes with character references, or splits
  // with CDATA, is one all the same: found where the XML resolves it, and
  // never shown. Nor is one in a body that is no XML.
  SecretMask hiding;
  hiding.add("pw\"d");
  struct Leak {
    const char* redacted;
    const char* leaked;
    const char* line;
  };
  const Leak leaks[] = {
      {"<a p=\"***\"/>", "<a p=\"&#112;&#119;&#34;&#100;\"/>",
       "/a/@p holds the run's password where the baseline has \"***\""},
      {"<t>***</t>", "<t><![CDATA[pw]]>&quot;d</t>",
       "/t/text() holds the run's password where the baseline has \"***\""},
      {"<a><o id=\"***\"><p>1</p></o></a>",
       "<a><o id=\"pw&quot;d\"><p>2</p></o></a>",
       "/a/o[@id=\"***\"]/@id holds the run's password where the baseline "
       "has \"***\""},
  };
  for (const Leak& leak : leaks) {
    const std::string path = dir.path() + "/leak.baseline";
    {
      Settings settings(path, "");
      AnswerJudge judge;
      std::string problem;
      ASSERT_TRUE(configured(judge));
      judged(judge, request("open"), "", 200, leak.redacted);
      ASSERT_TRUE(judge.commit(problem)) << problem;
    }
    Settings settings("", path);
    AnswerJudge judge;
    ASSERT_TRUE(configured(judge));
    judge.hideSecrets(hiding);
    const Judgement judgement =
        judged(judge, request("open"), "", 200, leak.leaked);
    ASSERT_TRUE(judgement.request) << leak.leaked;
    EXPECT_EQ(judgement.request->message, leak.line);
    EXPECT_EQ(judgement.request->details.find("pw"), std::string::npos)
        << judgement.request->details;
  }
}

// What the run says at its end: each kind of difference once, by place,
// and the rules that matched nothing.
TEST(BaselineJudgeTest, TheDigestCountsEachKindOnceAndRulesThatMatchNothing) {
  TempDir dir;
  const std::string path = dir.path() + "/b.baseline";
  {
    Settings settings(path, "");
    AnswerJudge judge;
    std::string problem;
    ASSERT_TRUE(configured(judge));
    for (unsigned long long i = 1; i <= 4; ++i) {
      judged(judge, transaction(i), "<t n='" + std::to_string(i) + "'/>", 200,
             "<a time='1'><o id='x' version='2.1'/><n>" + std::to_string(i) +
                 "</n></a>");
    }
    ASSERT_TRUE(judge.commit(problem)) << problem;
  }
  const std::string rules =
      dir.write("rules", "mask /*/@time\n# typo\nmask /*/@tiem\n");
  Settings settings("", path, rules);
  AnswerJudge judge;
  ASSERT_TRUE(configured(judge));
  for (unsigned long long i = 1; i <= 4; ++i) {
    judged(judge, transaction(i), "<t n='" + std::to_string(i) + "'/>", 200,
           "<a time='2'><o id='x' version='2.2'/><n>" + std::to_string(i * 10) +
               "</n></a>");
  }
  std::vector<std::string> digest;
  for (const DifferenceDigest::Line& line : judge.digest()) {
    digest.push_back(digestLine(line));
  }
  EXPECT_EQ(digest,
            (std::vector<std::string>{
                "Differences by place: 4 answers: /a/o/@version is \"2.2\" "
                "where the baseline has \"2.1\"",
                "Differences by place: 4 answers: /a/n/text() is (values "
                "vary) where the baseline has (values vary)"}));
  EXPECT_EQ(judge.unmatchedRules(),
            std::vector<std::string>{"Rule \"" + rules +
                                     "\" line 3 (mask /*/@tiem) matched "
                                     "nothing in 4 answers"});
}

// Only the head of a body too large to be the answer is read: a secret cut
// at its end would show in part, whatever hides the whole ones.
TEST(BaselineJudgeTest, AHeadReadOfALargeBodyShowsNoPartOfASecret) {
  TempDir dir;
  const std::string path = dir.path() + "/large.baseline";
  const std::string answer = "abc";
  const std::size_t head =
      (std::size_t{4} << 20) + 64 * 1024;  // what is read of it
  const std::string body =
      std::string(head - 5, 'x') + "\ns3cr3tPW\n" + std::string(1000, 'y');
  {
    Settings settings(path, "");
    AnswerJudge judge;
    std::string problem;
    ASSERT_TRUE(configured(judge));
    judged(judge, request("open"), "", 200, body);
    ASSERT_TRUE(judge.commit(problem)) << problem;
  }
  Settings settings("", path);
  AnswerJudge judge;
  ASSERT_TRUE(configured(judge));
  SecretMask secrets;
  secrets.add("s3cr3tPW");
  judge.hideSecrets(secrets);
  const Judgement judgement = judged(judge, request("open"), "", 200, answer);
  ASSERT_TRUE(judgement.request);
  for (const char* part : {"s3cr", "\n-s"}) {
    EXPECT_EQ(judgement.request->details.find(part), std::string::npos)
        << part << " in " << judgement.request->details.substr(0, 2000);
  }
}

TEST(BaselineJudgeTest, ABaselineDamagedDuringTheRunFailsIt) {
  TempDir dir;
  const std::string path = dir.path() + "/cut.baseline";
  {
    Settings settings(path, "");
    AnswerJudge judge;
    std::string problem;
    ASSERT_TRUE(configured(judge));
    judged(judge, request("open"), "", 200, std::string(1000, 'a'));
    ASSERT_TRUE(judge.commit(problem)) << problem;
  }
  Settings settings("", path);
  AnswerJudge judge;
  ASSERT_TRUE(configured(judge));
  std::filesystem::resize_file(path, 500);
  EXPECT_EQ(test_support::failureOf(
                [&] { judged(judge, request("open"), "", 200, ""); }),
            "The baseline \"" + path +
                "\" is damaged at record 1: cut short inside the body");
}

}  // namespace
