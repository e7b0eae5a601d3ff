#include "runners/read_ahead.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/core/tov_exception.h"
#include "platform/xml/xml_element_stream.h"
#include "tests/test_support.h"
#include "tests/xml_support.h"

namespace {

using test_support::TempDir;
using Kind = ReadTransaction::Kind;

// A request whose text is the transaction as written, NUL after it.
BuiltRequest builtFrom(const TOVIDOM_Node& transaction) {
  BuiltRequest built;
  built.text = test_support::written(transaction) + '\0';
  return built;
}

// What a replay would see, step by step, until the end or a failure.
std::vector<std::string> steps(ReadAhead& ahead) {
  std::vector<std::string> seen;
  for (;;) {
    ReadTransaction step = ahead.next();
    const std::string looked = std::to_string(step.looked);
    if (step.kind == Kind::kEnd) {
      seen.push_back("end after " + looked);
      return seen;
    }
    if (step.failure || step.kind == Kind::kFailed) {
      seen.push_back(
          (step.kind == Kind::kFailed ? "log failed: " : "failed: ") +
          test_support::failureOf(
              [&] { std::rethrow_exception(step.failure); }));
      return seen;
    }
    seen.push_back(std::to_string(step.seq) + " at " + looked + " " +
                   step.request.text.substr(0, step.request.text.size() - 1));
  }
}

// In-line and on a thread of its own, the reader's steps come out in the
// same order: the outermost transaction before those nested in it, those
// out of the range passed over but counted, and a failure in its place
// with nothing after it.
TEST(ReadAheadTest, StepsComeInTheLogsOrderWithAFailureInItsPlace) {
  TempDir dir;
  const std::string log = dir.write(
      "log.xml",
      "<log><transaction seq='1'/><transaction seq='2'><transaction "
      "seq='3'/></transaction><x><transaction seq='4'/></x><transaction "
      "seq='5'/><transaction seq='6'/></log>");
  const struct {
    std::int32_t first, last;
    std::int32_t failingSeq;
    std::vector<std::string> expected;
  } cases[] = {
      {0,
       -1,
       0,
       {"1 at 1 <transaction seq=\"1\"/>",
        "2 at 2 <transaction seq=\"2\"><transaction seq=\"3\"/></transaction>",
        "3 at 3 <transaction seq=\"3\"/>", "4 at 4 <transaction seq=\"4\"/>",
        "5 at 5 <transaction seq=\"5\"/>", "6 at 6 <transaction seq=\"6\"/>",
        "end after 6"}},
      {3,
       4,
       0,
       {"3 at 3 <transaction seq=\"3\"/>", "4 at 4 <transaction seq=\"4\"/>",
        "end after 6"}},
      {0,
       -1,
       4,
       {"1 at 1 <transaction seq=\"1\"/>",
        "2 at 2 <transaction seq=\"2\"><transaction seq=\"3\"/></transaction>",
        "3 at 3 <transaction seq=\"3\"/>", "failed: cannot build 4"}},
  };
  for (const bool ahead : {false, true}) {
    for (const auto& c : cases) {
      platform::XmlElementStream stream(log.c_str(), "transaction", "seq");
      ASSERT_EQ(stream.count(), 6u);
      TransactionReader reader(
          stream, log, c.first, c.last, [&](const TOVIDOM_Node& transaction) {
            const TOVIDOM_Element element(transaction);
            if (element->getAttribute("seq") ==
                std::to_string(c.failingSeq).c_str()) {
              throw new TOVException("cannot build " +
                                     std::to_string(c.failingSeq));
            }
            return builtFrom(transaction);
          });
      ReadAhead readAhead(reader, ahead);
      EXPECT_EQ(steps(readAhead), c.expected)
          << (ahead ? "ahead" : "in-line") << ", from " << c.first;
      // Asked again after the last step: nothing more.
      EXPECT_EQ(readAhead.next().kind, Kind::kEnd);
    }
  }
}

// A log of `transactions` each carrying `payloadBytes` bytes, numbered
// from 1, then `tail` more out of the range (numbered 0).
std::string logOf(int transactions, std::size_t payloadBytes, int tail = 0) {
  std::string text = "<log>";
  for (int seq = 1; seq <= transactions; ++seq) {
    text += "<transaction seq='" + std::to_string(seq) + "'>" +
            std::string(payloadBytes, 'x') + "</transaction>";
  }
  for (int left = 0; left < tail; ++left) text += "<transaction seq='0'/>";
  return text + "</log>";
}

// A replay that stops early (a rejection) leaves the reader waiting: it is
// stopped and waited for. Until then it reads no further ahead than its
// bound, in steps and in bytes, and a large request alone, so that memory
// stays flat whatever the log holds.
TEST(ReadAheadTest, ReadsNoFurtherAheadThanItsBound) {
  const struct {
    int transactions;
    std::size_t payloadBytes;
    int taken;      // by the replay, the last one still in its hands
    int mostBuilt;  // those taken and those queued
  } cases[] = {
      {1000, 10, 1, 1 + 64},
      {100, 200 * 1024, 1, 1 + 6},
      // The second is being sent: the third is not read meanwhile.
      {5, 2 << 20, 2, 2},
  };
  for (const auto& c : cases) {
    TempDir dir;
    const std::string log =
        dir.write("log.xml", logOf(c.transactions, c.payloadBytes));
    platform::XmlElementStream stream(log.c_str(), "transaction", "seq");
    stream.count();
    std::atomic<int> built{0};
    TransactionReader reader(stream, log, 1, -1,
                             [&](const TOVIDOM_Node& transaction) {
                               ++built;
                               return builtFrom(transaction);
                             });
    {
      ReadAhead readAhead(reader, true);
      for (int seq = 1; seq <= c.taken; ++seq) {
        EXPECT_EQ(readAhead.next().seq, seq);
      }
      // Until the reader has stood still for a while.
      int seen = -1;
      for (int wait = 0; wait < 100 && built.load() != seen; ++wait) {
        seen = built.load();
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
      }
      EXPECT_LE(built.load(), c.mostBuilt) << c.payloadBytes << " bytes each";
    }
    EXPECT_LT(built.load(), c.transactions);
  }
}

// A replay that stops before a long stretch out of the range does not wait
// for the reader to pass over it.
TEST(ReadAheadTest, AStoppedReplayDoesNotWaitForTheRestOfTheLog) {
  TempDir dir;
  constexpr int kTail = 300'000;
  const std::string log = dir.write("log.xml", logOf(1, 10, kTail));
  platform::XmlElementStream stream(log.c_str(), "transaction", "seq");
  stream.count();
  TransactionReader reader(stream, log, 1, -1, builtFrom);
  {
    ReadAhead readAhead(reader, true);
    EXPECT_EQ(readAhead.next().seq, 1);
  }
  const ReadTransaction after = reader.next();
  EXPECT_EQ(after.kind, Kind::kEnd);
  EXPECT_LT(after.looked, 1 + kTail) << "the reader read the log to its end";
}

}  // namespace
