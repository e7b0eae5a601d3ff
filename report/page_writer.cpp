#include "report/page_writer.h"

#include <string>

#include "report/csp_hash.h"
#include "report/html_out.h"
#include "report/page_sections.h"
#include "report/run_page.h"

namespace {

void writeHead(HtmlOut& out, const RunPage& page, const PageVerdict& verdict) {
  const std::string style = kPageStyle;
  const std::string script = kPageScript;
  out.raw(
      "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta "
      "charset=\"utf-8\">\n");
  // Nothing loads from outside the file, and no script runs but the one
  // below: whatever an answer holds, it stays text.
  out.raw(
         "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src "
         "'none'; style-src '")
      .raw(cspHash(style))
      .raw("'; script-src '")
      .raw(cspHash(script))
      .raw(
          "'; img-src 'none'; font-src 'none'; connect-src 'none'; "
          "base-uri 'none'; form-action 'none'\">\n");
  out.raw(
      "<meta name=\"viewport\" content=\"width=device-width, "
      "initial-scale=1\">\n<meta name=\"generator\" "
      "content=\"KesMDProviderClient\">\n<title>");
  const PageRun& run = page.run();
  out.text(run.test).raw(run.test.empty() ? "" : " ").text(run.project);
  out.raw(": ").raw(verdict.badge).raw("</title>\n<style>").raw(style);
  out.raw("</style>\n</head>\n<body>\n<main>\n");
  out.raw("<header>\n<p class=\"kicker\">KesMDProviderClient run</p>\n<h1>");
  out.text(run.test).raw(run.test.empty() ? "" : " ").text(run.project);
  out.raw(" <span class=\"badge ").raw(verdict.badge).raw("\" id=\"verdict\">");
  out.raw(verdict.badge).raw("</span></h1>\n<p class=\"why\" id=\"why\">");
  out.text(verdict.why).raw("</p>\n<nav>");
  out.raw("<a href=\"#run\">The run</a><a href=\"#times\">Answer times</a>");
  out.raw("<a href=\"#slowest\">Slowest</a>");
  out.raw("<a href=\"#problems\">Rejected and failed</a>");
  if (page.comparing()) out.raw("<a href=\"#baseline\">Baseline</a>");
  if (page.recordedTimes().count() > 0) {
    out.raw("<a href=\"#baseline-times\">Times against the baseline</a>");
  }
  out.raw("</nav>\n</header>\n");
}

}  // namespace

void writeRunPage(const RunPage& page,
                  const std::function<void(std::string_view)>& sink) {
  HtmlOut out(sink);
  const PageVerdict verdict = verdictOf(page);
  writeHead(out, page, verdict);
  writeRunSection(out, page, verdict);
  writeTimesSection(out, page);
  writeSlowestSection(out, page);
  writeListedSection(out, page);
  if (page.comparing()) writeBaselineSection(out, page);
  if (page.recordedTimes().count() > 0) writeBaselineTimesSection(out, page);
  out.raw("</main>\n<script>").raw(kPageScript);
  out.raw("</script>\n</body>\n</html>\n");
  out.flush();
}
