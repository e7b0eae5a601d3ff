// The run's page as written from made-up runs: how it says the run ended,
// its figures, its capped lists, the baseline's part, what it lets load and
// run, and its size.

#include "report/run_page.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <regex>
#include <string>
#include <vector>

#include "report/csp_hash.h"
#include "report/page_writer.h"
#include "tests/page_support.h"

namespace {

using Clock = std::chrono::steady_clock;
using Outcome = PageRequest::Outcome;

// Feeds a page request by request, each `took` long, one after another.
class MadeUpRun {
 public:
  explicit MadeUpRun(bool delivering = true) {
    PageRun run;
    run.test = "AC";
    run.project = "Sales";
    run.script = "log.xml";
    run.delivering = delivering;
    run.address = delivering ? "http://provider:8080/mdprovider" : "";
    run.started = "2026-01-02T03:04:05";
    run.hostname = "tester";
    page.begin(run, secrets);
    at = Clock::now();
  }

  void request(std::int32_t seq, Outcome outcome, long status,
               std::chrono::microseconds took, std::string_view message = "",
               std::string_view reason = "",
               const std::string* name = nullptr) {
    PageRequest request;
    request.name = name;
    request.seq = seq;
    request.outcome = outcome;
    request.answered = outcome == Outcome::kAccepted ||
                       outcome == Outcome::kRejected || status > 0;
    request.status = status;
    request.begun = at;
    at += took;
    request.ended = at;
    request.message = message;
    request.reason = reason;
    page.requestEnded(request);
  }

  std::string written() {
    page.end(1.5);
    std::string html;
    writeRunPage(page, [&html](std::string_view piece) { html += piece; });
    return html;
  }

