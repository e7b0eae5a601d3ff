#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "baseline/body_comparison.h"
#include "baseline/comparison_rules.h"
#include "baseline/difference_text.h"
#include "baseline/request_fingerprint.h"
#include "platform/xml/xml_canonical_form.h"
#include "platform/xml/xml_document.h"
#include "platform/xml/xml_normal_form.h"

namespace {

ComparisonRules rulesOf(const std::string& text) {
  ComparisonRules rules;
  std::string problem;
  EXPECT_TRUE(parseComparisonRules(text, "rules", rules, problem)) << problem;
  return rules;
}

BodyDifference compare(const std::string& answer, const std::string& baseline,
                       const std::string& rules = "") {
  return compareBodies(answer, baseline, rulesOf(rules));
}

std::vector<std::string> listed(const std::string& answer,
                                const std::string& baseline,
                                const std::string& rules = "") {
  return compare(answer, baseline, rules).listed;
}

using Lines = std::vector<std::string>;

TEST(BaselineCompareTest, XmlThatDiffersOnlyInFormIsTheSame) {
  const std::pair<const char*, const char*> same[] = {
      {"<a x='1' y=\"2\"/>", "<a y='2' x='1'></a>"},
      {"<p:a xmlns:p='urn:u' p:k='v'><p:b/></p:a>",
       "<a xmlns='urn:u' xmlns:q='urn:u' q:k='v'><b/></a>"},
      {"<a>&#65;&amp;&lt;&#x42;</a>", "<a>A&#38;<![CDATA[<]]>B</a>"},
      {"<?xml version='1.0'?><!DOCTYPE a [<!ENTITY e 'x'>]><a>&e;</a>",
       "<a>x</a>"},
      {"<a><!-- note --><?pi data?>t<!--x-->u</a>", "<a>tu</a>"},
      {"<a>\n  <b>1</b>\n  <c/>\n</a>", "<a><b>1</b><c/></a>"},
      {"<a>\r\n x</a>", "<a>\n x</a>"},
  };
  for (const auto& [answer, baseline] : same) {
    const BodyDifference result = compare(answer, baseline);
    EXPECT_EQ(result.count, 0u)
        << answer << " / " << baseline << ": "
        << (result.listed.empty() ? "" : result.listed[0]);
  }
  // Text that is not white space only compares exactly; so do namespaces.
  const std::pair<const char*, const char*> different[] = {
      {"<a> x</a>", "<a>x</a>"},
      {"<p:a xmlns:p='urn:u'/>", "<p:a xmlns:p='urn:v'/>"},
      {"<a> </a>", "<a/>"},
      {"<a><b/>t</a>", "<a>t<b/></a>"},
  };
  for (const auto& [answer, baseline] : different) {
    EXPECT_GT(compare(answer, baseline).count, 0u) << answer;
  }
}

TEST(BaselineCompareTest, EachDifferenceHasItsPath) {
  const std::string baseline =
      "<answer><object caption='Sales region'/><object caption='Sales'/>"
      "<note>b</note><note>c</note></answer>";
  EXPECT_EQ(listed("<answer><object caption='Sales region'/><object "
                   "caption='Costs'/><note>a</note><note>c</note></answer>",
                   baseline),
            (Lines{"/answer/object[2]/@caption is \"Costs\" where the "
                   "baseline has \"Sales\"",
                   "/answer/note[1]/text() is \"a\" where the baseline has "
                   "\"b\""}));
  // Siblings are aligned, so one inserted or removed is one difference.
  EXPECT_EQ(listed("<answer><object caption='Sales region'/><object/>"
                   "<object caption='Sales'/><note>b</note><note>c</note>"
                   "</answer>",
                   baseline),
            Lines{"/answer/object[2] is not in the baseline"});
  EXPECT_EQ(listed("<answer><object caption='Sales'/><note>b</note>"
                   "<note>c</note></answer>",
                   baseline),
            Lines{"/answer/object[1] is missing (the baseline has it)"});
  EXPECT_EQ(listed("<answer><note>b</note><object caption='Sales region'/>"
                   "<object caption='Sales'/><note>c</note></answer>",
                   baseline),
            Lines{"/answer has its children in another order: \"note, "
                  "object, object, note\" where the baseline has \"object, "
                  "object, note, note\""});
  EXPECT_EQ(listed("<other/>", "<answer k='1'/>"),
            (Lines{"/other is not in the baseline",
                   "/answer is missing (the baseline has it)"}));
  EXPECT_EQ(listed("<a xmlns='urn:x' n='1'/>", "<a xmlns='urn:x' n='2'/>"),
            Lines{"/ns1:a/@n is \"1\" where the baseline has \"2\""});
}

TEST(BaselineCompareTest, LongListsAreCutButCountedAndTheDiffIsShort) {
  std::string answer = "<a>";
  std::string baseline = "<a>";
  for (int i = 0; i < 120; ++i) {
    answer += "<v>" + std::to_string(i) + "</v>";
    baseline += "<v>" + std::to_string(i) + "x</v>";
  }
  const std::string longValue(200, 'z');
  answer += "<w k='" + longValue + "'/></a>";
  baseline += "<w k='y'/></a>";
  const BodyDifference result = compare(answer, baseline);
  EXPECT_EQ(result.count, 121u);
  ASSERT_EQ(result.listed.size(), BodyDifference::kListed);
  EXPECT_EQ(result.listed[0],
            "/a/v[1]/text() is \"0\" where the baseline has \"0x\"");
  const std::size_t lines = static_cast<std::size_t>(
      std::count(result.diff.begin(), result.diff.end(), '\n'));
  EXPECT_LE(lines, BodyDifference::kDiffLines + 1);
  const std::string head =
      "--- baseline\n+++ answer\n@@ -1,243 +1,243 @@\n a\n   v\n-    "
      "\"0x\"\n+    \"0\"\n";
  EXPECT_EQ(result.diff.substr(0, head.size()), head);
  EXPECT_EQ(result.diff.substr(result.diff.size() - 40),
            "\n... (the rest of the diff is left out)\n");
  const BodyDifference cut = compare("<w k='" + longValue + "'/>", "<w/>");
  EXPECT_EQ(cut.listed, Lines{"/w/@k is not in the baseline"});
  const BodyDifference value =
      compare("<w k='" + longValue + "'/>", "<w k=''/>");
  EXPECT_EQ(value.listed, Lines{"/w/@k is \"" + std::string(80, 'z') +
                                "\"... where the baseline has \"\""});
}

TEST(BaselineCompareTest, RulesIgnoreMaskAndTakeChildrenAsSets) {
  const std::string rules =
      "# what changes from run to run\n"
      "ignore //@time\n"
      "ignore //log\n"
      "  mask //stamp  \n"
      "mask //@id\n"
      "unordered /answer/list by @key\n"
      "unordered /answer/set\n";
  const std::string baseline =
      "<answer time='1' id='7'><stamp at='1'>10:00</stamp><log>a</log>"
      "<list><i key='1'>x</i><i key='2'>y</i></list>"
      "<set><e>1</e><e>2</e></set></answer>";
  EXPECT_EQ(compare("<answer id='8' time='2'><stamp>11:00<b/></stamp>"
                    "<list><i key='2'>y</i><i key='1'>x</i></list>"
                    "<set><e>2</e><e>1</e></set></answer>",
                    baseline, rules)
                .count,
            0u);
  EXPECT_EQ(
      listed("<answer time='1'><list><i key='2'>z</i><i key='3'/>"
             "</list><set><e>1</e><e>3</e></set></answer>",
             baseline, rules),
      (Lines{"/answer/@id is missing (the baseline has it)",
             "/answer/stamp[1] is missing (the baseline has it)",
             "/answer/list[1]/i[1]/text() is \"z\" where the baseline has "
             "\"y\"",
             "/answer/list[1]/i[2] is not in the baseline",
             "/answer/list[1]/i[1] is missing (the baseline has it)",
             "/answer/set[1]/e[2] is not in the baseline",
             "/answer/set[1]/e[2] is missing (the baseline has it)"}));
  // Text split by an ignored element is one text again.
  EXPECT_EQ(compare("<p>a<log/>b</p>", "<p>ab</p>", rules).count, 0u);
}

TEST(BaselineCompareTest, RulesNameNamespacesByTheirOwnPrefixes) {
  const std::string rules =
      "ignore //m:stamp\n"
      "namespace m urn:meta\n"
      "unordered //m:list by m:key\n";
  EXPECT_EQ(compare("<r xmlns:x='urn:meta'><x:stamp/><x:list><i x:key='2'/>"
                    "<i x:key='1'/></x:list></r>",
                    "<r xmlns:y='urn:meta'><list xmlns='urn:meta'>"
                    "<i xmlns='' y:key='1'/><i xmlns='' y:key='2'/></list></r>",
                    rules)
                .count,
            0u);
  const BodyDifference other = compare("<r xmlns='urn:other'><stamp/></r>",
                                       "<r xmlns='urn:other'/>", rules);
  EXPECT_EQ(other.listed, Lines{"/ns1:r/ns1:stamp[1] is not in the baseline"});
  EXPECT_EQ(other.legend, Lines{"ns1 is \"urn:other\""});
}

TEST(BaselineCompareTest, RulesThatCannotBeReadNameTheirLine) {
  const std::pair<const char*, const char*> bad[] = {
      {"ignore //a\nskip //b\n",
       "rules:2: unknown rule \"skip\" (ignore, mask, unordered, qname or "
       "namespace)"},
      {"\n\nmask\n", "rules:3: mask without an XPath"},
      {"ignore //a[\n",
       "rules:1: Unrecognized node test at character 5 of the XPath"},
      {"mask /a/@x # the time\n",
       "rules:1: Incorrect query at character 7 of the XPath (a comment "
       "stands on a line of its own)"},
      {"ignore count(//a)\n", "rules:1: the XPath gives a value, not nodes"},
      {"ignore //p:a\n",
       "rules:1: the prefix \"p\" is not declared (namespace <prefix> <URI>)"},
      {"unordered //a by\n", "rules:1: \"by\" without an attribute"},
      {"unordered //a by q:k\n",
       "rules:1: the prefix \"q\" is not declared (namespace <prefix> <URI>)"},
      {"namespace p\n", "rules:1: namespace takes a prefix and a URI"},
      {"namespace p urn:a\nnamespace p urn:b\n",
       "rules:2: the prefix \"p\" is bound to \"urn:a\" already"},
  };
  for (const auto& [text, expected] : bad) {
    ComparisonRules rules;
    std::string problem;
    EXPECT_FALSE(parseComparisonRules(text, "rules", rules, problem)) << text;
    EXPECT_EQ(problem, expected);
  }
  ComparisonRules rules;
  std::string problem;
  EXPECT_TRUE(parseComparisonRules(
      "# only comments\r\n\r\n  # and blanks\r\nignore //x[@k='a b']\r\n",
      "rules", rules, problem))
      << problem;
  // As Windows' editors save UTF-8: a byte-order mark first.
  EXPECT_TRUE(parseComparisonRules("\xEF\xBB\xBF# rules\nmask /*/@time\n",
                                   "rules", rules, problem))
      << problem;
}

TEST(BaselineCompareTest, OtherBodiesCompareByteForByte) {
  EXPECT_EQ(compare("line one\nline 2: a\xff", "line one\nline 2: b").listed,
            Lines{"the body differs at line 2, byte 9: \"line 2: a\\xff\" "
                  "where the baseline has \"line 2: b\""});
  const BodyDifference shorter = compare("ab", "abc");
  EXPECT_EQ(shorter.listed,
            Lines{"the body ends at line 1, byte 3 where the baseline goes "
                  "on: \"abc\""});
  EXPECT_EQ(shorter.diff,
            "--- baseline\n+++ answer\n@@ -1,1 +1,1 @@\n-abc\n+ab\n");
  EXPECT_EQ(compare("<a/>", "<a>").listed,
            Lines{"the body is well-formed XML where the baseline's is not "
                  "(at line 1, column 4: no element found)"});
  EXPECT_EQ(compare(std::string("x\0\r\n", 4), "x\n").diff,
            "--- baseline\n+++ answer\n@@ -1,2 +1,2 @@\n-x\n+x\\x00\\r\n \n");
  // Larger answers are compared as XML too: the same content in another
  // form is the same.
  std::string wide = "<a>";
  std::string other = "<a>";
  while (wide.size() <= (std::size_t{5} << 20)) {
    wide += "<b x='1' y='2'/>";
    other += "<b y=\"2\" x=\"1\"/>";
  }
  EXPECT_EQ(compare(wide + "</a>", other + "</a>").count, 0u);
  // Nested deeper than the comparison walks: bytes too, and it says so,
  // whether the other side is as deep or not.
  std::string deep;
  std::string deepOther;
  for (int level = 0; level <= platform::kDeepestCompared; ++level) {
    deep += "<a x='1' y='2'>";
    deepOther += "<a y='2' x='1'>";
  }
  for (int level = 0; level <= platform::kDeepestCompared; ++level) {
    deep += "</a>";
    deepOther += "</a>";
  }
  for (const std::string& baseline : {deepOther, std::string("<a/>")}) {
    const BodyDifference nested = compare(deep, baseline);
    ASSERT_EQ(nested.listed.size(), 1u);
    EXPECT_NE(nested.listed[0].find("(an answer nested deeper than 2048 "
                                    "elements is compared byte for byte)"),
              std::string::npos)
        << nested.listed[0];
  }
}

// The client takes a request's canonical form from the document it built;
// the same request's text, parsed, gives the same bytes.
TEST(BaselineCompareTest, TheCanonicalFormOfADocumentIsThatOfItsText) {
  const char* const payloads[] = {
      "<transaction seq='1'><o b='2' a='1'/>text<!-- c "
      "-->more<![CDATA[<x>]]></transaction>",
      "<t xmlns='urn:d' xmlns:p='urn:p' p:k='1'><p:c/><c xmlns=''/></t>",
      "<t>\n  <a/>\n  <b> </b>\n</t>",
      "<t>Total: <b>12</b> <i>units</i></t>",
      "<t xml:space='preserve'> <a/> <b xml:space='default'> <c/> </b></t>",
      "<t a='&lt;&amp;&#65;' b='x&#9;y'>&#x10000;&gt;</t>",
  };
  for (const char* payload : payloads) {
    const std::string text = std::string(
                                 "<mdprovider type=\"action\" "
                                 "action=\"execute\" model=\"M\">") +
                             payload + "</mdprovider>";
    TOVIDOM_Document document =
        TOVIDOM_DOMImplementation::getInstance()->createDocument();
    TOVIDOM_Parser(0).parse(text.data(),
                            static_cast<unsigned long>(text.size()), document);
    EXPECT_EQ(platform::canonicalPayload(document), canonicalPayloadOf(text))
        << payload;
  }
}

TEST(BaselineCompareTest, FingerprintsAreStableAndCoverThePayloadOnly) {
  const auto envelope = [](const std::string& payload,
                           const std::string& model = "Sales") {
    return "<mdprovider type=\"action\" action=\"execute\" model=\"" + model +
           "\">" + payload + "</mdprovider>";
  };
  const auto fingerprint = [](const char* action, const std::string& text) {
    return requestFingerprint("action", action, canonicalPayloadOf(text));
  };
  const std::string print =
      fingerprint("execute", envelope("<transaction seq=\"1\"><o a=\"1\" "
                                      "b=\"2\"/></transaction>"));
  // The same on every platform and build.
  EXPECT_EQ(print, "ca6df6f255624523");
  // Layout, attribute order, quotes, empty-element form, the project's name
  // and the transaction's number in the log do not count; the payload's
  // content does, the number of a transaction inside another too.
  for (const std::string& same :
       {envelope("\n  <transaction seq='1'>\n    <o b='2'  a='1'></o>\n  "
                 "</transaction>\n"),
        envelope("<transaction seq=\"1\"><o a=\"1\" b=\"2\"/></transaction>",
                 "Other"),
        envelope(
            "<transaction seq=\"20\"><o a=\"1\" b=\"2\"/></transaction>")}) {
    EXPECT_EQ(fingerprint("execute", same), print) << same;
  }
  for (const std::string& other :
       {envelope("<transaction seq=\"1\"><o a=\"1\" b=\"2\">x</o>"
                 "</transaction>"),
        envelope("<transaction seq=\"1\"><o a=\"1\" b=\"2\"/><transaction "
                 "seq=\"2\"/></transaction>"),
        envelope("<t seq=\"1\"><o a=\"1\" b=\"2\"/></t>")}) {
    EXPECT_NE(fingerprint("execute", other), print) << other;
  }
  EXPECT_NE(fingerprint("undo", envelope("<transaction seq=\"1\"><o a=\"1\" "
                                         "b=\"2\"/></transaction>")),
            print);
  // Baselines of the first version hold the hash of the text as sent.
  EXPECT_EQ(legacyRequestFingerprint(
                "project", "open",
                "<mdprovider type=\"project\" action=\"open\" model=\"S\"/>"),
            "6e4eb94c0ae181c6");
  EXPECT_EQ(legacyRequestFingerprint("action", "execute",
                                     envelope("<transaction seq=\"1\"/>")),
            "a86aa0ce067e3406");
  EXPECT_EQ(envelopePayload("<mdprovider type=\"t\" action=\"a\" "
                            "model=\"m&quot;>/\"><x a='>'/></mdprovider>"),
            "<x a='>'/>");
  EXPECT_EQ(envelopePayload(std::string("<mdprovider type=\"project\" "
                                        "action=\"open\" model=\"S/>\"/>") +
                            '\0'),
            "");
  EXPECT_EQ(envelopePayload("<other/>"), "<other/>");
}

}  // namespace

