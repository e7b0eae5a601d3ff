// The page's head of facts: the run, how it ended and its counts.

#include <string>

#include "report/html_out.h"
#include "report/page_sections.h"
#include "report/run_page.h"

namespace {

std::string plural(std::uint64_t count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

void fact(HtmlOut& out, const char* name, const std::string& value,
          bool code = false) {
  out.raw("<dt>").raw(name).raw("</dt><dd>").raw(code ? "<code>" : "");
  out.text(value).raw(code ? "</code>" : "").raw("</dd>\n");
}

void card(HtmlOut& out, const char* id, const char* name, std::uint64_t value,
          bool bad) {
  out.raw("<div class=\"card").raw(bad && value > 0 ? " bad" : "");
  out.raw("\"><b id=\"").raw(id).raw("\">").count(value).raw("</b><span>");
  out.raw(name).raw("</span></div>\n");
}

}  // namespace

PageVerdict verdictOf(const RunPage& page) {
  const RunPage::Counts& counts = page.counts();
  if (!page.interruption().empty()) {
    std::string why = page.interruption();
    if (!page.failure().empty()) why = page.failure() + " " + why;
    return {"interrupted", why,
            "as Ctrl-C ends a program (130; 143 after SIGTERM)"};
  }
  if (!page.failure().empty()) return {"failed", page.failure(), "1"};
  if (counts.rejected > 0 || counts.differing > 0 || counts.removed > 0) {
    std::string why;
    if (counts.rejected > 0) {
      why = plural(counts.rejected, "request", "requests") +
            " rejected by the provider";
    }
    if (counts.differing > 0) {
      if (!why.empty()) why += "; ";
      why += plural(counts.differing, "answer differs", "answers differ") +
             " from the baseline";
    }
    if (counts.removed > 0) {
      if (!why.empty()) why += "; ";
      why += plural(counts.removed, "baseline record", "baseline records") +
             " removed from the log";
    }
    return {"failed", why, "1"};
  }
  if (!page.run().delivering) {
    return {"passed",
            plural(counts.requests, "request", "requests") +
                " built and sent nowhere: nothing was delivered",
            "0"};
  }
  return {"passed",
          std::string("every request accepted") +
              (page.comparing() ? ", every answer as the baseline's" : ""),
          "0"};
}

void writeRunSection(HtmlOut& out, const RunPage& page,
                     const PageVerdict& verdict) {
  const PageRun& run = page.run();
  const RunPage::Counts& counts = page.counts();
  out.raw("<section id=\"run\">\n<h2>The run</h2>\n<dl class=\"facts\">\n");
  fact(out, "Test", run.test.empty() ? "none (-t named no test)" : run.test);
  fact(out, "Project", run.project);
  fact(out, "Script", run.script.empty() ? "none" : run.script,
       !run.script.empty());
  if (run.delivering) {
    fact(out, "Provider", run.address, true);
  } else {
    fact(out, "Provider",
         "none: MDPROVIDER_DELIVER is not set, so every request was built "
         "and sent nowhere");
  }
  fact(out, "Started", run.started + " UTC, on " + run.hostname);
  fact(out, "Duration",
       shownMicros(static_cast<std::uint64_t>(page.seconds() * 1e6 + 0.5)));
  fact(out, "Status", std::string(verdict.badge) + ": " + verdict.why);
  fact(out, "Exit status", verdict.exitStatus);
  if (counts.transactions > 0) {
    std::string replayed =
        plural(counts.transactions, "transaction", "transactions");
    replayed += counts.transactions == 1 ? ": " + page.firstTransaction()
                                         : ", from " + page.firstTransaction() +
                                               " to " + page.lastTransaction();
    fact(out, run.delivering ? "Replayed" : "Replayed, sent nowhere", replayed);
  }
  out.raw("</dl>\n<div class=\"cards\">\n");
  if (run.delivering) {
    card(out, "count-requests", "requests sent", counts.requests, false);
    card(out, "count-accepted", "accepted", counts.accepted, false);
    card(out, "count-rejected", "rejected", counts.rejected, true);
  } else {
    card(out, "count-requests", "requests built, sent nowhere", counts.requests,
         false);
  }
  card(out, "count-failed", "failed", counts.failed, true);
  if (page.comparing()) {
    card(out, "count-differing", "differing from the baseline",
         counts.differing, true);
    if (counts.removed > 0) {
      card(out, "count-removed", "baseline records removed from the log",
           counts.removed, true);
    }
    card(out, "count-unreached", "baseline records not reached",
         static_cast<std::uint64_t>(page.unreached()), false);
  }
  out.raw("</div>\n</section>\n");
}