  SecretMask secrets;  // before the page, which keeps it
  RunPage page;
  Clock::time_point at;
};

using test_support::occurrences;

std::string byId(const std::string& html, const std::string& id) {
  return test_support::pageText(html, id);
}

TEST(RunPageTest, TheVerdictSaysHowTheRunEnded) {
  using Ms = std::chrono::milliseconds;
  const struct {
    const char* what;
    std::function<void(MadeUpRun&)> run;
    bool delivering;
    std::string verdict;
    std::string why;
  } cases[] = {
      {"accepted",
       [](MadeUpRun& r) { r.request(1, Outcome::kAccepted, 200, Ms(2)); }, true,
       "passed", "every request accepted"},
      {"rejected",
       [](MadeUpRun& r) {
         r.request(1, Outcome::kAccepted, 200, Ms(2));
         r.request(2, Outcome::kRejected, 500, Ms(2), "HTTP 500");
       },
       true, "failed", "1 request rejected by the provider"},
      {"differing",
       [](MadeUpRun& r) {
         r.request(1, Outcome::kAccepted, 200, Ms(2));
         r.page.addDifference({"transaction 1", {"/a is \"2\""}, {}, {}});
         r.page.addDifference({"transaction 2", {"/a is \"3\""}, {}, {}});
       },
       true, "failed", "2 answers differ from the baseline"},
      {"failed",
       [](MadeUpRun& r) {
         r.request(1, Outcome::kFailed, 0, Ms(2), "Failed to deliver");
         r.page.noteFailure("Failed to deliver the request to x: refused");
         r.page.noteFailure("Failed to write the report");
       },
       true, "failed", "Failed to deliver the request to x: refused"},
      {"interrupted",
       [](MadeUpRun& r) {
         r.request(1, Outcome::kAccepted, 200, Ms(2));
         r.page.noteInterruption(
             "Interrupted: no request was sent after "
             "transaction 1 (seq 1)");
       },
       true, "interrupted",
       "Interrupted: no request was sent after transaction 1 (seq 1)"},
      {"nowhere",
       [](MadeUpRun& r) {
         r.request(1, Outcome::kBuilt, 0, Ms(0));
         r.request(2, Outcome::kBuilt, 0, Ms(0));
       },
       false, "passed",
       "2 requests built and sent nowhere: nothing was delivered"},
  };
  for (const auto& c : cases) {
    MadeUpRun run(c.delivering);
    c.run(run);
    const std::string html = run.written();
    EXPECT_EQ(byId(html, "verdict"), c.verdict) << c.what;
    EXPECT_EQ(byId(html, "why"), c.why) << c.what;
    EXPECT_NE(html.find("<title>AC Sales: " + c.verdict + "</title>"),
              std::string::npos)
        << c.what;
  }
}

TEST(RunPageTest, TheFiguresOfTheRunAreOnThePage) {
  MadeUpRun run;
  const std::string open = "project open";
  run.request(0, Outcome::kAccepted, 200, std::chrono::microseconds(500), "",
              "", &open);
  // Transactions 1 to 100 taking 1 to 100 ms, in shuffled order.
  for (int i = 0; i < 100; ++i) {
    const int ms = (i * 37) % 100 + 1;
    run.request(ms, ms == 64 ? Outcome::kRejected : Outcome::kAccepted,
                ms == 64 ? 503 : 200, std::chrono::milliseconds(ms),
                ms == 64 ? "HTTP 503" : "", "<error>busy</error>");
  }
  const std::string html = run.written();
  EXPECT_EQ(byId(html, "count-requests"), "101");
  EXPECT_EQ(byId(html, "count-accepted"), "100");
  EXPECT_EQ(byId(html, "count-rejected"), "1");
  EXPECT_EQ(byId(html, "count-failed"), "0");
  EXPECT_EQ(byId(html, "time-p50"), "50.0 ms");
  EXPECT_EQ(byId(html, "time-p90"), "90.0 ms");
  EXPECT_EQ(byId(html, "time-p99"), "99.0 ms");
  EXPECT_EQ(byId(html, "time-max"), "100 ms");
  EXPECT_EQ(byId(html, "time-count"), "101");
  // 101 answers over 5,050.5 ms of requests one after another.
  EXPECT_EQ(byId(html, "time-rate"), "20");
  // Slices of one request: one line is its median and its maximum.
  EXPECT_EQ(occurrences(html, "<polyline"), 1u);
  EXPECT_NE(html.find("the answer time of each request (101 answers)"),
            std::string::npos);
  // The slowest first, with its place in the run and its status.
  const std::size_t table = html.find("id=\"slowest-table\"");
  const std::string slowest =
      html.substr(table, html.find("</table>", table) - table);
  EXPECT_EQ(occurrences(slowest, "<tr>"), 21u);  // and the head
  EXPECT_NE(slowest.find("<td class=\"num\">29</td><td class=\"text\">"
                         "transaction 100</td><td class=\"num\">100 ms</td>"
                         "<td>200</td>"),
            std::string::npos)
      << slowest;
  EXPECT_NE(html.find("<td class=\"text\">transaction 64</td><td>rejected</td>"
                      "<td class=\"text\">HTTP 503</td><td class=\"text\"><pre>"
                      "&lt;error&gt;busy&lt;/error&gt;</pre>"),
            std::string::npos);
  EXPECT_NE(html.find("100 transactions, from transaction 1 to transaction 64"),
            std::string::npos);
}

TEST(RunPageTest, ListsAreCappedAndSayHowManyMore) {
  for (const bool reportKept : {true, false}) {
    MadeUpRun run;
    PageRun facts = run.page.run();
    facts.reportKept = reportKept;
    run.page.begin(facts, run.secrets);
    for (int i = 1; i <= 1005; ++i) {
      run.request(i, Outcome::kRejected, 409, std::chrono::microseconds(10),
                  "HTTP 409", "exists");
    }
    for (int i = 1; i <= 205; ++i) {
      run.page.addDifference({"transaction " + std::to_string(i),
                              std::vector<std::string>(25, "a line"),
                              {"<a>", "1", "</a>"},
                              {"<a>", "2", "</a>"}});
    }
    const std::string html = run.written();
    EXPECT_EQ(occurrences(html, "<td>rejected</td>"), 1000u);
    EXPECT_EQ(occurrences(html, "<polyline"), 2u) << "medians and maximums";
    EXPECT_NE(html.find("maximum of each slice of 2 requests (503 slices over "
                        "1,005 answers)"),
              std::string::npos);
    EXPECT_EQ(occurrences(html, "<details class=\"diff\">"), 200u);
    EXPECT_EQ(occurrences(html, "<tr class=\"changed\">"), 200u);
    EXPECT_EQ(occurrences(html, "And 5 more difference lines."), 200u);
    const std::string holds = reportKept
                                  ? ": the JUnit report holds every one."
                                  : ": set MDPROVIDER_REPORT for a JUnit "
                                    "report that holds every one.";
    EXPECT_EQ(byId(html, "problems-more"),
              "And 5 more rejected or failed" + holds);
    EXPECT_EQ(byId(html, "differing-more"),
              "And 5 more differing requests" + holds);
    EXPECT_EQ(byId(html, "count-differing"), "205");
  }
}

TEST(RunPageTest, TheBaselinesPartShowsWhatItIsFed) {
  MadeUpRun run;
  run.page.compareWithBaseline();
  run.page.setDigest({{"/answer/object/@version is \"2.2\" where the baseline "
                       "has \"2.1\"",
                       180},
                      {"/answer/@status (values vary)", 3}});
  run.page.setUnmatchedRules(
      {"Rule \"rules.txt\" line 3 (mask /*/@tiem) matched nothing in 20 "
       "answers"});
  run.page.setUnreached(4);
  run.page.addDifference(
      {"transaction 7",
       {"/answer/object[@id=\"b\"] moved from position 2 to 1"},
       {"<answer>", "  <object id=\"a\"/>", "  <object id=\"b\"/>",
        "</answer>"},
       {"<answer>", "  <object id=\"b\"/>", "  <object id=\"a\"/>",
        "</answer>"}});
  // Recorded times: each request took 1 ms then and takes 1 to 30 ms now.
  for (int i = 1; i <= 30; ++i) {
    run.page.recordedTime(1.0);
    run.request(i, Outcome::kAccepted, 200, std::chrono::milliseconds(i));
  }
  run.request(31, Outcome::kAccepted, 200, std::chrono::milliseconds(99));
  const std::string html = run.written();
  EXPECT_EQ(byId(html, "count-unreached"), "4");
  EXPECT_NE(html.find("<td class=\"num\">180</td><td class=\"text\"><code>"
                      "/answer/object/@version is &quot;2.2&quot; where the "
                      "baseline has &quot;2.1&quot;</code>"),
            std::string::npos);
  EXPECT_NE(html.find("<li><code>Rule &quot;rules.txt&quot; line 3 (mask "
                      "/*/@tiem) matched nothing in 20 answers</code></li>"),
            std::string::npos);
  EXPECT_NE(html.find("<summary><b>transaction 7</b>: /answer/object[@id=&quot;"
                      "b&quot;] moved from position 2 to 1</summary>"),
            std::string::npos);
  EXPECT_EQ(occurrences(html, "<tr class=\"removed\">") +
                occurrences(html, "<tr class=\"added\">") +
                occurrences(html, "<tr class=\"changed\">"),
            2u);
  // Folded until the reader opens it.
  EXPECT_EQ(html.find("<details class=\"diff\" open"), std::string::npos);
  // The run's times beside the baseline's, over the 30 requests with one.
  const std::size_t table = html.find("id=\"baseline-times-table\"");
  ASSERT_NE(table, std::string::npos);
  EXPECT_NE(html.find("<tr><th>p50</th><td class=\"num\">15.0 ms</td><td "
                      "class=\"num\">1.00 ms</td><td class=\"num\">+1400%</td>",
                      table),
            std::string::npos);
  const std::size_t grown = html.find("id=\"grown-table\"");
  ASSERT_NE(grown, std::string::npos);
  EXPECT_NE(html.find("<td class=\"text\">transaction 30</td><td class=\"num\">"
                      "30.0 ms</td><td class=\"num\">1.00 ms</td><td class="
                      "\"num\">29.0 ms</td>",
                      grown),
            std::string::npos);
  EXPECT_EQ(html.find("transaction 31", grown), std::string::npos)
      << "no record, no growth";
  EXPECT_EQ(occurrences(html.substr(grown), "<tr>"), 21u);
}

TEST(RunPageTest, SecretsNeverShow) {
  MadeUpRun run;
  run.secrets.add("s3cret");
  PageRun facts = run.page.run();
  facts.project = "s3cret project";
  run.page.begin(facts, run.secrets);
  const std::string name = "login s3cret";
  run.request(1, Outcome::kRejected, 401, std::chrono::milliseconds(900),
              "HTTP 401 s3cret", std::string(296, 'x') + "s3cret", &name);
  run.page.addDifference({"transaction s3cret",
                          {"is \"s3cret\""},
                          {"<a p=\"***\"/>"},
                          {"<a p=\"s3cret\"/>"}});
  run.page.setDigest({{"/a/@p is \"s3cret\"", 1}});
  run.page.setUnmatchedRules({"mask //s3cret"});
  run.page.noteFailure("Failed: s3cret");
  const std::string html = run.written();
  EXPECT_EQ(html.find("s3cret"), std::string::npos);
  EXPECT_EQ(html.find("s3cr"), std::string::npos) << "not even in part";
  EXPECT_GE(occurrences(html, "***"), 9u);
}

TEST(RunPageTest, OnlyThePagesOwnStyleAndScriptMayLoadOrRun) {
  MadeUpRun run;
  run.request(
      1, Outcome::kRejected, 500, std::chrono::milliseconds(1), "HTTP 500",
      "<script>alert(1)</script><img src=x onerror=alert(2)>"
      "<a href=\"javascript:alert(3)\">x</a><style>@import url(x)</style>");
  const std::string html = run.written();
  const std::smatch::size_type kHash = 1;
  std::smatch found;
  ASSERT_TRUE(std::regex_search(
      html, found,
      std::regex("<meta http-equiv=\"Content-Security-Policy\" content=\""
                 "default-src 'none'; style-src '([^']+)'; script-src "
                 "'([^']+)'; img-src 'none'")));
  const std::string style = found[kHash];
  const std::string script = found[kHash + 1];
  const auto inside = [&html](const std::string& tag) {
    const std::size_t open = html.find("<" + tag + ">") + tag.size() + 2;
    return html.substr(open, html.find("</" + tag + ">", open) - open);
  };
  EXPECT_EQ(style, cspHash(inside("style")));
  EXPECT_EQ(script, cspHash(inside("script")));
  EXPECT_EQ(occurrences(html, "<script"), 1u);
  EXPECT_EQ(occurrences(html, "<style"), 1u);
  // Nothing that loads: no element that would, and every link is to a
  // place in the page.
  for (const char* loads : {"<img", "<link", "<iframe", "<object", "<embed",
                            "<a href=\"javascript"}) {
    EXPECT_EQ(occurrences(html, loads), 0u) << loads;
  }
  EXPECT_EQ(inside("style").find("url("), std::string::npos);
  EXPECT_EQ(inside("style").find("@import"), std::string::npos);
  EXPECT_EQ(occurrences(html, "href=\""), occurrences(html, "href=\"#"));
  EXPECT_EQ(html.rfind("<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta "
                       "charset=\"utf-8\">",
                       0),
            0u);
}

TEST(RunPageTest,
     AMillionRequestsWithAHundredThousandDifferencesStaysUnder5MB) {
  // Every text at its longest and of the characters that escape longest.
  const std::string hostile(5000, '"');
  const std::vector<std::string> lines(100, hostile);
  MadeUpRun run;
  run.page.compareWithBaseline();
  for (int i = 1; i <= 1000000; ++i) {
    const bool rejected = i % 500 == 0;
    run.request(i, rejected ? Outcome::kRejected : Outcome::kAccepted,
                rejected ? 500 : 200, std::chrono::microseconds(100 + i % 900),
                hostile, hostile);
    if (i % 10 != 0) continue;
    // What a feeder does: the details only while they are kept.
    if (run.page.keepsDifferenceDetails()) {
      run.page.addDifference({hostile, lines, lines,
                              std::vector<std::string>(100, hostile + "x")});
    } else {
      run.page.addDifference({hostile, {hostile}, {}, {}});
    }
  }
  std::vector<DigestLine> digest(20, DigestLine{hostile, 5000});
  run.page.setDigest(digest);
  run.page.setUnmatchedRules(std::vector<std::string>(500, hostile));
  const std::string html = run.written();
  EXPECT_LT(html.size(), 5u * 1000 * 1000);
  EXPECT_EQ(byId(html, "count-differing"), "100,000");
  EXPECT_EQ(byId(html, "count-rejected"), "2,000");
  EXPECT_NE(html.find("id=\"differing-more\""), std::string::npos);
  EXPECT_NE(html.find("id=\"problems-more\""), std::string::npos);
  EXPECT_EQ(html.substr(html.size() - 8), "</html>\n");
}

}  // namespace
