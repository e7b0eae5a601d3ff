// The stand-in provider's model: what transactions do to it, what queries
// and stylesheets read of it, and the shape of every answer.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <regex>
#include <string>

#include "stand_in_provider/answer_stamp.h"
#include "stand_in_provider/provider_rules.h"

namespace {

struct Sent {
  int status;
  std::string body;  // without the root's `time` and `id`
};

// The root's volatile attributes, last on it and in their formats.
const std::regex kVolatile(
    "^(<[a-z]+[^>]*?) time=\"[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:"
    "[0-9]{2}\\.[0-9]{3}Z\" id=\"[0-9a-f]{16}\"(/?>)");

std::string envelope(const std::string& type, const std::string& action,
                     const std::string& payload) {
  return "<mdprovider type=\"" + type + "\" action=\"" + action +
         "\" model=\"P\">" + payload + "</mdprovider>";
}

class StandInModelTest : public ::testing::Test {
 protected:
  StandInModelTest() { send(envelope("project", "create", "")); }

  Sent send(const std::string& body, bool changed = false) {
    const RuleAnswer answer = rules.answer(body, changed);
    std::string masked = std::regex_replace(answer.body, kVolatile, "$1$2");
    EXPECT_NE(masked, answer.body) << "time and id: " << answer.body;
    return {answer.status, masked};
  }
  Sent execute(const std::string& actions, const std::string& seq = "1") {
    return send(envelope(
        "action", "execute",
        "<transaction seq=\"" + seq + "\">" + actions + "</transaction>"));
  }
  // Every object with every property.
  std::string model() {
    const std::string body =
        send(envelope("ma", "query", "<query><select/></query>")).body;
    const std::size_t start = body.find("<select>");
    return start == std::string::npos ? body : body.substr(start);
  }

