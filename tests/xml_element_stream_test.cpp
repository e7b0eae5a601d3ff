#include "platform/xml/xml_element_stream.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

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
      "<log><t n='1'><t n='2'/></t><x><t n='3'/></x></log",   // shorter
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

// What the first reading did not read, or what changes after the second
// has read it, is no change: appended text, a new modification time.
TEST(XmlElementStreamTest, OnlyWhatIsReadCounts) {
  TempDir dir;
  const std::string path = dir.write("log.xml", kLog);
  platform::XmlElementStream stream(path.c_str(), "t");
  ASSERT_EQ(stream.count(), 3u);
  std::ofstream(path, std::ios::app) << "<!-- appended -->";
  std::filesystem::last_write_time(
      path, std::filesystem::file_time_type::clock::now());
  EXPECT_EQ(drain(stream).size(), 3u);
}

// A change far into a log stops it at the piece that holds it: what came
// before is handed out, nothing of the changed piece is.
TEST(XmlElementStreamTest, AChangedPieceIsNeverHandedOut) {
  TempDir dir;
  std::string log = "<log>";
  const std::string element = "<t>" + std::string(1000, 'x') + "</t>";
  while (log.size() < 3 * 262144) log += element;
  const std::string path = dir.write("log.xml", log + "</log>");
  platform::XmlElementStream stream(path.c_str(), "t");
  const unsigned long count = stream.count();
  {
    // One byte in the third piece, in place: same size, same time.
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(2 * 262144 + 500);
    file.put('y');
  }
  const std::vector<std::string> got = drain(stream);
  EXPECT_EQ(got.back(), "changed");
  EXPECT_LT(got.size() - 1, count);
  EXPECT_GT(got.size() - 1, 2 * 262144 / element.size() - 2);
  for (std::size_t i = 0; i + 1 < got.size(); ++i) {
    ASSERT_EQ(got[i], element) << i;
  }
}

// UTF-32, read a piece at a time like every other encoding.
TEST(XmlElementStreamTest, Utf32IsReadInPiecesToo) {
  std::string text = "<log>";
  for (int i = 0; i < 20000; ++i) text += "<t n='" + std::to_string(i) + "'/>";
  text += "<t n='\xC3\xA9'/></log>";
  std::string utf32 = std::string("\x00\x00\xFE\xFF", 4);
  std::u32string wide;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      wide += c;
    } else {  // the one two-byte sequence above
      wide += static_cast<char32_t>(((c & 0x1F) << 6) | (text[++i] & 0x3F));
    }
  }
  for (const char32_t c : wide) {
    for (int shift = 24; shift >= 0; shift -= 8) {
      utf32 += static_cast<char>((c >> shift) & 0xFF);
    }
  }
  ASSERT_GT(utf32.size(), 2 * 262144u);
  TempDir dir;
  platform::XmlElementStream stream(dir.write("log.xml", utf32).c_str(), "t");
  EXPECT_EQ(stream.count(), 20001u);
  const std::vector<std::string> got = drain(stream);
  ASSERT_EQ(got.size(), 20002u);
  EXPECT_EQ(got[12345], "<t n=\"12345\"/>");
  EXPECT_EQ(got[20000], "<t n=\"\xC3\xA9\"/>");
  EXPECT_EQ(got.back(), "end");
}

}  // namespace
