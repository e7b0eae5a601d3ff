// Writes a run's page from made-up data, the baseline's part included, for
// the browser test: `run_page_sample <file>`. Its texts are hostile where a
// provider's or a baseline's could be.

#include <chrono>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "report/page_writer.h"
#include "report/run_page.h"

namespace {

using Clock = std::chrono::steady_clock;

const std::vector<std::string> kHostile = {
    "<script>window.__pwned = 'script'</script>",
    "</textarea></pre></code><img src=x onerror=\"window.__pwned='img'\">",
    "]]> <a href=\"javascript:window.__pwned='link'\">click</a>",
    "C0 \x01\x02\x1b[31m\x7f C1 \xC2\x85\xC2\x9F bytes \xff\xfe",
    "<svg onload=\"window.__pwned='svg'\"><style>body{display:none}</style>",
    "&lt;already escaped&gt; &amp; \"quoted\" 'single'",
};

RunPage madeUp() {
  RunPage page;
  PageRun run;
  run.test = "AC";
  run.project = "Sales <script>window.__pwned='project'</script>";
  run.script = "\"><svg onload=window.__pwned='script'>.xml";
  run.delivering = true;
  run.address = "http://provider.example:8080/mdprovider";
  run.started = "2026-01-02T03:04:05";
  run.hostname = "tester";
  run.reportKept = true;
  const SecretMask secrets;
  page.begin(run, secrets);
  page.compareWithBaseline();

  Clock::time_point at = Clock::now();
  const std::string create = "project create";
  for (int i = 0; i <= 3000; ++i) {
    PageRequest request;
    request.name = i == 0 ? &create : nullptr;
    request.seq = i;
    const bool rejected = i % 400 == 7;
    request.outcome = rejected ? PageRequest::Outcome::kRejected
                               : PageRequest::Outcome::kAccepted;
    request.answered = true;
    request.status = rejected ? 500 : 200;
    // Some 2 ms with a slow stretch in the middle and a few spikes.
    const int micros = 1500 + (i * 7919) % 1200 +
                       (i > 1400 && i < 1700 ? 6000 : 0) +
                       (i % 997 == 0 ? 90000 : 0);
    request.begun = at;
    at += std::chrono::microseconds(micros);
    request.ended = at;
    request.message = rejected ? "HTTP 500" : "";
    const std::string& reason =
        kHostile[static_cast<std::size_t>(i) % kHostile.size()];
    request.reason = reason;
    // The baseline's times: the same requests, a little faster.
    page.recordedTime(micros * 0.8 / 1000.0);
    page.requestEnded(request);
  }

  std::vector<DigestLine> digest;
  digest.push_back(
      {"/answer/transaction/object/@version is \"2.2\" where the "
       "baseline has \"2.1\"",
       180});
  digest.push_back({"/answer/@status (values vary)", 12});
  for (const std::string& hostile : kHostile) {
    digest.push_back({"/answer/text() is \"" + hostile + "\"", 1});
  }
  page.setDigest(digest);
  for (int i = 1; i <= 12; ++i) {
    PageDifference difference;
    difference.name = "transaction " + std::to_string(i * 11);
    difference.lines = {
        "/answer/transaction/object[@id=\"Region\"]/@version is \"2.2\" where "
        "the baseline has \"2.1\"",
        "/answer/text() is \"" +
            kHostile[static_cast<std::size_t>(i) % kHostile.size()] + "\""};
    difference.baseline = {
        "<answer status=\"ok\">",
        "  <transaction seq=\"" + std::to_string(i * 11) + "\">",
        "    <object id=\"Region\" version=\"2.1\">",
        "      <property name=\"caption\">Sales region</property>",
        "    </object>",
        "    <object id=\"b\"/>",
        "  </transaction>",
        "</answer>"};
    difference.answer = difference.baseline;
    difference.answer[2] = "    <object id=\"Region\" version=\"2.2\">";
    difference.answer.insert(
        difference.answer.begin() + 6,
        "    " + kHostile[static_cast<std::size_t>(i) % kHostile.size()]);
    page.addDifference(difference);
  }
  page.setUnmatchedRules(
      {"Rule \"rules.txt\" line 3 (mask /*/@tiem) matched "
       "nothing in 3001 answers"});
  page.setUnreached(2);
  page.end(7.25);
  return page;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: run_page_sample FILE\n";
    return 2;
  }
  std::ofstream out(argv[1], std::ios::binary);
  writeRunPage(madeUp(), [&out](std::string_view piece) {
    out.write(piece.data(), static_cast<std::streamsize>(piece.size()));
  });
  out.close();
  return out ? 0 : 1;
}