  ProviderRules rules;
};

const std::string kRegion =
    "<action name='createObject' type='Dimension' id='Region'/>"
    "<action name='setProperty' object='Region' property='caption'>Sales "
    "region</action>"
    "<action name='createObject' type='Level' parent='Region' id='Country'/>";

TEST_F(StandInModelTest, ProjectRulesAreKept) {
  EXPECT_EQ(send("").status, 400) << "the authentication probe";
  EXPECT_EQ(send("<other type='a' action='b' model='P'/>").status, 400);
  EXPECT_EQ(send(envelope("project", "create", "")).status, 409);
  EXPECT_EQ(send("<mdprovider type='project' action='open' model='Q'/>").status,
            404);
  EXPECT_EQ(execute(kRegion).status, 200);
  EXPECT_EQ(send(envelope("project", "close", "")).body,
            "<answer type=\"project\" action=\"close\" status=\"ok\"/>");
  EXPECT_EQ(execute("").body, "<error status=\"409\">project not open</error>");
  EXPECT_EQ(send(envelope("project", "open", "")).status, 200);
  EXPECT_NE(model().find("Sales region"), std::string::npos)
      << "a project keeps its model while it is closed";
}

TEST_F(StandInModelTest, ActionsChangeTheModelOrAreRefusedWithAReason) {
  EXPECT_EQ(execute(kRegion).body,
            "<answer type=\"action\" action=\"execute\" status=\"ok\">"
            "<transaction seq=\"1\"><object id=\"Region\" type=\"Dimension\">"
            "<property name=\"caption\">Sales region</property></object>"
            "<object id=\"Country\" type=\"Level\" parent=\"Region\"/>"
            "</transaction></answer>");
  const std::pair<std::string, std::string> refused[] = {
      {"<action name='createObject' type='T' id='Region'/>",
       "<error status=\"409\">createObject \"Region\": the object exists"
       "</error>"},
      {"<action name='createObject' type='T' id='X' parent='None'/>",
       "<error status=\"404\">createObject \"X\": no parent \"None\"</error>"},
      {"<action name='setProperty' object='None' property='p'>v</action>",
       "<error status=\"404\">setProperty \"None\": no such object</error>"},
      {"<action name='deleteObject' id='None'/>",
       "<error status=\"404\">deleteObject \"None\": no such object</error>"},
      {"<action name='renameObject' id='Region'/>",
       "<error status=\"400\">unknown action \"renameObject\"</error>"},
  };
  for (const auto& [action, answer] : refused) {
    EXPECT_EQ(execute(action).body, answer) << action;
  }
  // setValue makes what it names; deleting takes the children along.
  EXPECT_EQ(execute("<action name='setValue' object='obj1' property='caption' "
                    "user='t'><value>Region 1</value></action>"
                    "<action name='deleteObject' id='Region'/>",
                    "2")
                .body,
            "<answer type=\"action\" action=\"execute\" status=\"ok\">"
            "<transaction seq=\"2\"><object id=\"obj1\"><property "
            "name=\"caption\">Region 1</property></object>"
            "<object id=\"Region\" deleted=\"true\"/>"
            "<object id=\"Country\" deleted=\"true\"/></transaction></answer>");
  EXPECT_EQ(model(),
            "<select><object id=\"obj1\"><property name=\"caption\">Region 1"
            "</property></object></select></answer>");
}

TEST_F(StandInModelTest, ATransactionIsAppliedWholeOrNotAtAll) {
  ASSERT_EQ(execute(kRegion).status, 200);
  const std::string before = model();
  // Every kind of change, then a refusal: the first failure answers.
  const Sent failed = execute(
      "<action name='setProperty' object='Region' property='caption'>New"
      "</action><action name='createObject' type='T' id='New'/>"
      "<action name='deleteObject' id='Region'/>"
      "<action name='deleteObject' id='Region'/>"
      "<action name='unknown'/>");
  EXPECT_EQ(failed.body,
            "<error status=\"404\">deleteObject \"Region\": no such object"
            "</error>");
  EXPECT_EQ(model(), before);
  // The nested transaction is sent by itself too: applied there only.
  const std::string nested =
      "<transaction seq='3'><action name='createObject' type='L' id='City' "
      "parent='Country'/></transaction>";
  EXPECT_EQ(execute("<a/>" + nested, "2").body,
            "<answer type=\"action\" action=\"execute\" status=\"ok\">"
            "<transaction seq=\"2\"/></answer>");
  EXPECT_EQ(send(envelope("action", "execute", nested)).status, 200);
  EXPECT_NE(model().find("<object id=\"City\" type=\"L\" parent=\"Country\"/>"),
            std::string::npos);
}

TEST_F(StandInModelTest, QueriesSelectByTypeAndPropertyWhereAPropertyHolds) {
  ASSERT_EQ(execute(kRegion + "<action name='createObject' type='Dimension' "
                              "id='Time'/><action name='setProperty' "
                              "object='Time' property='owner'>Sales</action>")
                .status,
            200);
  EXPECT_EQ(send(envelope("ma", "query",
                          "<query><select object='Dimension' "
                          "property='caption'/><select object='Level'/>"
                          "</query>"))
                .body,
            "<answer type=\"ma\" action=\"query\" status=\"ok\">"
            "<select object=\"Dimension\" property=\"caption\">"
            "<object id=\"Region\" type=\"Dimension\"><property "
            "name=\"caption\">Sales region</property></object>"
            "<object id=\"Time\" type=\"Dimension\"/></select>"
            "<select object=\"Level\"><object id=\"Country\" type=\"Level\" "
            "parent=\"Region\"/></select></answer>");
  EXPECT_EQ(send(envelope("ma", "query",
                          "<query><select object='Dimension'/><where "
                          "property='owner' equals='Sales'/></query>"))
                .body,
            "<answer type=\"ma\" action=\"query\" status=\"ok\">"
            "<select object=\"Dimension\"><object id=\"Time\" "
            "type=\"Dimension\"><property name=\"owner\">Sales</property>"
            "</object></select></answer>");
}

TEST_F(StandInModelTest, StylesheetsReadTheModelAndRefusalsSayWhy) {
  ASSERT_EQ(execute(kRegion).status, 200);
  const std::string copy =
      "<xsl:stylesheet version='1.0' "
      "xmlns:xsl='http://www.w3.org/1999/XSL/Transform'>"
      "<xsl:template match='/'><xsl:copy-of select='.'/></xsl:template>"
      "</xsl:stylesheet>";
  EXPECT_EQ(send(envelope("xs", "transform", copy)).body,
            "<answer type=\"xs\" action=\"transform\" status=\"ok\">"
            "<model name=\"P\"><object id=\"Country\" type=\"Level\" "
            "parent=\"Region\"/><object id=\"Region\" type=\"Dimension\">"
            "<property name=\"caption\">Sales region</property></object>"
            "</model></answer>");
  const std::string text =
      "<xsl:stylesheet version='1.0' "
      "xmlns:xsl='http://www.w3.org/1999/XSL/Transform'><xsl:output "
      "method='text'/><xsl:template match='/'>a &lt; b</xsl:template>"
      "</xsl:stylesheet>";
  EXPECT_EQ(send(envelope("xs", "transform", text)).body,
            "<answer type=\"xs\" action=\"transform\" status=\"ok\">a &lt; b"
            "</answer>");
  const Sent unknown = send(
      envelope("xs", "transform",
               "<xsl:stylesheet version='1.0' "
               "xmlns:xsl='http://www.w3.org/1999/XSL/Transform'><xsl:tmplate/>"
               "</xsl:stylesheet>"));
  EXPECT_EQ(unknown.status, 400);
  EXPECT_NE(unknown.body.find("tmplate"), std::string::npos) << unknown.body;
  EXPECT_EQ(send(envelope("xs", "transform", "<query/>")).status, 400);
  EXPECT_EQ(send(envelope("xs", "transform", "<!-- none -->")).body,
            "<error status=\"400\">no stylesheet</error>");
  // Nothing outside the two documents, imported or included either.
  const std::string secret = ::testing::TempDir() + "stand_in_secret.xsl";
  std::FILE* file = std::fopen(secret.c_str(), "w");
  ASSERT_NE(file, nullptr);
  std::fputs(
      "<xsl:stylesheet version='1.0' "
      "xmlns:xsl='http://www.w3.org/1999/XSL/Transform'><xsl:template "
      "match='/'>SECRET-ON-DISK</xsl:template></xsl:stylesheet>",
      file);
  std::fclose(file);
  for (const char* element : {"import", "include"}) {
    const Sent read =
        send(envelope("xs", "transform",
                      "<xsl:stylesheet version='1.0' "
                      "xmlns:xsl='http://www.w3.org/1999/XSL/Transform'><xsl:" +
                          std::string(element) + " href='" + secret +
                          "'/></xsl:stylesheet>"));
    EXPECT_EQ(read.status, 400) << element;
    EXPECT_EQ(read.body.find("SECRET-ON-DISK"), std::string::npos);
  }
  std::remove(secret.c_str());
}

TEST_F(StandInModelTest, ADeepChainOfObjectsIsDeletedWhole) {
  std::string actions;
  for (int i = 0; i < 100000; ++i) {
    actions += "<action name=\"createObject\" type=\"Link\" id=\"o" +
               std::to_string(i) + "\"" +
               (i > 0 ? " parent=\"o" + std::to_string(i - 1) + "\"" : "") +
               "/>";
  }
  ASSERT_EQ(execute(actions).status, 200);
  const Sent deleted =
      execute("<action name=\"deleteObject\" id=\"o0\"/>", "2");
  EXPECT_EQ(deleted.status, 200);
  EXPECT_NE(deleted.body.find("<object id=\"o99999\" deleted=\"true\"/>"),
            std::string::npos);
}

TEST_F(StandInModelTest, DifferChangesOneValueOfTheAnswerAndNotTheModel) {
  ASSERT_EQ(execute(kRegion).status, 200);
  const std::string query =
      envelope("ma", "query", "<query><select property='caption'/></query>");
  EXPECT_EQ(send(query, true).body,
            "<answer type=\"ma\" action=\"query\" status=\"ok\">"
            "<select property=\"caption\"><object id=\"Country\" "
            "type=\"Level\" parent=\"Region\"/><object id=\"Region\" "
            "type=\"Dimension\"><property name=\"caption\">Sales region "
            "(changed)</property></object></select></answer>");
  EXPECT_EQ(send(query).body.find("(changed)"), std::string::npos);
  EXPECT_EQ(send(envelope("project", "endReplay", ""), true).body,
            "<answer type=\"project\" action=\"endReplay\" "
            "status=\"changed\"/>");
  const Sent refused = send(envelope("project", "create", ""), true);
  EXPECT_EQ(refused.status, 409);
  EXPECT_EQ(refused.body, "<error status=\"changed\">project exists</error>");
}

TEST(StandInAnswerStampTest, TimeIsUtcWithMillisecondsAndIdsDifferByRun) {
  using std::chrono::milliseconds;
  const std::chrono::system_clock::time_point epoch;
  EXPECT_EQ(isoTime(epoch), "1970-01-01T00:00:00.000Z");
  EXPECT_EQ(isoTime(epoch + milliseconds(951'868'799'999)),
            "2000-02-29T23:59:59.999Z");
  EXPECT_EQ(isoTime(epoch + milliseconds(4'107'542'400'001)),
            "2100-03-01T00:00:00.001Z");
  EXPECT_EQ(isoTime(epoch - milliseconds(1)), "1969-12-31T23:59:59.999Z");

  // Two runs of the same request.
  const std::string body =
      "<mdprovider type='project' action='create' "
      "model='P'/>";
  const std::string first = ProviderRules().answer(body).body;
  const std::string second = ProviderRules().answer(body).body;
  const std::regex id(" id=\"([0-9a-f]{16})\"/>$");
  std::smatch one, two;
  ASSERT_TRUE(std::regex_search(first, one, id)) << first;
  ASSERT_TRUE(std::regex_search(second, two, id)) << second;
  EXPECT_NE(one[1], two[1]);
}

}  // namespace