namespace {

// What counts: white space in mixed content and where it is preserved,
// qualified names by their namespace, and elements named by their id.
TEST(BaselineCompareTest, WhatCountsInAnAnswer) {
  struct Case {
    const char* answer;
    const char* baseline;
    const char* rules;
    std::vector<std::string> listed;  // empty: the same
  };
  const Case cases[] = {
      // Mixed content keeps its blanks; layout between elements does not.
      {"<p>Total: <b>12</b> <i>units</i></p>",
       "<p>Total: <b>12</b><i>units</i></p>",
       "",
       {"/p/text()[2] is not in the baseline"}},
      {"<p>\n  <b>12</b>\n  <i>units</i>\n</p>",
       "<p><b>12</b><i>units</i></p>",
       "",
       {}},
      {"<p xml:space='preserve'><b>1</b> <i/></p>",
       "<p xml:space='preserve'><b>1</b><i/></p>",
       "",
       {"/p/text() is not in the baseline"}},
      {"<a xml:space='preserve'><p xml:space='default'> <b/> </p></a>",
       "<a xml:space='preserve'><p xml:space='default'><b/></p></a>",
       "",
       {}},
      // xsi:type by namespace and local name, whatever the prefix.
      {"<a xmlns:xsi='http://www.w3.org/2001/XMLSchema-instance' "
       "xmlns:md='urn:m' xsi:type='md:Dimension'/>",
       "<a xmlns:xsi='http://www.w3.org/2001/XMLSchema-instance' "
       "xmlns:m='urn:m' xsi:type='m:Dimension'/>",
       "",
       {}},
      {"<a xmlns:xsi='http://www.w3.org/2001/XMLSchema-instance' "
       "xmlns:m='urn:other' xsi:type='m:Dimension'/>",
       "<a xmlns:xsi='http://www.w3.org/2001/XMLSchema-instance' "
       "xmlns:m='urn:m' xsi:type='m:Dimension'/>",
       "",
       {"/a/@ns1:type is \"ns3:Dimension\" where the baseline has "
        "\"ns2:Dimension\""}},
      // A rule names other values that are qualified names.
      {"<a xmlns:p='urn:t'><ref>p:Cube</ref><k of='p:X'/></a>",
       "<a xmlns:q='urn:t'><ref>q:Cube</ref><k of='q:X'/></a>",
       "qname //ref\nqname //@of\n",
       {}},
      {"<a xmlns:p='urn:t'><ref>p:Cube</ref></a>",
       "<a xmlns:q='urn:t'><ref>q:Cube</ref></a>",
       "",
       {"/a/ref[1]/text() is \"p:Cube\" where the baseline has \"q:Cube\""}},
      // Swapped siblings moved; places name elements by their id or name.
      {"<answer><object id='b'/><object id='a'/></answer>",
       "<answer><object id='a'/><object id='b'/></answer>",
       "",
       {"/answer/object[@id=\"b\"] moved from position 2 to 1"}},
      {"<answer><object name='Region' v='2'/><object name='Sales'/></answer>",
       "<answer><object name='Region' v='1'/><object name='Sales'/></answer>",
       "",
       {"/answer/object[@name=\"Region\"]/@v is \"2\" where the baseline "
        "has \"1\""}},
      {"<answer><object id='a' v='2'/><object id='a'/></answer>",
       "<answer><object id='a' v='1'/><object id='a'/></answer>",
       "",
       {"/answer/object[1]/@v is \"2\" where the baseline has \"1\""}},
      // An empty answer says so.
      {"",
       "<answer/>",
       "",
       {"the body is empty where the baseline has \"<answer/>\""}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(listed(c.answer, c.baseline, c.rules), c.listed) << c.answer;
  }
}

// The digest's places: positions and identities left out, whatever the
// identities hold.
TEST(BaselineCompareTest, ADigestPlaceLeavesOutPositionsAndIdentities) {
  const std::pair<const char*, const char*> places[] = {
      {"/a/object[3]/@v", "/a/object/@v"},
      {"/a/object[@id=\"x\\\"]\"]/p[1]/text()", "/a/object/p/text()"},
      {"/a/o[@name=\"q\\\\\"]/text()[2]", "/a/o/text()"},
  };
  for (const auto& [place, plain] : places) {
    EXPECT_EQ(placeWithoutPositions(place), plain) << place;
  }
}

TEST(BaselineCompareTest, RulesThatCannotMeanAnythingAndOtherEncodings) {
  const std::pair<std::string, std::string> bad[] = {
      {"ignore /\n",
       "rules:1: ignore / would leave nothing of an answer to compare"},
      {"unordered //a/@k\n",
       "rules:1: unordered takes elements, whose children it pairs: an "
       "attribute has none"},
      {"unordered //a/attribute::k by id\n",
       "rules:1: unordered takes elements, whose children it pairs: an "
       "attribute has none"},
      {std::string("m\0a\0s\0k\0", 8),
       "rules: the rules hold NUL bytes, as UTF-16 without a byte-order mark "
       "does: save them as UTF-8"},
      {std::string("\xFF\xFE\0\0m\0\0\0", 8),
       "rules: the rules are UTF-32: save them as UTF-8"},
      {"mask /*/@\xff\n",
       "rules: the rules are not UTF-8 text (or hold control characters): "
       "save them as UTF-8"},
      {"unordered /answer by id extra\n",
       "rules:1: unordered takes one attribute after \"by\""},
  };
  for (const auto& [text, expected] : bad) {
    ComparisonRules rules;
    std::string problem;
    EXPECT_FALSE(parseComparisonRules(text, "rules", rules, problem)) << text;
    EXPECT_EQ(problem, expected);
  }
  // Notepad's "Unicode": UTF-16 with a byte-order mark, either order.
  for (const bool big : {false, true}) {
    std::string text = big ? "\xFE\xFF" : "\xFF\xFE";
    for (const char c : std::string("mask /*/@time\r\n")) {
      text += big ? std::string{'\0', c} : std::string{c, '\0'};
    }
    ComparisonRules rules;
    std::string problem;
    ASSERT_TRUE(parseComparisonRules(text, "rules", rules, problem)) << problem;
    ASSERT_EQ(rules.rules().size(), 1u);
    EXPECT_EQ(rules.rules()[0].text, "mask /*/@time");
  }
}

}  // namespace
