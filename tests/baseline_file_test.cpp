#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "baseline/baseline_reader.h"
#include "baseline/baseline_writer.h"
#include "baseline/record_pairing.h"
#include "tests/test_support.h"

namespace {

using test_support::readFile;
using test_support::TempDir;

const std::string kPrint = "0123456789abcdef";
const SecretMask kNoSecrets;

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

// A fingerprint of its own for each request of a test.
std::string printOf(const AnswerKey& key) {
  std::string print =
      key.isTransaction ? "t" + std::to_string(key.seq) : key.type + key.action;
  std::string hex;
  for (const char c : print) {
    hex += "0123456789abcdef"[(static_cast<unsigned char>(c) >> 4) & 0xF];
    hex += "0123456789abcdef"[c & 0xF];
  }
  return (hex + std::string(16, '0')).substr(0, 16);
}

struct Answer {
  AnswerKey key;
  std::string body;
};

std::string record(const std::string& path, const std::vector<Answer>& run,
                   const SeqRange& range = SeqRange()) {
  BaselineWriter writer;
  std::string reason;
  EXPECT_TRUE(writer.open(path, kNoSecrets, reason, range)) << reason;
  for (const Answer& answer : run) {
    baseline_file::RecordHeader header;
    header.key = answer.key;
    header.fingerprint = kPrint;
    header.status = 200;
    writer.add(header, answer.body);
  }
  EXPECT_TRUE(writer.commit(reason)) << reason;
  return path;
}

std::string openProblem(const std::string& path) {
  BaselineReader reader;
  std::string problem;
  EXPECT_FALSE(reader.open(path, problem)) << path;
  return problem;
}

TEST(BaselineFileTest, BodiesAndHeadersComeBackExactlyWhateverTheyHold) {
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
  const std::string path = dir.path() + "/run.baseline";
  {
    BaselineWriter writer;
    std::string reason;
    ASSERT_TRUE(writer.open(path, kNoSecrets, reason, SeqRange{-1, 9}))
        << reason;
    for (std::size_t i = 0; i < bodies.size(); ++i) {
      baseline_file::RecordHeader header;
      header.key = transaction(i + 1, static_cast<std::int32_t>(i) - 1);
      header.fingerprint = kPrint;
      header.status = 200 + static_cast<long>(i);
      header.mediaType = i == 1 ? "application/xml" : "";
      header.milliseconds = i == 1 ? 12 : -1;
      if (i == 2) header.hiddenAt = {0, 7};
      if (i == 3) header.hiddenEverywhere = true;
      writer.add(header, bodies[i]);
    }
    ASSERT_TRUE(writer.commit(reason)) << reason;
  }
  const std::string text = readFile(path);
  const std::string head =
      "KesMDProviderClient baseline 2\n"
      "range -1 9\n"
      "record transaction 1 seq -1 request 0123456789abcdef status 200 "
      "media - time - hidden - body 0\n\n"
      "record transaction 2 seq 0 request 0123456789abcdef status 201 "
      "media application/xml time 12 hidden - body 3\na\0b\n"
      "record transaction 3 seq 1 request 0123456789abcdef status 202 "
      "media - time - hidden 0,7 body 10\n";
  EXPECT_EQ(text.substr(0, head.size()), std::string(head.data(), head.size()));
  const std::string tail = "q\n\nend 6\n";
  EXPECT_EQ(text.substr(text.size() - tail.size()), tail);

  BaselineReader reader;
  std::string problem;
  ASSERT_TRUE(reader.open(path, problem)) << problem;
  EXPECT_EQ(reader.records(), bodies.size());
  EXPECT_EQ(reader.range().first, -1);
  EXPECT_EQ(reader.range().last, 9);
  BaselineRecord found;
  for (std::size_t i = 0; i < bodies.size(); ++i) {
    reader.take(0, found, std::string::npos,
                [](const baseline_file::RecordHeader&) { FAIL(); });
    EXPECT_EQ(found.body, bodies[i]) << i;
    EXPECT_EQ(found.header.status, 200 + static_cast<long>(i));
    EXPECT_EQ(found.header.key.seq, static_cast<std::int32_t>(i) - 1);
  }
  EXPECT_EQ(reader.paired(), bodies.size());
  // What the header said of each.
  ASSERT_TRUE(reader.open(path, problem)) << problem;
  EXPECT_EQ(reader.ahead(1)->mediaType, "application/xml");
  EXPECT_EQ(reader.ahead(1)->milliseconds, 12);
  EXPECT_EQ(reader.ahead(2)->hiddenAt, (std::vector<std::size_t>{0, 7}));
  EXPECT_TRUE(reader.ahead(3)->hiddenEverywhere);
  EXPECT_EQ(reader.ahead(6), nullptr);
  // A body read in part: its head, and the record still passed whole.
  reader.take(5, found, 10, [](const baseline_file::RecordHeader&) {});
  EXPECT_EQ(found.body, std::string(10, 'q'));
  EXPECT_TRUE(found.partial);
}

TEST(BaselineFileTest, ABaselineOfTheFirstVersionIsRead) {
  TempDir dir;
  const std::string path = dir.write(
      "old.baseline",
      "KesMDProviderClient baseline 1\n"
      "record project create request fb6f26ee5f16590a status 200 body 4\n"
      "<a/>\n"
      "record transaction 1 seq 1 request c93613e7841a31b1 status 500 body "
      "0\n\nend 2\n");
  BaselineReader reader;
  std::string problem;
  ASSERT_TRUE(reader.open(path, problem)) << problem;
  EXPECT_EQ(reader.version(), 1);
  EXPECT_EQ(reader.ahead(0)->fingerprint, "fb6f26ee5f16590a");
  EXPECT_EQ(reader.ahead(1)->status, 500);
  EXPECT_EQ(reader.ahead(1)->mediaType, "");
}

// A run paired with a baseline of one whole log: each case a log edited
// otherwise, or replayed in part.
TEST(BaselineFileTest, RequestsPairByAligningFingerprintsAndKeys) {
  TempDir dir;
  std::vector<Answer> whole = {{request("project", "create"), "c"}};
  for (int seq = 1; seq <= 8; ++seq) {
    whole.push_back({transaction(seq, seq), std::to_string(seq)});
  }
  whole.push_back({request("project", "endReplay"), "e"});
  whole.push_back({request("project", "close"), "z"});
  const std::string path = dir.path() + "/whole.baseline";
  {
    BaselineWriter writer;
    std::string reason;
    ASSERT_TRUE(writer.open(path, kNoSecrets, reason)) << reason;
    for (const Answer& answer : whole) {
      baseline_file::RecordHeader header;
      header.key = answer.key;
      header.fingerprint = printOf(answer.key);
      header.status = 200;
      writer.add(header, answer.body);
    }
    ASSERT_TRUE(writer.commit(reason)) << reason;
  }
  struct Request {
    AnswerKey key;
    std::string print;  // empty: its own
  };
  const auto run = [&](std::vector<Request> requests, const SeqRange& range) {
    BaselineReader reader;
    std::string problem;
    EXPECT_TRUE(reader.open(path, problem)) << problem;
    RecordPairing pairing(reader, range);
    std::string told;
    BaselineRecord found;
    for (const Request& each : requests) {
      const Pairing paired = pairing.pair(
          each.key, each.print.empty() ? printOf(each.key) : each.print, found,
          1 << 20);
      if (paired.removed.count > 0) {
        told += "-" + std::to_string(paired.removed.count) + " ";
      }
      if (paired.notReached > 0) {
        told += "~" + std::to_string(paired.notReached) + " ";
      }
      told += paired.outcome == Pairing::Outcome::kPaired    ? found.body
              : paired.outcome == Pairing::Outcome::kChanged ? "!" + found.body
                                                             : "+";
      told += ' ';
    }
    const Pairing left = pairing.finish();
    if (left.removed.count > 0) {
      told += "-" + std::to_string(left.removed.count) + " ";
    }
    if (left.notReached > 0) told += "~" + std::to_string(left.notReached);
    return told;
  };
  const auto log = [&](std::vector<std::int32_t> seqs) {
    std::vector<Request> requests = {{request("project", "create"), ""}};
    unsigned long long ordinal = 0;
    for (const std::int32_t seq : seqs) {
      requests.push_back({transaction(++ordinal, seq), ""});
    }
    requests.push_back({request("project", "endReplay"), ""});
    requests.push_back({request("project", "close"), ""});
    return requests;
  };
  // Unchanged: every one pairs.
  EXPECT_EQ(run(log({1, 2, 3, 4, 5, 6, 7, 8}), SeqRange()),
            "c 1 2 3 4 5 6 7 8 e z ");
  // One inserted after 3: one added, the rest still paired.
  EXPECT_EQ(run(log({1, 2, 3, 40, 4, 5, 6, 7, 8}), SeqRange()),
            "c 1 2 3 + 4 5 6 7 8 e z ");
  // Two removed: one removal, the rest paired; the last ones lost.
  EXPECT_EQ(run(log({1, 2, 5, 6, 7, 8}), SeqRange()), "c 1 2 -2 5 6 7 8 e z ");
  EXPECT_EQ(run(log({1, 2, 3, 4, 5, 6}), SeqRange()), "c 1 2 3 4 5 6 -2 e z ");
  // Changed in place: paired by its key, told apart.
  std::vector<Request> changed = log({1, 2, 3, 4, 5, 6, 7, 8});
  changed[4].print = "ffffffffffffffff";
  EXPECT_EQ(run(changed, SeqRange()), "c 1 2 3 !4 5 6 7 8 e z ");
  // Part of the log: what lies outside it is not reached, not removed;
  // what lies inside and is gone is removed.
  EXPECT_EQ(run(log({3, 4, 5}), SeqRange{3, 5}), "c ~2 3 4 5 ~3 e z ");
  EXPECT_EQ(run(log({3, 5}), SeqRange{3, 5}), "c ~2 3 -1 5 ~3 e z ");
  // A run that ends early leaves the rest to finish: counted there.
  EXPECT_EQ(run({{request("project", "create"), ""}}, SeqRange()), "c -10 ");
}

TEST(BaselineFileTest, DamageIsToldWithTheRecord) {
  TempDir dir;
  const std::string good = readFile(record(
      dir.path() + "/good.baseline", {{request("project", "open"), "ok"},
                                      {transaction(1, 1), "<a/>"},
                                      {request("project", "close"), ""}}));
  const std::string second = "record transaction 1 seq 1 request " + kPrint;
  const std::string fields = " media - time - hidden - body 4";
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
      {replaced("KesMDProviderClient baseline 2\n",
                "KesMDProviderClient baseline 2\nrange 1\n"),
       "1: a bad record header: \"range 1\""},
      {good.substr(0, good.size() - 6), "4: cut short before the end line"},
      {replaced("end 3", "end 2"),
       "4: the end line counts 2 records where the file holds 3"},
      {replaced(second + " status 200", second + " status OK"),
       "2: a bad record header: \"" + second + " status OK" + fields + "\""},
      {replaced("hidden - body 4", "hidden 3,1 body 4"),
       "2: a bad record header: \"" + second +
           " status 200 media - time - hidden 3,1 body 4\""},
      // Where "***" would not fit in the body, even where adding its
      // length to the place wraps round.
      {replaced("hidden - body 4", "hidden 2 body 4"),
       "2: a bad record header: \"" + second +
           " status 200 media - time - hidden 2 body 4\""},
      {replaced("hidden - body 4", "hidden 18446744073709551614 body 4"),
       "2: a bad record header: \"" + second +
           " status 200 media - time - hidden 18446744073709551614 body 4\""},
      // A time is "-" or a number: the writer writes no other.
      {replaced("time - hidden - body 4", "time -5 hidden - body 4"),
       "2: a bad record header: \"" + second +
           " status 200 media - time -5 hidden - body 4\""},
      {replaced("body 4", "body 3"),
       "2: no line end after the body of 3 bytes"},
      {replaced("body 4", "body 400"),
       "2: cut short inside a body of 400 bytes"},
      {replaced("transaction 1 seq", "transaction 0 seq"),
       "2: a bad record header: \"record transaction 0 seq 1 request " +
           kPrint + " status 200" + fields + "\""},
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
    ASSERT_TRUE(writer.open(path, kNoSecrets, reason)) << reason;
    baseline_file::RecordHeader header;
    header.key = request("project", "open");
    header.fingerprint = kPrint;
    header.status = 200;
    writer.add(header, std::string(100000, 'x'));
  }
  EXPECT_EQ(readFile(path), "earlier");
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    names.push_back(entry.path().filename().string());
  }
  EXPECT_EQ(names, std::vector<std::string>{"run.baseline"});
}

}  // namespace
