// What a comparison with a baseline found: the digest, each differing
// request with its answers side by side, the rules that matched nothing,
// and the answer times beside the baseline's.

#include <cstdio>
#include <string>
#include <vector>

#include "report/html_out.h"
#include "report/page_sections.h"
#include "report/run_page.h"

namespace {

void sideBySideTable(HtmlOut& out, const std::vector<SideBySideRow>& rows) {
  out.raw(
      "<table class=\"sbs\"><colgroup><col class=\"n\"><col class=\"m\">"
      "<col><col class=\"n\"><col class=\"m\"><col></colgroup>\n<thead>"
      "<tr><th colspan=\"3\">The baseline's answer</th><th colspan=\"3\">"
      "This run's answer</th></tr></thead>\n<tbody>\n");
  for (const SideBySideRow& row : rows) {
    using Kind = SideBySideRow::Kind;
    if (row.kind == Kind::kSkipped) {
      out.raw("<tr class=\"skipped\"><td colspan=\"6\">").text(row.left);
      out.raw("</td></tr>\n");
      continue;
    }
    const char* kind = row.kind == Kind::kSame      ? "same"
                       : row.kind == Kind::kChanged ? "changed"
                       : row.kind == Kind::kRemoved ? "removed"
                                                    : "added";
    const bool left = row.leftLine > 0;
    const bool right = row.rightLine > 0;
    const bool same = row.kind == Kind::kSame;
    out.raw("<tr class=\"").raw(kind).raw("\"><td class=\"n\">");
    if (left) out.count(row.leftLine);
    // The marks say what the colours say, for a page printed without them.
    out.raw("</td><td class=\"m\">").raw(left && !same ? "\xE2\x88\x92" : "");
    out.raw("</td><td class=\"l\">").text(row.left);
    out.raw("</td><td class=\"n\">");
    if (right) out.count(row.rightLine);
    out.raw("</td><td class=\"m\">").raw(right && !same ? "+" : "");
    out.raw("</td><td class=\"r\">").text(row.right).raw("</td></tr>\n");
  }
  out.raw("</tbody></table>\n");
}

void differingRequest(HtmlOut& out, const RunPage::Differing& request) {
  out.raw("<details class=\"diff\"><summary><b>").text(request.name);
  out.raw("</b>");
  if (!request.lines.empty()) out.raw(": ").text(request.lines.front());
  out.raw("</summary>\n<div>\n<ul class=\"lines\">\n");
  for (const std::string& line : request.lines) {
    out.raw("<li><code>").text(line).raw("</code></li>\n");
  }
  out.raw("</ul>\n");
  if (request.lineCount > request.lines.size()) {
    out.raw("<p class=\"note\">And ")
        .count(request.lineCount - request.lines.size());
    out.raw(" more difference lines.</p>\n");
  }
  if (!request.rows.empty()) sideBySideTable(out, request.rows);
  out.raw("</div>\n</details>\n");
}

void digest(HtmlOut& out, const RunPage& page) {
  if (!page.hasDigest()) return;
  out.raw("<h3>Differences by place</h3>\n");
  if (page.digest().empty()) {
    out.raw("<p class=\"note\">None.</p>\n");
    return;
  }
  out.raw(
      "<div class=\"scroll\"><table id=\"digest-table\">\n<thead><tr>"
      "<th class=\"num\">Answers</th><th>Difference, positions left out"
      "</th></tr></thead>\n<tbody>\n");
  for (const DigestLine& line : page.digest()) {
    out.raw("<tr><td class=\"num\">")
        .count(static_cast<std::uint64_t>(line.count > 0 ? line.count : 0));
    out.raw("</td><td class=\"text\"><code>").text(line.text);
    out.raw("</code></td></tr>\n");
  }
  out.raw("</tbody></table></div>\n");
}

std::string change(std::uint64_t now, std::uint64_t then) {
  if (then == 0) return "";
  char shown[32];
  std::snprintf(
      shown, sizeof shown, "%+.0f%%",
      (static_cast<double>(now) / static_cast<double>(then) - 1) * 100);
  return shown;
}

}  // namespace

