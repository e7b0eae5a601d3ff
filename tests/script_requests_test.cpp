#include <gtest/gtest.h>

#include <memory>

#include "platform/core/tov_exception.h"
#include "tests/client_fixture.h"

namespace {

using ScriptRequestsTest = ClientFixture;

TEST_F(ScriptRequestsTest, MaAndXsSendTheScriptAndDifferOnlyInTypeAndAction) {
  const std::string script =
      "<?xml version=\"1.0\"?>\n<query a=\"1\">\n  <select/>\n</query>\n";
  const std::string path = dir.write("query.xml", script);
  EXPECT_TRUE(client->processScriptRequest("ma", "query", path.c_str()));
  EXPECT_TRUE(client->processScriptRequest("xs", "transform", path.c_str()));
  EXPECT_EQ(requests(),
            (std::vector<std::string>{
                "<mdprovider type=\"ma\" action=\"query\" model=\"Sales\">"
                "<query a=\"1\">\n  <select/>\n</query></mdprovider>",
                "<mdprovider type=\"xs\" action=\"transform\" model=\"Sales\">"
                "<query a=\"1\">\n  <select/>\n</query></mdprovider>"}));
  EXPECT_EQ(test_support::readFile(path), script);
}

TEST_F(ScriptRequestsTest, ACommentBeforeTheRootIsCarriedInsteadOfTheRoot) {
  const std::string path = dir.write("s.xml", "<?pi data?><!--c--><root/>");
  EXPECT_TRUE(client->processScriptRequest("ma", "query", path.c_str()));
  EXPECT_EQ(requests(),
            std::vector<std::string>{
                "<mdprovider type=\"ma\" action=\"query\" model=\"Sales\">"
                "<?pi data?></mdprovider>"});
}

TEST_F(ScriptRequestsTest, AScriptThatCannotBeReadIsAFailureNotAnEmptyRequest) {
  for (const std::string& path : {std::string(), dir.path() + "/missing.xml",
                                  dir.write("bad.xml", "<a><b></a>")}) {
    const std::string failure = test_support::failureOf(
        [&] { client->processScriptRequest("ma", "query", path.c_str()); });
    EXPECT_NE(failure.find("\"" + path + "\""), std::string::npos) << failure;
  }
  EXPECT_TRUE(requests().empty());
}

}  // namespace
