// The page's parts that keep the run as it goes: answer times, slices, the
// slowest requests, the side-by-side view, the escaping and the hash that
// lets the page's own script run.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "report/answer_times.h"
#include "report/csp_hash.h"
#include "report/html_text.h"
#include "report/side_by_side.h"
#include "report/time_slices.h"
#include "report/top_requests.h"

namespace {

std::string escaped(const std::string& text) {
  std::string out;
  html::appendEscaped(out, text);
  return out;
}

TEST(PageTextTest, HostileTextStaysTextAndValid) {
  const struct {
    std::string text;
    std::string shown;
  } cases[] = {
      {"<script>alert(1)</script>", "&lt;script&gt;alert(1)&lt;/script&gt;"},
      {"</textarea><a href=\"javascript:x()\">",
       "&lt;/textarea&gt;&lt;a href=&quot;javascript:x()&quot;&gt;"},
      {"a & 'b' ]]>", "a &amp; &#39;b&#39; ]]&gt;"},
      // C0 controls and DEL as their pictures; tab and line feed kept.
      {std::string("\x00\x01\x1f\x7f\t\n", 6),
       "\xE2\x90\x80\xE2\x90\x81\xE2\x90\x9F\xE2\x90\xA1\t\n"},
      {"x\r\ny\rz", "x\ny\xE2\x90\x8Dz"},
      // C1 controls, noncharacters, bytes that are not UTF-8.
      {"\xC2\x85\xC2\x9F", "\xEF\xBF\xBD\xEF\xBF\xBD"},
      {"\xEF\xB7\x90\xEF\xBF\xBE", "\xEF\xBF\xBD\xEF\xBF\xBD"},
      {"\xff"
       "a",
       "\xEF\xBF\xBD"
       "a"},
      {"\xC0\xAF", "\xEF\xBF\xBD\xEF\xBF\xBD"},                  // overlong
      {"\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},  // surrogate
      {"\xE4\xB8", "\xEF\xBF\xBD\xEF\xBF\xBD"},                  // cut short
      {"\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80",
       "\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(escaped(c.text), c.shown) << c.text;
  }
}

TEST(PageTextTest, CutsAtCharactersNotBytes) {
  const struct {
    std::string text;
    std::size_t width;
    std::string cut;
    std::string shownCut;
  } cases[] = {
      {"abcdef", 3, "abc\xE2\x80\xA6", "abc\xE2\x80\xA6"},
      {"abc", 3, "abc", "abc"},
      {"\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80x", 3,
       "\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80\xE2\x80\xA6",
       "\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80\xE2\x80\xA6"},
      {"<<<<", 2, "<<\xE2\x80\xA6", "&lt;&lt;\xE2\x80\xA6"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(html::cut(c.text, c.width), c.cut) << c.text;
    std::string out;
    html::appendEscapedCut(out, c.text, c.width);
    EXPECT_EQ(out, c.shownCut) << c.text;
  }
}

TEST(PageTextTest, CspHashIsTheBase64OfSha256) {
  // The values the standard's examples and any sha256 tool give.
  const struct {
    std::string text;
    std::string hash;
  } cases[] = {
      {"", "47DEQpj8HBSa+/TImW+5JCeuQeRkm5NMpJWZG3hSuFU="},
      {"abc", "ungWv48Bz+pBQUDeXa4iI7ADYaOWF3qctBD/YfIAFa0="},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "JI1qYdIGOLjlwCaTDD5gOaM85Flk/yFn9uzt1BnbBsE="},
      {std::string(55, 'a'), "n0OQ+NMMLdkuyfCVtl4rmumwqSWlJY4kHJ8ekQ9zQxg="},
      {std::string(56, 'a'), "s1Q5pKxvCUi21vnjxq8PX1kM4g8b3nCQ73lwaG7Gc4o="},
      {std::string(64, 'a'), "/+BU/nrgy23GXDr5th1SCfQ5hR20PQulmXM33xVGaOs="},
      {std::string(119, 'a'), "MeulHDE6XAgiat8Y1KNZz9/Y0ugWsT9K+VL36mWE3Ps="},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(cspHash(c.text), "sha256-" + c.hash) << c.text.size();
  }
}

TEST(AnswerTimesTest, PercentilesAreNearestRanks) {
  const auto upTo = [](std::uint64_t n) {
    std::vector<std::uint64_t> values;
    for (std::uint64_t i = n; i >= 1; --i) values.push_back(i);
    return values;
  };
  const struct {
    std::vector<std::uint64_t> micros;
    std::uint64_t p50, p90, p99, max;
  } cases[] = {
      {{7}, 7, 7, 7, 7},
      {{5, 1, 3}, 3, 5, 5, 5},
      {upTo(10), 5, 9, 10, 10},
      {upTo(100), 50, 90, 99, 100},
      {upTo(1000), 500, 900, 990, 1000},
      {{0, 0, 0, 2047}, 0, 2047, 2047, 2047},
  };
  for (const auto& c : cases) {
    AnswerTimes times;
    for (const std::uint64_t micros : c.micros) times.add(micros);
    EXPECT_EQ(times.percentile(50), c.p50);
    EXPECT_EQ(times.percentile(90), c.p90);
    EXPECT_EQ(times.percentile(99), c.p99);
    EXPECT_EQ(times.max(), c.max);
    EXPECT_EQ(times.count(), c.micros.size());
  }
}

TEST(AnswerTimesTest, LongTimesKeepThreeSignificantDigits) {
  AnswerTimes times;
  for (std::uint64_t i = 0; i < 1000; ++i) times.add(12345 + i % 7);
  times.add(61000000);  // a request that ran into a 61 s time-out
  const std::uint64_t p50 = times.percentile(50);
  EXPECT_GE(p50, 12345u * 9995 / 10000);
  EXPECT_LE(p50, 12351u * 10005 / 10000);
  EXPECT_EQ(times.percentile(100), 61000000u);
  EXPECT_EQ(times.max(), 61000000u);
  EXPECT_EQ(times.min(), 12345u);

  std::uint64_t counted = 0;
  const std::vector<AnswerTimes::Bin> bins = times.histogram(30);
  ASSERT_EQ(bins.size(), 30u);
  for (const AnswerTimes::Bin& bin : bins) counted += bin.count;
  EXPECT_EQ(counted, 1001u);
  EXPECT_EQ(bins.front().count, 1000u);
  EXPECT_EQ(bins.back().count, 1u);
  EXPECT_EQ(bins.front().from, 12345u);
  EXPECT_EQ(bins.back().to, 61000000u);
}

TEST(TimeSlicesTest, AtMostAThousandSlicesOfEqualWidth) {
  const struct {
    std::uint64_t requests;
    std::size_t slices;
    std::uint64_t width;
  } cases[] = {
      {1, 1, 1},       {5, 5, 1},      {1000, 1000, 1},      {1001, 501, 2},
      {2000, 1000, 2}, {2001, 501, 4}, {1000000, 977, 1024},
  };
  for (const auto& c : cases) {
    TimeSlices slices;
    // 1 ms, and every tenth request 50 ms.
    for (std::uint64_t i = 0; i < c.requests; ++i) {
      slices.add(i % 10 == 9 ? 50000 : 1000);
    }
    const std::vector<TimeSlices::Slice> shown = slices.slices();
    ASSERT_EQ(shown.size(), c.slices) << c.requests;
    std::uint64_t next = 1;
    for (std::size_t i = 0; i < shown.size(); ++i) {
      const TimeSlices::Slice& slice = shown[i];
      EXPECT_EQ(slice.first, next);
      if (i + 1 < shown.size()) {
        EXPECT_EQ(slice.requests, c.width);
      }
      next += slice.requests;
      if (slice.requests >= 10) {
        EXPECT_EQ(slice.max, 50000u) << c.requests << " slice " << i;
      }
      // Within the 16 steps an octave of the slice's histogram.
      if (slice.requests > 2 || slice.max == 1000) {
        EXPECT_GE(slice.median, 978u) << c.requests << " slice " << i;
        EXPECT_LE(slice.median, 1022u) << c.requests << " slice " << i;
      }
    }
    EXPECT_EQ(next - 1, c.requests);
  }
}

TEST(TopRequestsTest, KeepsTheGreatestAndTheEarliestOfEquals) {
  TopRequests top(3);
  const std::uint64_t keys[] = {5, 9, 1, 9, 7, 5, 9};
  std::uint64_t order = 0;
  for (const std::uint64_t key : keys) {
    ++order;
    if (!top.wouldKeep(key)) continue;
    top.add({key, order, "request " + std::to_string(order), "", key, 0});
  }
  std::vector<std::string> names;
  for (const RankedRequest& kept : top.sorted()) names.push_back(kept.name);
  EXPECT_EQ(names,
            (std::vector<std::string>{"request 2", "request 4", "request 7"}));
}

// Rows as "<kind> <left line> <left> | <right line> <right>".
std::vector<std::string> rowsOf(const std::vector<std::string>& baseline,
                                const std::vector<std::string>& answer,
                                std::size_t rows = 40, std::size_t width = 80) {
  std::vector<std::string> out;
  for (const SideBySideRow& row :
       sideBySide(baseline, answer, 1, rows, width)) {
    using Kind = SideBySideRow::Kind;
    if (row.kind == Kind::kSkipped) {
      out.push_back(". " + row.left);
      continue;
    }
    const char* mark = row.kind == Kind::kSame      ? "="
                       : row.kind == Kind::kChanged ? "~"
                       : row.kind == Kind::kRemoved ? "-"
                                                    : "+";
    out.push_back(std::string(mark) + " " + std::to_string(row.leftLine) + " " +
                  row.left + " | " + std::to_string(row.rightLine) + " " +
                  row.right);
  }
  return out;
}

TEST(SideBySideTest, ChangesAreAlignedAndMarked) {
  using Lines = std::vector<std::string>;
  const Lines five = {"a", "b", "c", "d", "e"};
  const struct {
    Lines baseline;
    Lines answer;
    Lines rows;
  } cases[] = {
      {five, five, {". 5 lines the same"}},
      {five,
       {"a", "b", "X", "d", "e"},
       {". 1 line the same", "= 2 b | 2 b", "~ 3 c | 3 X", "= 4 d | 4 d",
        ". 1 line the same"}},
      {five,
       {"a", "b", "c", "N", "d", "e"},
       {". 2 lines the same", "= 3 c | 3 c", "+ 0  | 4 N", "= 4 d | 5 d",
        ". 1 line the same"}},
      {five,
       {"b", "c", "d", "e"},
       {"- 1 a | 0 ", "= 2 b | 1 b", ". 3 lines the same"}},
      // A line moved: removed where it was, added where it is.
      {five,
       {"b", "c", "d", "e", "a"},
       {"- 1 a | 0 ", "= 2 b | 1 b", ". 2 lines the same", "= 5 e | 4 e",
        "+ 0  | 5 a"}},
      {{}, {"x"}, {"+ 0  | 1 x"}},
      {{"x"}, {}, {"- 1 x | 0 "}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(rowsOf(c.baseline, c.answer), c.rows);
  }
}

TEST(SideBySideTest, RowsAndLinesAreCapped) {
  std::vector<std::string> baseline;
  std::vector<std::string> answer;
  for (int i = 0; i < 100; ++i) {
    baseline.push_back("old " + std::to_string(i));
    answer.push_back("new " + std::to_string(i));
  }
  EXPECT_EQ(
      rowsOf(baseline, answer, 4),
      (std::vector<std::string>{"~ 1 old 0 | 1 new 0", "~ 2 old 1 | 2 new 1",
                                "~ 3 old 2 | 3 new 2",
                                ". \xE2\x80\xA6 97 more lines not shown"}));
  EXPECT_EQ(
      rowsOf({"abcdefgh"}, {"abcdefgX"}, 40, 3),
      (std::vector<std::string>{"~ 1 abc\xE2\x80\xA6 | 1 abc\xE2\x80\xA6"}));
  // Far apart beyond what is aligned: line beside line, still capped.
  std::vector<std::string> many;
  std::vector<std::string> others;
  for (int i = 0; i < 5000; ++i) {
    many.push_back(std::to_string(i));
    others.push_back(std::to_string(i % 2 == 0 ? i : -i));
  }
  const std::vector<std::string> rows = rowsOf(many, others, 10);
  ASSERT_EQ(rows.size(), 10u);
  EXPECT_EQ(rows[0], "= 1 0 | 1 0");
  EXPECT_EQ(rows[1], "~ 2 1 | 2 -1");
}

}  // namespace