void writeBaselineSection(HtmlOut& out, const RunPage& page) {
  const std::uint64_t differing = page.counts().differing;
  out.raw("<section id=\"baseline\">\n<h2>Compared with the baseline</h2>\n");
  out.raw("<p>").count(differing).raw(differing == 1 ? " answer differs"
                                                     : " answers differ");
  out.raw(" from the baseline; ");
  if (page.counts().removed > 0) {
    out.count(page.counts().removed);
    out.raw(" baseline records removed from the log; ");
  }
  out.count(static_cast<std::uint64_t>(page.unreached()));
  out.raw(" baseline records not reached.</p>\n");
  digest(out, page);

  out.raw("<h3>Differing requests</h3>\n");
  const std::vector<RunPage::Differing>& shown = page.differing();
  if (shown.empty()) out.raw("<p class=\"note\">None.</p>\n");
  std::size_t written = 0;
  if (!shown.empty()) {
    const std::uint64_t start = out.written();
    out.raw("<div id=\"differing\" data-filter=\"details\" data-folds>\n");
    for (const RunPage::Differing& request : shown) {
      if (out.written() - start > kBaselineBudget) break;
      differingRequest(out, request);
      ++written;
    }
    out.raw("</div>\n");
  }
  if (differing > written) {
    out.raw("<p class=\"note\" id=\"differing-more\">And ");
    out.count(differing - written);
    out.raw(page.run().reportKept
                ? " more differing requests: the JUnit report holds every one."
                : " more differing requests: set MDPROVIDER_REPORT for a "
                  "JUnit report that holds every one.");
    out.raw("</p>\n");
  }

  if (!page.hasRuleCheck()) {
    out.raw("</section>\n");
    return;
  }
  out.raw("<h3>Rules that matched nothing</h3>\n");
  if (page.unmatchedRules().empty()) {
    out.raw("<p class=\"note\">None.</p>\n");
  } else {
    out.raw("<ul class=\"lines\" id=\"unmatched-rules\">\n");
    for (const std::string& rule : page.unmatchedRules()) {
      out.raw("<li><code>").text(rule).raw("</code></li>\n");
    }
    out.raw("</ul>\n");
  }
  out.raw("</section>\n");
}

void writeBaselineTimesSection(HtmlOut& out, const RunPage& page) {
  const AnswerTimes& now = page.pairedTimes();
  const AnswerTimes& then = page.recordedTimes();
  out.raw(
      "<section id=\"baseline-times\">\n<h2>Answer times against the "
      "baseline</h2>\n<p class=\"note\">Information, not a verdict: "
      "timing never changes the status. Over the ");
  out.count(now.count());
  out.raw(" answers whose baseline record holds a time.</p>\n");
  out.raw(
      "<div class=\"scroll\"><table id=\"baseline-times-table\">\n"
      "<thead><tr><th></th><th class=\"num\">This run</th><th class="
      "\"num\">The baseline</th><th class=\"num\">Change</th></tr>"
      "</thead>\n<tbody>\n");
  for (const double percent : {50.0, 90.0, 99.0}) {
    const std::uint64_t a = now.percentile(percent);
    const std::uint64_t b = then.percentile(percent);
    out.raw("<tr><th>p").count(static_cast<std::uint64_t>(percent));
    out.raw("</th><td class=\"num\">").micros(a).raw("</td><td class=\"num\">");
    out.micros(b).raw("</td><td class=\"num\">").text(change(a, b));
    out.raw("</td></tr>\n");
  }
  out.raw("</tbody></table></div>\n");
  const std::vector<RankedRequest> grown = page.grown();
  out.raw("<h3>The ").count(RunPage::kSlowest);
  out.raw(" requests whose time grew most</h3>\n");
  if (grown.empty()) {
    out.raw("<p class=\"note\">None took longer than its record.</p>\n");
    out.raw("</section>\n");
    return;
  }
  out.raw(
      "<div class=\"scroll\"><table id=\"grown-table\">\n<thead><tr>"
      "<th class=\"num\">#</th><th>Request</th><th class=\"num\">This run"
      "</th><th class=\"num\">The baseline</th><th class=\"num\">Grown by"
      "</th></tr></thead>\n<tbody>\n");
  for (const RankedRequest& request : grown) {
    out.raw("<tr><td class=\"num\">").count(request.order);
    out.raw("</td><td class=\"text\">").text(request.name);
    out.raw("</td><td class=\"num\">").micros(request.micros);
    out.raw("</td><td class=\"num\">").micros(request.recorded);
    out.raw("</td><td class=\"num\">").micros(request.key);
    out.raw("</td></tr>\n");
  }
  out.raw("</tbody></table></div>\n</section>\n");
}
