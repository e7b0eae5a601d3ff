// mdprovider_baseline seen from outside: baselines compared, accepted and
// shown without a provider.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "baseline/baseline_writer.h"
#include "baseline/request_fingerprint.h"
#include "tests/test_support.h"

namespace {

using test_support::RunOptions;
using test_support::RunResult;
using test_support::TempDir;

struct Answer {
  std::string key;  // "transaction 3" or "project create"
  std::string body;
  long status = 200;
};

baseline_file::RecordHeader headerOf(const Answer& answer,
                                     unsigned long long ordinal) {
  baseline_file::RecordHeader header;
  const std::size_t space = answer.key.find(' ');
  const std::string first = answer.key.substr(0, space);
  const std::string second = answer.key.substr(space + 1);
  header.key.isTransaction = first == "transaction";
  std::string payload;
  if (header.key.isTransaction) {
    header.key.seq = std::stoi(second);
    header.key.ordinal = ordinal;
    header.key.type = "action";
    header.key.action = "execute";
    payload = "<transaction seq=\"" + second + "\"><o n=\"" + second +
              "\"/></transaction>";
  } else {
    header.key.type = first;
    header.key.action = second;
  }
  header.fingerprint = requestFingerprint(
      header.key.type, header.key.action,
      canonicalPayloadOf("<mdprovider type=\"" + header.key.type +
                         "\" action=\"" + header.key.action +
                         "\" model=\"M\">" + payload + "</mdprovider>"));
  header.status = answer.status;
  header.mediaType = "application/xml";
  return header;
}

class BaselineToolTest : public ::testing::Test {
 protected:
  void write(const std::string& name, const std::vector<Answer>& answers,
             const SeqRange& range = SeqRange()) {
    BaselineWriter writer;
    std::string reason;
    const SecretMask none;
    ASSERT_TRUE(writer.open(dir.path() + "/" + name, none, reason, range))
        << reason;
    unsigned long long ordinal = 0;
    for (const Answer& answer : answers) {
      const baseline_file::RecordHeader header = headerOf(
          answer, answer.key.rfind("transaction", 0) == 0 ? ++ordinal : 0);
      writer.add(header, answer.body);
    }
    ASSERT_TRUE(writer.commit(reason)) << reason;
  }
  RunResult tool(std::vector<std::string> args) {
    RunOptions options;
    options.args = std::move(args);
    options.workingDir = dir.path();
    return test_support::runProgram(KES_BASELINE_TOOL_PATH, options);
  }
  std::string read(const std::string& name) const {
    return test_support::readFile(dir.path() + "/" + name);
  }

  TempDir dir;
};

std::vector<Answer> whole(const std::string& second,
                          const std::string& third = "<t n='3'/>") {
  return {{"project create", "<ok time='1'/>"},
          {"transaction 1", "<t n='1'/>"},
          {"transaction 2", second},
          {"transaction 3", third},
          {"project endReplay", "<ok/>"},
          {"project close", "<ok time='1'/>"}};
}

TEST_F(BaselineToolTest, DiffSaysWhatARunWouldHaveSaid) {
  write("base", whole("<t n='2'/>"));
  write("same", whole("<t  n=\"2\"></t>"));
  RunResult result = tool({"diff", "base", "same"});
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out,
            "Compared \"same\" with \"base\": 6 records, 0 differing, 0 "
            "removed from the log, 0 not reached\n");
  std::vector<Answer> changed = whole("<t n='22'/>");
  changed[0].body = "<ok time='2'/>";
  changed.erase(changed.begin() + 3);  // transaction 3
  write("changed", changed);
  dir.write("rules", "mask /*/@time\n");
  result = tool({"diff", "base", "changed", "rules"});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.out,
            "Differs from the baseline: transaction 2: /t/@n is \"22\" where "
            "the baseline has \"2\"\n"
            "Differs from the baseline: removed from the log: transaction 3\n"
            "Differences by place: 1 answer: /t/@n is \"22\" where the "
            "baseline has \"2\"\n"
            "Differences by place: 1 answer: removed from the log: "
            "transaction 3\n"
            "Compared \"changed\" with \"base\": 5 records, 1 differing, 1 "
            "removed from the log, 0 not reached\n");
  // What cannot be used: status 2, one line; no words: the usage.
  dir.write("broken", "KesMDProviderClient baseline 2\nend 1\n");
  for (const std::vector<std::string>& words :
       std::vector<std::vector<std::string>>{
           {"diff", "base", "broken"},
           {"diff", "base", "none"},
           {"diff", "base", "same", "none"}}) {
    result = tool(words);
    EXPECT_EQ(result.status, 2) << words[2];
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1)
        << result.err;
  }
  result = tool({});
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(result.err.rfind("Usage: mdprovider_baseline diff", 0), 0u);
  result = tool({"--help"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out.rfind("Usage: mdprovider_baseline diff", 0), 0u);
}

