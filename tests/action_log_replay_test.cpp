#include <gtest/gtest.h>

#include "tests/client_fixture.h"

namespace {

const std::string kEndReplay =
    "<mdprovider type=\"project\" action=\"endReplay\" model=\"Sales\"/>";

std::string sent(const std::string& transaction) {
  return "<mdprovider type=\"action\" action=\"execute\" model=\"Sales\">" +
         transaction + "</mdprovider>";
}

class ActionLogReplayTest : public ClientFixture {
 protected:
  // Replays `log` under these options; returns the console output.
  std::string replay(const std::string& log,
                     std::vector<std::string> words = {}) {
    words.insert(words.begin(), {"-s", dir.write("log.xml", log)});
    start(words);
    ::testing::internal::CaptureStdout();
    EXPECT_TRUE(client->replayActionLog());
    return ::testing::internal::GetCapturedStdout();
  }
};

TEST_F(ActionLogReplayTest, ConsoleShowsTheCountAndEachSelectedTransaction) {
  const std::string log =
      "<log><transaction seq='1'/><transaction seq='2'/><transaction "
      "seq='3'/></log>";
  EXPECT_EQ(replay(log),
            "Transaction count: 3\n\n\nTransaction: 1\n\nTransaction: "
            "2\n\nTransaction: 3\n");
  EXPECT_EQ(requests().size(), 4u);
  EXPECT_EQ(replay(log, {"-b4"}), "Transaction count: 3\n\n");
  EXPECT_EQ(requests(), std::vector<std::string>{kEndReplay});
}

TEST_F(ActionLogReplayTest, SendsInDocumentOrderNestedOnesAfterTheirOuter) {
  replay(
      "<log><transaction seq='3'/><transaction seq='1'/><transaction "
      "seq='2'/></log>");
  EXPECT_EQ(requests(), (std::vector<std::string>{
                            sent("<transaction seq=\"3\"/>"),
                            sent("<transaction seq=\"1\"/>"),
                            sent("<transaction seq=\"2\"/>"), kEndReplay}));

  const std::string nested =
      "<transaction seq=\"1\"><a/><transaction seq=\"5\"/></transaction>";
  EXPECT_EQ(replay(nested),
            "Transaction count: 2\n\n\nTransaction: 1\n\nTransaction: 5\n");
  EXPECT_EQ(requests(),
            (std::vector<std::string>{
                sent(nested), sent("<transaction seq=\"5\"/>"), kEndReplay}));
  replay(nested, {"-b2"});
  EXPECT_EQ(requests(), (std::vector<std::string>{
                            sent("<transaction seq=\"5\"/>"), kEndReplay}));
}

TEST_F(ActionLogReplayTest, SeqTextIsReadAsAtoiReadsIt) {
  const std::string log =
      "<log><transaction seq='007'/><transaction seq=' 12'/><transaction "
      "seq='12abc'/>"
      "<transaction seq='+5'/><transaction/><transaction "
      "seq='abc'/><transaction seq='-3'/>"
      "<transaction seq='123456789012345678901234567890'/><transaction "
      "seq='0x10'/></log>";
  EXPECT_EQ(replay(log),
            "Transaction count: 9\n\n"
            "\nTransaction: 7\n\nTransaction: 12\n\nTransaction: "
            "12\n\nTransaction: 5\n"
            "\nTransaction: 0\n\nTransaction: 0\n\nTransaction: 2147483647\n"
            "\nTransaction: 0\n");
  EXPECT_EQ(replay(log, {"-b-3", "-e-3"}),
            "Transaction count: 9\n\n\nTransaction: -3\n");
}

TEST_F(ActionLogReplayTest, MinusOneLiftsTheUpperBoundAndMinusTwoDoesNot) {
  const std::string log =
      "<log><transaction seq='-5'/><transaction seq='-2'/><transaction "
      "seq='9'/></log>";
  EXPECT_EQ(replay(log, {"-b-10", "-e-1"}),
            "Transaction count: 3\n\n\nTransaction: -5\n\nTransaction: "
            "-2\n\nTransaction: 9\n");
  EXPECT_EQ(replay(log, {"-b-10", "-e-2"}),
            "Transaction count: 3\n\n\nTransaction: -5\n\nTransaction: -2\n");
  EXPECT_EQ(replay(log, {"-b5", "-e4"}), "Transaction count: 3\n\n");
  EXPECT_EQ(requests(), std::vector<std::string>{kEndReplay});
}

TEST_F(ActionLogReplayTest, EdgesOfTheScript) {
  EXPECT_EQ(replay("<log><other seq='1'/></log>"), "Transaction count: 0\n\n");
  EXPECT_EQ(requests(), std::vector<std::string>{kEndReplay});
  EXPECT_EQ(replay("<transaction seq='1'/>"),
            "Transaction count: 1\n\n\nTransaction: 1\n");

  start({});  // no script: nothing at all
  ::testing::internal::CaptureStdout();
  EXPECT_TRUE(client->replayActionLog());
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
  EXPECT_TRUE(requests().empty());
}

// The log is read twice and held one outermost transaction at a time: what
// is sent must not show it.
TEST_F(ActionLogReplayTest,
       OneOutermostTransactionAtATimeSendsWhatTheWholeLogWould) {
  const std::string first =
      "<transaction seq=\"1\"><a/><transaction seq=\"2\"><transaction "
      "seq=\"3\"/></transaction></transaction>";
  const std::string second =
      "<transaction seq=\"4\"><b><transaction seq=\"5\"/></b>"
      "<transaction seq=\"6\"/></transaction>";
  EXPECT_EQ(replay("<log>" + first + "<x>" + second + "</x></log>", {"-b2"}),
            "Transaction count: 6\n\n\nTransaction: 2\n\nTransaction: 3\n"
            "\nTransaction: 4\n\nTransaction: 5\n\nTransaction: 6\n");
  EXPECT_EQ(requests(), (std::vector<std::string>{
                            sent("<transaction seq=\"2\"><transaction "
                                 "seq=\"3\"/></transaction>"),
                            sent("<transaction seq=\"3\"/>"), sent(second),
                            sent("<transaction seq=\"5\"/>"),
                            sent("<transaction seq=\"6\"/>"), kEndReplay}));

  // What the document type declares applies inside every transaction.
  EXPECT_EQ(
      replay("<!DOCTYPE log [<!ENTITY who 'Ann &amp; Bo'>"
             "<!ATTLIST transaction kind CDATA 'plain'>"
             "<!ATTLIST t id ID #IMPLIED>]>"
             "<log><transaction seq='1'>&who;</transaction>"
             "<transaction seq='2' kind='odd'><t id='  x  '/></transaction>"
             "</log>"),
      "Transaction count: 2\n\n\nTransaction: 1\n\nTransaction: 2\n");
  EXPECT_EQ(requests(),
            (std::vector<std::string>{
                sent("<transaction seq=\"1\" kind=\"plain\">Ann &amp; "
                     "Bo</transaction>"),
                sent("<transaction seq=\"2\" kind=\"odd\"><t "
                     "id=\"x\"/></transaction>"),
                kEndReplay}));
}

TEST_F(ActionLogReplayTest, ALogThatIsNotWellFormedNearItsEndSendsNothing) {
  std::string log = "<log>";
  for (int i = 0; i < 20000; ++i) log += "<transaction seq='1'/>";
  log += "<transaction seq='2'></log>";
  const std::string path = dir.write("log.xml", log);
  start({"-s", path});
  ::testing::internal::CaptureStdout();
  const std::string failure =
      test_support::failureOf([&] { client->replayActionLog(); });
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(failure, "Failed to parse \"" + path +
                         "\" at line 1, column 440029: mismatched tag");
  EXPECT_TRUE(requests().empty());
}

// A transaction cut from its log keeps the namespaces of its names: what
// its ancestors declared for them goes with it, and nothing more.
TEST_F(ActionLogReplayTest, ATransactionCarriesTheDeclarationsItsNamesNeed) {
  replay(
      "<log xmlns='urn:d' xmlns:q='urn:q' xmlns:unused='urn:u'><q:wrap>"
      "<transaction seq='1'><q:x q:a='1' b='2' xml:lang='en'/>"
      "<transaction seq='2' xmlns:r='urn:r'><r:y/><q:z/></transaction>"
      "</transaction></q:wrap>"
      "<q:wrap xmlns:q='urn:other'><transaction xmlns='' seq='3'><q:x/>"
      "</transaction></q:wrap></log>");
  const std::string inner = "<r:y/><q:z/></transaction>";
  EXPECT_EQ(requests(),
            (std::vector<std::string>{
                sent("<transaction xmlns=\"urn:d\" xmlns:q=\"urn:q\" seq=\"1\">"
                     "<q:x q:a=\"1\" b=\"2\" xml:lang=\"en\"/>"
                     "<transaction seq=\"2\" xmlns:r=\"urn:r\">" +
                     inner + "</transaction>"),
                sent("<transaction xmlns=\"urn:d\" xmlns:q=\"urn:q\" seq=\"2\" "
                     "xmlns:r=\"urn:r\">" +
                     inner),
                sent("<transaction xmlns:q=\"urn:other\" xmlns=\"\" seq=\"3\">"
                     "<q:x/></transaction>"),
                kEndReplay}));
}

}  // namespace
