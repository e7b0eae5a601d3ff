#include "platform/xml/xml_element_stream.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/test_support.h"
#include "tests/xml_support.h"

namespace {

using Next = platform::XmlElementStream::Next;
using test_support::TempDir;

const std::string kLog = "<log><t n='1'><t n='2'/></t><x><t n='3'/></x></log>";

// What `next` hands out until it stops, then how it stopped.
std::vector<std::string> drain(platform::XmlElementStream& stream) {
  std::vector<std::string> got;
  for (;;) {
    TOVIDOM_Document document = test_support::newDocument();
    const Next next = stream.next(document);
    if (next != Next::kElement) {
      got.push_back(next == Next::kEnd ? "end" : "changed");
      EXPECT_EQ(test_support::written(document), "");
      return got;
    }
    got.push_back(test_support::written(document));
  }
}

TEST(XmlElementStreamTest, HandsOutEachOutermostElementThenTheEnd) {
  TempDir dir;
  platform::XmlElementStream stream(dir.write("log.xml", kLog).c_str(), "t");
  EXPECT_EQ(stream.count(), 3u);
  EXPECT_EQ(drain(stream),
            (std::vector<std::string>{"<t n=\"1\"><t n=\"2\"/></t>",
                                      "<t n=\"3\"/>", "end"}));
}

// A log rewritten between the two readings, in ways that keep more and more
// of what a cheap check looks at.
TEST(XmlElementStreamTest, ALogThatChangesBetweenTheReadingsIsNoticed) {
  const std::vector<std::string> rewrites = {
      kLog + "<!-- more -->",                                 // size
      "<log><t n='1'><t n='2'/></t><x><t n='3'/></x></lox>",  // a fault
      "<log><t n='1'><x n='2'/></t><x><t n='3'/></x></log>",  // fewer
      "<log><t n='1'><t n='2'/></t><t><t n='3'/></t></log>",  // more
  };
  for (const std::string& rewrite : rewrites) {
    TempDir dir;
    const std::string path = dir.write("log.xml", kLog);
    const auto written = std::filesystem::last_write_time(path);
    platform::XmlElementStream stream(path.c_str(), "t");
    ASSERT_EQ(stream.count(), 3u);
    dir.write("log.xml", rewrite);
    // The same size keeps its old time too: only the reading can tell.
    if (rewrite.size() == kLog.size()) {
      std::filesystem::last_write_time(path, written);
    }
    const std::vector<std::string> got = drain(stream);
    EXPECT_EQ(got.back(), "changed") << rewrite;
  }
}

}  // namespace
