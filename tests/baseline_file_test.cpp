#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "baseline/baseline_reader.h"
#include "baseline/baseline_writer.h"
#include "tests/test_support.h"

namespace {

using test_support::readFile;
using test_support::TempDir;

const std::string kPrint = "0123456789abcdef";

AnswerKey transaction(unsigned long long ordinal, std::int32_t seq) {
  AnswerKey key;
  key.isTransaction = true;
  key.ordinal = ordinal;
  key.seq = seq;
  key.type = "action";
  key.action = "execute";
  return key;
}

AnswerKey request(const char* type, const char* action) {
  AnswerKey key;
  key.type = type;
  key.action = action;
  return key;
}

struct Answer {
  AnswerKey key;
  std::string body;
};

std::string record(const std::string& path, const std::vector<Answer>& run) {
  BaselineWriter writer;
  std::string reason;
  EXPECT_TRUE(writer.open(path, reason)) << reason;
  for (const Answer& answer : run)
    writer.add(answer.key, kPrint, 200, answer.body);
  EXPECT_TRUE(writer.commit(reason)) << reason;
  return path;
}

std::string openProblem(const std::string& path) {
  BaselineReader reader;
  std::string problem;
  EXPECT_FALSE(reader.open(path, problem)) << path;
  return problem;
}

TEST(BaselineFileTest, BodiesComeBackExactlyWhateverTheyHold) {
  const std::vector<std::string> bodies = {
      "",
      std::string("a\0b", 3),
      "line\r\nend\r",
      "\xff\xfe not UTF-8",
      "x\nrecord project open request 0123456789abcdef status 200 body 3\n"
      "abc\nend 1\n",
      std::string(200000, 'q') + "\n",
  };
  TempDir dir;
  std::vector<Answer> run;
  for (std::size_t i = 0; i < bodies.size(); ++i) {
    run.push_back(
        {transaction(i + 1, static_cast<std::int32_t>(i) - 1), bodies[i]});
  }
  const std::string path = record(dir.path() + "/run.baseline", run);
  const std::string text = readFile(path);
  const std::string head =
      "KesMDProviderClient baseline 1\n"
      "record transaction 1 seq -1 request 0123456789abcdef status 200 "
      "body 0\n\n"
      "record transaction 2 seq 0 request 0123456789abcdef status 200 "
      "body 3\na";
  EXPECT_EQ(text.substr(0, head.size()), head);
  const std::string tail = "q\n\nend 6\n";
  EXPECT_EQ(text.substr(text.size() - tail.size()), tail);

  BaselineReader reader;
  std::string problem;
  ASSERT_TRUE(reader.open(path, problem)) << problem;
  EXPECT_EQ(reader.records(), bodies.size());
  BaselineRecord found;
  for (std::size_t i = 0; i < bodies.size(); ++i) {
    ASSERT_TRUE(reader.find(run[i].key, found)) << i;
    EXPECT_EQ(found.body, bodies[i]) << i;
    EXPECT_EQ(found.header.status, 200);
    EXPECT_EQ(found.header.key.seq, run[i].key.seq);
  }
  EXPECT_EQ(reader.unreached(), 0u);
}

TEST(BaselineFileTest, RequestsPairForwardAndWhatIsPassedIsNotReached) {
  TempDir dir;
  // A whole run; the later one replays -b5 -e7 of the same log.
  const std::string path = record(dir.path() + "/whole.baseline",
                                  {{request("project", "open"), "o"},
                                   {transaction(1, 1), "1"},
                                   {transaction(2, 3), "2"},
                                   {transaction(3, 5), "3"},
                                   {transaction(4, 7), "4"},
                                   {transaction(5, 9), "5"},
                                   {request("project", "endReplay"), "e"},
                                   {request("project", "close"), "c"}});
  BaselineReader reader;
  std::string problem;
  ASSERT_TRUE(reader.open(path, problem)) << problem;
  BaselineRecord found;
  ASSERT_TRUE(reader.find(request("project", "open"), found));
  EXPECT_FALSE(reader.find(request("project", "create"), found));
  ASSERT_TRUE(reader.find(transaction(3, 5), found));
  EXPECT_EQ(found.body, "3");
  EXPECT_FALSE(reader.find(transaction(2, 3), found));  // behind, never again
  ASSERT_TRUE(reader.find(transaction(4, 7), found));
  EXPECT_FALSE(reader.find(transaction(6, 11), found));
  ASSERT_TRUE(reader.find(request("project", "endReplay"), found));
  EXPECT_EQ(found.body, "e");
  EXPECT_EQ(reader.unreached(), 4u);  // transactions 1, 2 and 5, the close
  ASSERT_TRUE(reader.find(request("project", "close"), found));
  EXPECT_EQ(reader.unreached(), 3u);
  EXPECT_EQ(reader.paired(), 5u);
}

TEST(BaselineFileTest, DamageIsToldWithTheRecord) {
  TempDir dir;
  const std::string good = readFile(record(
      dir.path() + "/good.baseline", {{request("project", "open"), "ok"},
                                      {transaction(1, 1), "<a/>"},
                                      {request("project", "close"), ""}}));
  const std::string second = "record transaction 1 seq 1 request " + kPrint;
  const auto replaced = [&](const std::string& from, const std::string& to) {
    std::string text = good;
    text.replace(text.find(from), from.size(), to);
    return text;
  };
  const std::pair<std::string, std::string> damaged[] = {
      {good.substr(0, good.find("<a/>") + 2),
       "2: cut short inside a body of 4 bytes"},
      {good.substr(0, good.find("record project close") + 17),
       "3: cut short inside a record header"},
      {good.substr(0, good.size() - 6), "4: cut short before the end line"},
      {replaced("end 3", "end 2"),
       "4: the end line counts 2 records where the file holds 3"},
      {replaced("status 200 body 4", "status OK body 4"),
       "2: a bad record header: \"" + second + " status OK body 4\""},
      {replaced("body 4", "body 3"),
       "2: no line end after the body of 3 bytes"},
      {replaced("body 4", "body 400"),
       "2: cut short inside a body of 400 bytes"},
      {replaced("transaction 1 seq", "transaction 0 seq"),
       "2: a bad record header: \"record transaction 0 seq 1 request " +
           kPrint + " status 200 body 4\""},
      {replaced("project close", "transaction 1 seq 1"),
       "3: transaction 1 comes after transaction 1"},
      {good.substr(0, good.size() - 1), "4: the end line has no line end"},
  };
  for (const auto& [text, expected] : damaged) {
    const std::string path = dir.write("damaged.baseline", text);
    EXPECT_EQ(openProblem(path),
              "The baseline \"" + path + "\" is damaged at record " + expected);
  }
  const std::string foreign = dir.write("answer.xml", "<answer/>\n");
  EXPECT_EQ(openProblem(foreign),
            "The baseline \"" + foreign + "\" is not a baseline");
  const std::string crlf = dir.write("crlf.baseline", replaced("\n", "\r\n"));
  EXPECT_EQ(openProblem(crlf),
            "The baseline \"" + crlf +
                "\" is not a baseline: its lines end with CR LF (keep "
                "baselines as binary files in version control)");
  const std::string marked = dir.write("bom.baseline", "\xEF\xBB\xBF" + good);
  EXPECT_EQ(openProblem(marked),
            "The baseline \"" + marked +
                "\" is not a baseline: it begins with a byte-order mark (an "
                "editor added it; save it without one)");
  const std::string missing = dir.path() + "/none.baseline";
  EXPECT_EQ(openProblem(missing), "Cannot read the baseline \"" + missing +
                                      "\": No such file or directory");
  EXPECT_EQ(openProblem(dir.path()), "Cannot read the baseline \"" +
                                         dir.path() + "\": not a regular file");
}

TEST(BaselineFileTest, ARecordingNotCommittedLeavesTheEarlierFile) {
  TempDir dir;
  const std::string path = dir.write("run.baseline", "earlier");
  {
    BaselineWriter writer;
    std::string reason;
    ASSERT_TRUE(writer.open(path, reason)) << reason;
    writer.add(request("project", "open"), kPrint, 200,
               std::string(100000, 'x'));
  }
  EXPECT_EQ(readFile(path), "earlier");
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    names.push_back(entry.path().filename().string());
  }
  EXPECT_EQ(names, std::vector<std::string>{"run.baseline"});
}

}  // namespace
