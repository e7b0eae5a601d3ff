#include "baseline/unified_diff.h"

#include <algorithm>
#include <dtl/dtl.hpp>

#include "baseline/difference_text.h"

namespace {

constexpr std::size_t kContext = 3;
// Only this much of the part that changed is compared line by line,
// whatever the size of the answers.
constexpr std::size_t kWindowLines = 2000;
constexpr std::size_t kLineWidth = 160;

std::string diffOf(const std::vector<std::string>& baseline,
                   const std::vector<std::string>& answer,
                   std::size_t baselineFirst, std::size_t answerFirst,
                   std::size_t most, bool cut) {
  dtl::Diff<std::string> diff(baseline, answer);
  diff.compose();
  diff.composeUnifiedHunks();
  const auto hunks = diff.getUniHunks();
  if (hunks.empty()) return std::string();
  std::string out = "--- baseline\n+++ answer\n";
  std::size_t lines = 2;
  const auto add = [&](const char* mark, const std::string& text) {
    if (lines >= most) {
      cut = true;
      return;
    }
    out += mark;
    out += text;
    out += '\n';
    ++lines;
  };
  for (const auto& hunk : hunks) {
    add("@@ -",
        std::to_string(hunk.a + static_cast<long long>(baselineFirst)) + "," +
            std::to_string(hunk.b) + " +" +
            std::to_string(hunk.c + static_cast<long long>(answerFirst)) + "," +
            std::to_string(hunk.d) + " @@");
    for (const auto& line : hunk.common[0]) add(" ", line.first);
    for (const auto& line : hunk.change) {
      add(line.second.type == dtl::SES_ADD      ? "+"
          : line.second.type == dtl::SES_DELETE ? "-"
                                                : " ",
          line.first);
    }
    for (const auto& line : hunk.common[1]) add(" ", line.first);
  }
  if (cut) out += "... (the rest of the diff is left out)\n";
  return out;
}

// Lines of `body` from `at`, at most `most`, shown as text; `cut` when more
// follow.
std::vector<std::string> linesFrom(std::string_view body, std::size_t at,
                                   std::size_t most, bool& cut) {
  std::vector<std::string> lines;
  while (at <= body.size() && lines.size() < most) {
    std::size_t end = body.find('\n', at);
    if (end == std::string_view::npos) end = body.size();
    lines.push_back(shownLine(body.substr(at, end - at), kLineWidth));
    at = end + 1;
  }
  cut = cut || at <= body.size();
  return lines;
}

}  // namespace

std::string unifiedDiff(const ListingWindow& window, std::size_t most) {
  // The tail both share is trimmed to its context.
  const std::vector<std::string>& a = window.answer;
  const std::vector<std::string>& b = window.baseline;
  std::size_t tail = 0;
  const std::size_t shorter = std::min(a.size(), b.size());
  while (tail < shorter && a[a.size() - 1 - tail] == b[b.size() - 1 - tail]) {
    ++tail;
  }
  const std::size_t drop = tail > kContext ? tail - kContext : 0;
  const std::vector<std::string> answer(
      a.begin(), a.end() - static_cast<std::ptrdiff_t>(drop));
  const std::vector<std::string> baseline(
      b.begin(), b.end() - static_cast<std::ptrdiff_t>(drop));
  return diffOf(baseline, answer, window.first, window.first, most,
                window.cut && drop == 0);
}

std::string textDiff(std::string_view answer, std::string_view baseline,
                     std::size_t firstDifference, std::size_t most) {
  // From a few lines before the first difference; the part before them is
  // the same in both.
  std::size_t lineStart = 0;
  std::size_t newlines = 0;
  for (std::size_t at = firstDifference; at-- > 0;) {
    if (answer[at] == '\n' && ++newlines > kContext) {
      lineStart = at + 1;
      break;
    }
  }
  const auto line = static_cast<std::size_t>(std::count(
      answer.begin(), answer.begin() + static_cast<std::ptrdiff_t>(lineStart),
      '\n'));
  bool cut = false;
  const std::vector<std::string> theirs =
      linesFrom(baseline, lineStart, kWindowLines, cut);
  const std::vector<std::string> mine =
      linesFrom(answer, lineStart, kWindowLines, cut);
  return diffOf(theirs, mine, line, line, most, cut);
}
