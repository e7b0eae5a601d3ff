#include "platform/xml/xml_document.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <memory>
#include <sstream>

#include "platform/core/tov_exception.h"
#include "tests/test_support.h"
#include "tests/xml_support.h"

namespace {

using test_support::newDocument;
using test_support::parseText;
using test_support::TempDir;
using test_support::written;

std::string parseError(const std::string& path) {
  TOVIDOM_Document document = newDocument();
  return test_support::failureOf(
      [&] { TOVIDOM_Parser(0).parse(path.c_str(), document); });
}

std::string textError(const std::string& text) {
  return test_support::failureOf([&] { parseText(text); });
}

TEST(XmlDocumentTest, KeepsCommentsAndInnerSpaceButNotDeclarationOrDoctype) {
  const TOVIDOM_Document document = parseText(
      "<?xml version=\"1.0\"?>\n<!DOCTYPE a>\n<!--note-->\n<a> x <b/>\n</a>\n");
  const TOVIDOM_Node first = document->getFirstChild();
  EXPECT_EQ(first->getNodeValue(), "note");
  EXPECT_EQ(written(document), "<!--note--><a> x <b/>\n</a>");

  const TOVIDOM_Document plain = parseText("<?xml version=\"1.0\"?>\n<a/>");
  EXPECT_EQ(written(plain->getFirstChild()), "<a/>");
}

TEST(XmlDocumentTest, ElementsByTagNameIncludeRootAndNestedInDocumentOrder) {
  const TOVIDOM_Document document = parseText(
      "<t seq='1'><x><t seq='2'><t seq='3'/></t></x><t seq='4'/></t>");
  const TOVIDOM_NodeList list = document->getElementsByTagName("t");
  ASSERT_EQ(list->getLength(), 4u);
  for (unsigned long i = 0; i < 4; ++i) {
    EXPECT_EQ(TOVIDOM_Element(list->item(i))->getAttribute("seq"),
              std::to_string(i + 1).c_str());
  }
  EXPECT_FALSE(list->item(4) != nullptr);
  EXPECT_EQ(TOVIDOM_Element(list->item(0))->getAttribute("missing"), "");
}

TEST(XmlDocumentTest, HandlesKeepTheirDocumentAlive) {
  TOVIDOM_Node node;
  TOVIDOM_NodeList list;
  {
    const TOVIDOM_Document document = parseText("<a><b>text</b></a>");
    list = document->getElementsByTagName("b");
    node = list->item(0)->getFirstChild();
  }
  EXPECT_EQ(node->getNodeValue(), "text");
  EXPECT_EQ(list->getLength(), 1u);
}

TEST(XmlDocumentTest, BuildsImportsAndWritesWithoutTouchingTheSource) {
  const TOVIDOM_Document source = parseText("<p a=\"1\"><q>&lt;t&gt;</q></p>");
  TOVIDOM_Document target = newDocument();
  TOVIDOM_Element root = target->createElement("r");
  root->setAttribute("k", "v\"&");
  root->setAttribute("k", "w");
  EXPECT_FALSE(target->getFirstChild() != nullptr);  // not yet in the tree
  root->appendChild(target->importNode(source->getFirstChild(), 1));
  root->appendChild(target->importNode(source->getFirstChild(), 0));
  target->appendChild(root);
  EXPECT_EQ(written(target),
            "<r k=\"w\"><p a=\"1\"><q>&lt;t&gt;</q></p><p a=\"1\"/></r>");
  EXPECT_EQ(written(source), "<p a=\"1\"><q>&lt;t&gt;</q></p>");
  EXPECT_EQ(target->getElementsByTagName("p")->getLength(), 2u);
}

TEST(XmlDocumentTest, RejectsMisuseWithAnException) {
  TOVIDOM_Document one = newDocument();
  TOVIDOM_Document two = newDocument();
  TOVIDOM_Element element = two->createElement("x");
  using test_support::failureOf;
  EXPECT_EQ(failureOf([&] { one->appendChild(element); }),
            "appendChild: the node belongs to another document");
  EXPECT_EQ(failureOf([&] { one->importNode(two, 1); }),
            "importNode: a document cannot be imported");
  EXPECT_EQ(failureOf([] { TOVIDOM_Node()->getFirstChild(); }),
            "getFirstChild called on an empty node");
  const TOVIDOM_Node text =
      parseText("<a>t</a>")->getFirstChild()->getFirstChild();
  EXPECT_EQ(failureOf([&] { TOVIDOM_Element{text}; }),
            "The node is not an element");
  TOVIDOM_Document parsed = parseText("<a/>");
  EXPECT_EQ(failureOf([&] { TOVIDOM_Parser(0).parse("<b/>", 4, parsed); }),
            "parse needs an empty document");
}

TEST(XmlDocumentTest, ParseErrorsNameTheSourcePositionAndReason) {
  TempDir dir;
  EXPECT_EQ(parseError(dir.path() + "/none.xml"),
            "Failed to open \"" + dir.path() +
                "/none.xml\": No such file or directory");
  EXPECT_EQ(parseError(""), "Failed to open \"\": No such file or directory");
  EXPECT_EQ(parseError(dir.path()),
            "Failed to open \"" + dir.path() + "\": not a regular file");
  const std::string device = test_support::kNullDevice;
  EXPECT_EQ(parseError(device),
            "Failed to open \"" + device + "\": not a regular file");

  const std::string empty = dir.write("empty.xml", "");
  EXPECT_EQ(parseError(empty), "Failed to parse \"" + empty +
                                   "\" at line 1, column 1: the file is empty");
  const std::string mismatch = dir.write("m.xml", "<a>\n  <b></c>\n</a>");
  EXPECT_EQ(parseError(mismatch), "Failed to parse \"" + mismatch +
                                      "\" at line 2, column 8: mismatched tag");

  EXPECT_EQ(textError("<a/>\n<b/>"),
            "Failed to parse the in-memory text at line 2, column 1: junk "
            "after document element");
  EXPECT_EQ(textError("<a/>tail"),
            "Failed to parse the in-memory text at line 1, column 5: junk "
            "after document element");
  // Positions count characters (a UTF-16 byte-order mark among them), and
  // a mismatched tag is placed at its name.
  EXPECT_EQ(textError(std::string("\xFF\xFE<\0a\0>\0<\0/\0b\0>\0", 16)),
            "Failed to parse the in-memory text at line 1, column 7: "
            "mismatched tag");
  EXPECT_EQ(textError(std::string("<\0\0\0a\0\0\0>\0\0\0<\0\0\0/\0\0\0b\0\0\0>"
                                  "\0\0\0",
                                  28)),
            "Failed to parse the in-memory text at line 1, column 6: "
            "mismatched tag");
  EXPECT_EQ(textError("<!--c-->  "),
            "Failed to parse the in-memory text at line 1, column 11: no "
            "element found");
  EXPECT_EQ(textError(std::string("<a>x\0y</a>", 10)),
            "Failed to parse the in-memory text at line 1, column 5: not "
            "well-formed (invalid token)");
  EXPECT_EQ(textError("<a>\xC3\x28</a>"),
            "Failed to parse the in-memory text at line 1, column 4: not "
            "well-formed (invalid token)");
}

TEST(XmlDocumentTest, AcceptsWhatIsWellFormed) {
  // Length 0 is an empty body, not an error.
  TOVIDOM_Document empty = newDocument();
  EXPECT_EQ(TOVIDOM_Parser(0).parse("", 0, empty), 0);
  EXPECT_FALSE(empty->getFirstChild() != nullptr);

  EXPECT_EQ(
      written(parseText("\xEF\xBB\xBF<a>caf\xC3\xA9 \xF0\x9F\x98\x80</a>")),
      "<a>caf\xC3\xA9 \xF0\x9F\x98\x80</a>");
  EXPECT_EQ(written(parseText("<?xml version='1.0' encoding='ISO-8859-1'?>"
                              "<a>caf\xE9</a>")),
            "<a>caf\xC3\xA9</a>");
  const std::string utf16("\xFF\xFE<\0a\0/\0>\0", 10);
  EXPECT_EQ(written(parseText(utf16)), "<a/>");
  const std::string utf32("\0\0\xFE\xFF\0\0\0<\0\0\0a\0\0\0/\0\0\0>", 20);
  EXPECT_EQ(written(parseText(utf32)), "<a/>");
}

TEST(XmlDocumentTest, DocumentTypesAreAppliedAndExternalEntitiesNeverRead) {
  // Internal entities expand; declared defaults and types apply.
  EXPECT_EQ(written(parseText("<!DOCTYPE a [<!ENTITY e \"<b>&#38;amp;</b>\">"
                              "<!ATTLIST a d CDATA 'x' t NMTOKENS #IMPLIED>]>"
                              "<a t='  p   q '>&e;</a>")),
            "<a t=\"p q\" d=\"x\"><b>&amp;</b></a>");
  EXPECT_EQ(textError("<!DOCTYPE a [<!ENTITY e SYSTEM \"/etc/passwd\">]>"
                      "<a>&e;</a>"),
            "Failed to parse the in-memory text at line 1, column 51: the "
            "external entity \"e\" is never read");
  EXPECT_EQ(textError("<!DOCTYPE a SYSTEM \"a.dtd\"><a>&e;</a>"),
            "Failed to parse the in-memory text at line 1, column 31: the "
            "entity \"e\" is declared outside the document, which is never "
            "read");
  // A billion laughs: refused at once, in bounded memory.
  std::string laughs = "<!DOCTYPE t [<!ENTITY l0 \"lol\">";
  for (int i = 1; i < 10; ++i) {
    laughs += "<!ENTITY l" + std::to_string(i) + " \"";
    for (int j = 0; j < 10; ++j) laughs += "&l" + std::to_string(i - 1) + ";";
    laughs += "\">";
  }
  laughs += "]><t>&l9;</t>";
  EXPECT_NE(textError(laughs).find("amplification factor"), std::string::npos)
      << textError(laughs);
  // Character references at the edges of what XML carries.
  EXPECT_EQ(written(parseText("<a>&#9;&#xD7FF;&#xE000;&#xFFFD;&#x10000;"
                              "&#x10FFFF;</a>")),
            "<a>\t\xED\x9F\xBF\xEE\x80\x80\xEF\xBF\xBD\xF0\x90\x80\x80"
            "\xF4\x8F\xBF\xBF</a>");
  for (const char* bad : {"&#0;", "&#1;", "&#xD800;", "&#xFFFE;", "&#x110000;",
                          "&#RE;", "&amp"}) {
    EXPECT_NE(textError(std::string("<a>a") + bad + "b</a>"), "<no failure>")
        << bad;
  }
}

TEST(XmlDocumentTest, TheWriterCarriesLineEndsAndTabsExactly) {
  // As references where a reader would change them: CR anywhere, tab and
  // line feed in attribute values.
  const TOVIDOM_Document read =
      parseText("<a v='&#9;&#10;&#13;'>x&#13;y\n\tz</a>");
  const std::string text = written(read);
  EXPECT_EQ(text, "<a v=\"&#09;&#10;&#13;\">x&#13;y\n\tz</a>");
  EXPECT_EQ(written(parseText(text)), text);
}

TEST(XmlDocumentTest, DeepNestingNeitherOverflowsCopyNorWrite) {
  constexpr int kDepth = 200000;
  // Built from the inside out: each append then checks a short ancestry.
  TOVIDOM_Document source = newDocument();
  TOVIDOM_Node inner = source->createElement("t");
  for (int i = 1; i < kDepth; ++i) {
    TOVIDOM_Node outer = source->createElement("t");
    outer->appendChild(inner);
    inner = outer;
  }
  source->appendChild(inner);
  TOVIDOM_Document copy = newDocument();
  copy->appendChild(copy->importNode(source->getFirstChild(), 1));
  EXPECT_EQ(copy->getElementsByTagName("t")->getLength(),
            static_cast<unsigned long>(kDepth));
  EXPECT_EQ(written(copy).size(), 7u * kDepth - 3);  // the innermost is <t/>
}

TEST(XmlDocumentTest, ParsingRefusesNestingBeyondTheLimit) {
  // Text inside the innermost element is no level of its own.
  const auto nested = [](int depth) {
    std::string text;
    for (int i = 0; i < depth; ++i) text += "<t>";
    text += "x";
    for (int i = 0; i < depth; ++i) text += "</t>";
    return text;
  };
  EXPECT_EQ(parseText(nested(2048))->getElementsByTagName("t")->getLength(),
            2048u);
  EXPECT_EQ(textError(nested(2049)),
            "Failed to parse the in-memory text at line 1, column 6145: "
            "elements nested "
            "deeper than 2048 levels");
  EXPECT_NE(textError(nested(1000000)), "<no failure>");
}

}  // namespace
