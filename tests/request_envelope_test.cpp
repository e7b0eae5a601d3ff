#include <gtest/gtest.h>

#include <sstream>

#include "platform/core/resources.h"
#include "platform/xml/xml_document.h"
#include "tests/client_fixture.h"
#include "tests/xml_support.h"

namespace {

using test_support::written;
const auto parsed = test_support::parseText;

using RequestEnvelopeTest = ClientFixture;

TEST_F(RequestEnvelopeTest, ProjectRequestsCarryTypeActionAndModelOnly) {
  EXPECT_TRUE(client->openModel());
  EXPECT_TRUE(client->createModel());
  EXPECT_TRUE(client->finishReplay());
  EXPECT_TRUE(client->closeModel());
  EXPECT_EQ(
      requests(),
      (std::vector<std::string>{
          "<mdprovider type=\"project\" action=\"open\" model=\"Sales\"/>",
          "<mdprovider type=\"project\" action=\"create\" model=\"Sales\"/>",
          "<mdprovider type=\"project\" action=\"endReplay\" model=\"Sales\"/>",
          "<mdprovider type=\"project\" action=\"close\" model=\"Sales\"/>",
      }));
  // Each request is its text and exactly one NUL.
  const std::string raw = test_support::readFile(tracePath());
  EXPECT_EQ(std::count(raw.begin(), raw.end(), '\0'), 4);
  EXPECT_EQ(raw.back(), '\0');
}

TEST_F(RequestEnvelopeTest, CarriesOnlyThePayloadsFirstChild) {
  TOVIDOM_Document commented = parsed("<!--before--><root><x/></root>");
  EXPECT_TRUE(client->processRequest("t", "a", commented));

  TOVIDOM_Document two =
      TOVIDOM_DOMImplementation::getInstance()->createDocument();
  two->appendChild(two->createElement("first"));
  two->appendChild(two->createElement("second"));
  EXPECT_TRUE(client->processRequest("t", "a", two));

  TOVIDOM_Document none;
  EXPECT_TRUE(client->processRequest("t", "a", none));
  TOVIDOM_Document empty =
      TOVIDOM_DOMImplementation::getInstance()->createDocument();
  EXPECT_TRUE(client->processRequest("t", "a", empty));
  TOVIDOM_Node noNode;
  EXPECT_TRUE(client->processNodeRequest("t", "a", noNode));

  const std::string bare =
      "<mdprovider type=\"t\" action=\"a\" model=\"Sales\"/>";
  EXPECT_EQ(requests(), (std::vector<std::string>{
                            "<mdprovider type=\"t\" action=\"a\" "
                            "model=\"Sales\"><!--before--></mdprovider>",
                            "<mdprovider type=\"t\" action=\"a\" "
                            "model=\"Sales\"><first/></mdprovider>",
                            bare, bare, bare}));
}

TEST_F(RequestEnvelopeTest,
       NodeRequestCarriesADeepCopyAndLeavesTheSourceAlone) {
  const std::string log =
      "<log><transaction seq=\"1\" by=\"a&amp;b\"><set k=\"v\"><value>x "
      "y</value></set>"
      "<!--n--></transaction></log>";
  TOVIDOM_Document source = parsed(log);
  TOVIDOM_Node transaction =
      source->getElementsByTagName("transaction")->item(0);
  EXPECT_TRUE(client->processNodeRequest("action", "execute", transaction));
  EXPECT_TRUE(client->processRequest("action", "execute", source));
  EXPECT_EQ(written(source), log);

  EXPECT_EQ(
      requests(),
      (std::vector<std::string>{
          "<mdprovider type=\"action\" action=\"execute\" model=\"Sales\">"
          "<transaction seq=\"1\" by=\"a&amp;b\"><set k=\"v\"><value>x "
          "y</value></set>"
          "<!--n--></transaction></mdprovider>",
          "<mdprovider type=\"action\" action=\"execute\" model=\"Sales\">" +
              log + "</mdprovider>"}));
}

TEST_F(RequestEnvelopeTest, AttributeValuesAreEscaped) {
  start({"-c", "Q\"<&>"});
  TOVIDOM_Document empty;
  EXPECT_TRUE(client->processRequest("a b", "\t", empty));
  EXPECT_EQ(requests(), (std::vector<std::string>{
                            "<mdprovider type=\"a b\" action=\"&#09;\" "
                            "model=\"Q&quot;&lt;&amp;>\"/>"}));
}

}  // namespace
