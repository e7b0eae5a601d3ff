#include "baseline/answer_difference.h"

#include <algorithm>
#include <dtl/dtl.hpp>

#include "platform/xml/xml_text_check.h"

namespace {

constexpr std::size_t kContext = 3;
// The diff shown is short: only this much of the part that changed is
// compared line by line, whatever the size of the answers.
constexpr std::size_t kWindowLines = 2000;
constexpr std::size_t kLineWidth = 160;
constexpr std::size_t kExcerptWidth = 60;

// Lines of `body` from `at`, at most `most`, shown as text; `cut` when more
// follow.
std::vector<std::string> linesFrom(std::string_view body, std::size_t at,
                                   std::size_t most, bool& cut) {
  std::vector<std::string> lines;
  while (at <= body.size() && lines.size() < most) {
    std::size_t end = body.find('\n', at);
    if (end == std::string_view::npos) end = body.size();
    lines.push_back(
        platform::shownText(body.substr(at, end - at), kLineWidth, false));
    at = end + 1;
  }
  cut = cut || at <= body.size();
  return lines;
}

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

std::string textDiff(std::string_view answer, std::string_view baseline,
                     std::size_t firstDifference) {
  // From a few lines before the first difference; the common part before
  // them is the same in both.
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
  return diffOf(theirs, mine, line, line, BodyDifference::kDiffLines, cut);
}

std::string firstTextDifference(std::string_view answer,
                                std::string_view baseline, std::size_t at) {
  const std::size_t lineStart =
      at == 0 ? 0 : answer.substr(0, at).rfind('\n') + 1;  // npos + 1 == 0
  const std::size_t line =
      1 + static_cast<std::size_t>(std::count(
              answer.begin(), answer.begin() + static_cast<std::ptrdiff_t>(at),
              '\n'));
  const std::size_t from = std::max(lineStart, at >= 20 ? at - 20 : 0);
  const auto excerpt = [&](std::string_view body) {
    return (from > lineStart ? "..." : "") +
           platform::shownText(body.substr(from), kExcerptWidth, true);
  };
  const std::string place = "line " + std::to_string(line) + ", byte " +
                            std::to_string(at - lineStart + 1);
  if (at == answer.size()) {
    return "the body ends at " + place +
           " where the baseline goes on: " + excerpt(baseline);
  }
  if (at == baseline.size()) {
    return "the body goes on at " + place +
           " where the baseline ends: " + excerpt(answer);
  }
  return "the body differs at " + place + ": " + excerpt(answer) +
         " where the baseline has " + excerpt(baseline);
}

std::string withoutLeadingSpace(const std::string& fault) {
  return fault.empty() || fault[0] != ' ' ? fault : fault.substr(1);
}

}  // namespace

std::string unifiedDiff(const std::vector<std::string>& baseline,
                        const std::vector<std::string>& answer,
                        std::size_t most) {
  const std::size_t shorter = std::min(baseline.size(), answer.size());
  std::size_t head = 0;
  while (head < shorter && baseline[head] == answer[head]) ++head;
  std::size_t tail = 0;
  while (tail < shorter - head && baseline[baseline.size() - 1 - tail] ==
                                      answer[answer.size() - 1 - tail]) {
    ++tail;
  }
  const std::size_t first = head - std::min(head, kContext);
  const std::size_t keep = std::min(tail, kContext);
  bool cut = false;
  const auto window = [&](const std::vector<std::string>& lines) {
    const std::size_t end =
        std::min(lines.size() - tail + keep, first + kWindowLines);
    cut = cut || end < lines.size() - tail + keep;
    return std::vector<std::string>(
        lines.begin() + static_cast<std::ptrdiff_t>(first),
        lines.begin() + static_cast<std::ptrdiff_t>(end));
  };
  return diffOf(window(baseline), window(answer), first, first, most, cut);
}

BodyDifference compareBodies(std::string_view answer, std::string_view baseline,
                             const platform::XmlCompareRules& rules) {
  BodyDifference result;
  if (answer == baseline) return result;
  // A normal form costs some forty times an answer's size: a larger answer
  // is compared byte for byte, which a byte that differs says.
  const bool asXml = std::max(answer.size(), baseline.size()) <= kLargestAsXml;
  const platform::XmlComparison xml =
      asXml
          ? platform::compareXmlAnswers(answer, baseline, rules, result.kListed)
          : platform::XmlComparison();
  // Nested deeper than the comparison goes: bytes, whatever the other is.
  const bool asBytes = !asXml || xml.tooDeep;
  if (xml.answerIsXml && xml.baselineIsXml) {
    result.count = xml.count;
    if (xml.count == 0) return result;
    for (const platform::XmlDifference& difference : xml.differences) {
      result.listed.push_back(difference.path + " " + difference.description);
    }
    for (const auto& [prefix, uri] : xml.namedHere) {
      result.legend.push_back(prefix + " is " +
                              platform::shownText(uri, 200, true));
    }
    result.diff =
        unifiedDiff(xml.baselineLines, xml.answerLines, result.kDiffLines);
    return result;
  }
  result.count = 1;
  const std::size_t at = static_cast<std::size_t>(
      std::mismatch(answer.begin(),
                    answer.begin() + static_cast<std::ptrdiff_t>(std::min(
                                         answer.size(), baseline.size())),
                    baseline.begin())
          .first -
      answer.begin());
  if (xml.answerIsXml && !asBytes) {
    result.listed.push_back(
        "the body is well-formed XML where the baseline's "
        "is not (" +
        withoutLeadingSpace(xml.baselineFault) + ")");
  } else if (xml.baselineIsXml && !asBytes) {
    result.listed.push_back("the body is not well-formed XML (" +
                            withoutLeadingSpace(xml.answerFault) +
                            ") where the baseline's is");
  } else {
    result.listed.push_back(firstTextDifference(answer, baseline, at));
    if (!asXml) {
      result.listed.back() += " (an answer over " +
                              std::to_string(kLargestAsXml >> 20) +
                              " MiB is compared byte for byte)";
    } else if (xml.tooDeep) {
      result.listed.back() += " (an answer nested deeper than " +
                              std::to_string(platform::kDeepestCompared) +
                              " elements is compared byte for byte)";
    }
  }
  result.diff = textDiff(answer, baseline, at);
  return result;
}
