// The requests the page names one by one: the slowest, and those the
// provider rejected or that failed.

#include <string>
#include <vector>

#include "report/html_out.h"
#include "report/page_sections.h"
#include "report/run_page.h"

namespace {

void moreLine(HtmlOut& out, const char* id, std::uint64_t more,
              const char* what, bool reportKept) {
  out.raw("<p class=\"note\" id=\"").raw(id).raw("\">And ").count(more);
  out.raw(" more ").raw(what).raw(reportKept
                                      ? ": the JUnit report holds every one."
                                      : ": set MDPROVIDER_REPORT for a JUnit "
                                        "report that holds every one.");
  out.raw("</p>\n");
}

const char* outcomeOf(const RunPage::Listed& listed) {
  return listed.outcome == PageRequest::Outcome::kRejected ? "rejected"
                                                           : "failed";
}

}  // namespace

void writeSlowestSection(HtmlOut& out, const RunPage& page) {
  const std::vector<RankedRequest> slowest = page.slowest();
  out.raw("<section id=\"slowest\">\n<h2>The ").count(RunPage::kSlowest);
  out.raw(" slowest requests</h2>\n");
  if (slowest.empty()) {
    out.raw("<p class=\"note\">None: no request got an answer.</p>\n");
    out.raw("</section>\n");
    return;
  }
  out.raw(
      "<div class=\"scroll\"><table id=\"slowest-table\">\n<thead><tr>"
      "<th class=\"num\">#</th><th>Request</th><th class=\"num\">Time"
      "</th><th>Status</th></tr></thead>\n<tbody>\n");
  for (const RankedRequest& request : slowest) {
    out.raw("<tr><td class=\"num\">").count(request.order);
    out.raw("</td><td class=\"text\">").text(request.name);
    out.raw("</td><td class=\"num\">").micros(request.micros);
    out.raw("</td><td>").text(request.status).raw("</td></tr>\n");
  }
  out.raw(
      "</tbody></table></div>\n<p class=\"note\"># is the request's "
      "place in the run, from 1.</p>\n</section>\n");
}

void writeListedSection(HtmlOut& out, const RunPage& page) {
  const RunPage::Counts& counts = page.counts();
  const std::vector<RunPage::Listed>& listed = page.listed();
  out.raw("<section id=\"problems\">\n<h2>Rejected and failed requests</h2>\n");
  if (listed.empty()) {
    out.raw(
        "<p class=\"note\" id=\"problems-none\">None: no request was "
        "rejected, and none failed.</p>\n</section>\n");
    return;
  }
  const std::uint64_t start = out.written();
  out.raw(
      "<div class=\"scroll\"><table id=\"problems-table\" "
      "data-filter=\"tbody tr\">\n<thead><tr><th>Request</th><th>Outcome"
      "</th><th>Message</th><th>The provider's reason (the start of its "
      "answer)</th></tr></thead>\n<tbody>\n");
  std::size_t shown = 0;
  for (const RunPage::Listed& request : listed) {
    if (out.written() - start > kListedBudget) break;
    ++shown;
    out.raw("<tr><td class=\"text\">").text(request.name).raw("</td><td>");
    out.raw(outcomeOf(request)).raw("</td><td class=\"text\">");
    out.text(request.message).raw("</td><td class=\"text\"><pre>");
    out.text(request.reason).raw("</pre></td></tr>\n");
  }
  out.raw("</tbody></table></div>\n");
  const std::uint64_t all = counts.rejected + counts.failed;
  if (all > shown) {
    moreLine(out, "problems-more", all - shown, "rejected or failed",
             page.run().reportKept);
  }
  out.raw("</section>\n");
}
