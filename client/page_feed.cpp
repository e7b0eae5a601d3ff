// What the run hands to its page (MDPROVIDER_HTML): the facts known at the
// start, each difference from the baseline, and the page itself at the end.

#include <iostream>
#include <string>

#include "baseline/difference_text.h"
#include "client/md_provider_client.h"
#include "platform/os/host_name.h"

bool MDProviderClient::openPage() {
  const std::string& path = settings.page;
  if (path.empty()) return true;
  std::string reason;
  if (!pageFile.open(path, reason)) {
    std::cerr << "Cannot write the page \"" << path << "\": " << reason
              << std::endl;
    return false;
  }
  PageRun run;
  run.test = testType.str();
  run.project = projectName.str();
  run.script = scriptPath.str();
  run.delivering = delivery.isOn();
  run.address = delivery.address();
  run.started = startedTimestamp;
  run.hostname = platform::hostName();
  run.reportKept = report.isOpen();
  page.begin(std::move(run), secrets);
  if (judge.comparing()) page.compareWithBaseline();
  runRecord.showOn(page, secrets);
  return true;
}

void MDProviderClient::showDifference(const Verdict& verdict) {
  if (!pageFile.isOpen()) return;
  PageDifference difference;
  difference.name = verdict.testcase;
  if (!page.keepsDifferenceDetails()) {
    page.addDifference(std::move(difference));
    return;
  }
  for (const Difference& each : verdict.differences) {
    difference.lines.push_back(describe(each));
  }
  if (verdict.count > verdict.differences.size()) {
    difference.lines.push_back(
        "... and " +
        std::to_string(verdict.count - verdict.differences.size()) +
        " more differences");
  }
  difference.baseline = verdict.baselineLines;
  difference.answer = verdict.answerLines;
  difference.firstLine = verdict.firstLine;
  if (verdict.differences.front().kind == Difference::Kind::kRemovedFromLog) {
    difference.removed = verdict.removed;
  }
  page.addDifference(std::move(difference));
}

bool MDProviderClient::writePage(double seconds) {
  if (!pageFile.isOpen()) return true;
  if (judge.comparing()) page.setUnreached(judge.unreached());
  page.end(seconds);
  std::string reason;
  if (pageFile.write(page, reason)) return true;
  std::cerr << "Failed to write the page \"" << pageFile.path()
            << "\": " << reason << std::endl;
  return false;
}
