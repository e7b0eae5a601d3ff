// What the run hands to its page (MDPROVIDER_HTML): the facts known at the
// start, each difference from the baseline, and the page itself at the end.

#include <iostream>
#include <string>

#include "client/md_provider_client.h"
#include "platform/os/environment.h"
#include "platform/os/host_name.h"

bool MDProviderClient::openPage() {
  const std::string path = platform::environmentValue("MDPROVIDER_HTML");
  if (path.empty()) return true;
  std::string reason;
  if (!pageFile.open(path, reason)) {
    std::cerr << "Cannot write the page \"" << path << "\": " << reason
              << std::endl;
    return false;
  }
  page.hideSecretsWith([this](std::string& text) {
    if (secrets.appearsIn(text)) text = secrets.hidden(text);
  });
  PageRun run;
  run.test = testType.str();
  run.project = projectName.str();
  run.script = scriptPath.str();
  run.delivering = delivery.isOn();
  run.address = delivery.address();
  run.started = startedTimestamp;
  run.hostname = platform::hostName();
  run.reportKept = report.isOpen();
  page.begin(std::move(run));
  if (judge.comparing()) page.compareWithBaseline();
  runRecord.showOn(page, secrets);
  return true;
}

void MDProviderClient::showDifference(const Judgement& judgement) {
  if (!pageFile.isOpen()) return;
  PageDifference difference;
  difference.name = runRecord.requestName();
  if (!page.keepsDifferenceDetails()) {
    page.addDifference(std::move(difference));
    return;
  }
  // Every difference, then a blank line and the diff: the lines before it.
  const std::string& details = judgement.details;
  for (std::size_t at = 0; at < details.size();) {
    std::size_t end = details.find('\n', at);
    if (end == std::string::npos) end = details.size();
    if (end == at) break;
    difference.lines.push_back(details.substr(at, end - at));
    at = end + 1;
  }
  if (difference.lines.empty()) difference.lines.push_back(judgement.message);
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