TEST_F(BaselineToolTest, AcceptTakesTheNamedChangesOrEvery) {
  write("base", whole("<t n='2'/>"));
  std::vector<Answer> changed = whole("<t n='22'/>", "<t n='33'/>");
  changed.insert(changed.begin() + 4, {"transaction 40", "<new/>"});
  write("changed", changed);
  const std::string before = read("base");
  // A key that names nothing that differs: nothing is written.
  RunResult result = tool({"accept", "base", "changed", "transaction 9",
                           "transaction 3", "project open"});
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err,
            "\"project open\", \"transaction 9\" name no record that differs "
            "between \"base\" and \"changed\": nothing is written\n");
  EXPECT_EQ(read("base"), before);
  result = tool({"accept", "base", "changed", "transaction 3"});
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out,
            "Replaced transaction 3\nWrote \"base\": 1 change accepted\n");
  result = tool({"diff", "base", "changed"});
  EXPECT_EQ(result.out.substr(0, result.out.find("Differences by")),
            "Differs from the baseline: transaction 2: /t/@n is \"22\" where "
            "the baseline has \"2\"\n"
            "Differs from the baseline: transaction 40 (the 4th in the log): "
            "added to the log: not in the baseline\n");
  result = tool({"accept", "base", "changed"});
  EXPECT_EQ(result.out,
            "Replaced transaction 2\nAdded transaction 40\nWrote \"base\": 2 "
            "changes accepted\n");
  EXPECT_EQ(tool({"diff", "base", "changed"}).status, 0);
  EXPECT_EQ(test_support::temporaryFilesIn(dir.path()),
            std::vector<std::string>{});
  // A recording of part of the log merges into the whole.
  write("part",
        {{"project create", "<ok time='1'/>"},
         {"transaction 2", "<t n='222'/>"},
         {"project endReplay", "<ok/>"},
         {"project close", "<ok time='1'/>"}},
        SeqRange{2, 2});
  result = tool({"accept", "base", "part"});
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out,
            "Replaced transaction 2\nWrote \"base\": 1 change accepted\n");
  result = tool({"show", "base"});
  for (const char* kept :
       {"transaction 1: ", "transaction 3: ",
        "transaction 40 (the 4th in the log): ", "project endReplay: "}) {
    EXPECT_NE(result.out.find(kept), std::string::npos) << result.out;
  }
  EXPECT_EQ(read("base").rfind("KesMDProviderClient baseline 2\nrecord ", 0),
            0u);
}

TEST_F(BaselineToolTest, ShowReviewAndTheFirstVersion) {
  write("base", {{"project create", std::string("<a/>\n\x01\xff", 7)},
                 {"transaction 1", "<t/>", 500}});
  RunResult result = tool({"show", "base", "transaction 1"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out,
            "transaction 1: HTTP 500, application/xml, time not recorded, 4 "
            "bytes\n<t/>\n\n");
  result = tool({"show", "base", "project create"});
  EXPECT_EQ(result.out,
            "project create: HTTP 200, application/xml, time not recorded, 7 "
            "bytes\n<a/>\n\\x01\\xff\n\n");
  result = tool({"show", "base", "transaction 2"});
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(result.err, "No record of \"base\" is named \"transaction 2\"\n");
  // Review asks at a terminal only.
  result = tool({"review", "base", "base"});
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(result.err,
            "mdprovider_baseline review asks at a terminal: run it there, or "
            "use diff and accept\n");
  // A baseline of the first version: compared in runs, replaced whole.
  dir.write("old",
            "KesMDProviderClient baseline 1\nrecord project create request "
            "fb6f26ee5f16590a status 200 body 4\n<a/>\nend 1\n");
  result = tool({"diff", "old", "base"});
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(result.err,
            "The baseline \"old\" is of the first version, whose fingerprints "
            "are of another kind: compare it in a run, or accept a whole "
            "recording in its place\n");
  result = tool({"accept", "old", "base"});
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out,
            "Replaced the baseline \"old\" of the first version with the 2 "
            "records of \"base\"\n");
  EXPECT_EQ(read("old"), read("base"));
}

}  // namespace
