// What the run's page costs in the run's own process, without the noise of
// a delivery: a million requests fed to it, 100,000 differences, and the
// page written. Prints wall and processor time and the page's size.

#include <chrono>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "report/page_writer.h"
#include "report/run_page.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Timer {
  Clock::time_point wall = Clock::now();
  std::clock_t cpu = std::clock();
  void print(const char* what, double per) {
    const double wallSeconds =
        std::chrono::duration<double>(Clock::now() - wall).count();
    const double cpuSeconds =
        static_cast<double>(std::clock() - cpu) / CLOCKS_PER_SEC;
    std::printf("  %-34s %8.3f s wall %8.3f s cpu", what, wallSeconds,
                cpuSeconds);
    if (per > 0) std::printf(" %8.1f ns each", cpuSeconds / per * 1e9);
    std::printf("\n");
  }
};

}  // namespace

int main() {
  constexpr int kRequests = 1000000;
  constexpr int kDiffering = 100000;
  RunPage page;
  PageRun run;
  run.test = "AC";
  run.project = "P";
  run.delivering = true;
  run.address = "http://127.0.0.1:8080/mdprovider";
  const SecretMask secrets;
  page.begin(run, secrets);
  page.compareWithBaseline();

  std::printf("the page fed and written in-process\n");
  Timer feeding;
  Clock::time_point at = Clock::now();
  for (int i = 1; i <= kRequests; ++i) {
    PageRequest request;
    request.seq = i;
    request.outcome = PageRequest::Outcome::kAccepted;
    request.answered = true;
    request.status = 200;
    request.begun = at;
    at += std::chrono::microseconds(40 + i % 97);
    request.ended = at;
    page.requestEnded(request);
  }
  feeding.print("1,000,000 requests", kRequests);

  // Answers as the stand-in's: a transaction with an object or two.
  std::vector<std::string> baseline = {
      "<answer type=\"action\" action=\"execute\" status=\"ok\">",
      "  <transaction seq=\"1\">",
      "    <object id=\"Region\" type=\"Dimension\">",
      "      <property name=\"caption\">Sales region</property>",
      "    </object>",
      "  </transaction>",
      "</answer>"};
  std::vector<std::string> answer = baseline;
  answer[3] =
      "      <property name=\"caption\">Sales region (changed)</property>";
  Timer differing;
  for (int i = 1; i <= kDiffering; ++i) {
    PageDifference difference;
    difference.name = "transaction " + std::to_string(i * 10);
    difference.lines = {
        "/answer/transaction[1]/object[1]/property[1]/text() is \"Sales "
        "region (changed)\" where the baseline has \"Sales region\""};
    if (page.keepsDifferenceDetails()) {
      difference.baseline = baseline;
      difference.answer = answer;
    }
    page.addDifference(std::move(difference));
  }
  differing.print("100,000 differences", kDiffering);

  Timer writing;
  std::size_t size = 0;
  page.end(60);
  writeRunPage(page, [&size](std::string_view piece) { size += piece.size(); });
  writing.print("the page written", 0);
  std::printf("  page size                          %8.3f MB\n",
              static_cast<double>(size) / 1e6);
  return 0;
}
