#include "client/md_provider_client.h"

#include <iostream>
#include <string>

#include "client/run_files.h"
#include "platform/os/console.h"
#include "platform/os/host_name.h"

MDProviderClient::MDProviderClient()
    : userName(""),
      password(""),
      authNamespace(""),
      firstSeq(0),
      lastSeq(-1),
      createProject(false),
      console(platform::standardOutputIsTerminal()) {}

MDProviderClient::~MDProviderClient() { password.wipe(); }

bool MDProviderClient::initialize() {
  if (authNamespace == "") authNamespace = "NTLM";
  std::string problem;
  // Before anything is opened: a report named like the script would
  // replace it.
  settings = readRunSettings();
  if (!runFilesAreDistinct(scriptPath.str(), settings.files(), problem)) {
    std::cerr << problem << std::endl;
    return false;
  }
  const std::string& tracePath = settings.trace;
  if (!tracePath.empty() && !requestTrace.isOpen()) {
    std::string reason;
    if (!requestTrace.open(tracePath, secrets, reason)) {
      std::cerr << "Cannot open the request trace \"" << tracePath
                << "\": " << reason << std::endl;
      return false;
    }
  }
  secrets.add(password.str());
  judge.hideSecrets(secrets);
  if (!delivery.configure({userName.str(), password.str(), authNamespace.str()},
                          settings.delivery, secrets, problem) ||
      !judge.configure(delivery.isOn(), SeqRange{firstSeq, lastSeq},
                       settings.baseline, problem)) {
    std::cerr << problem << std::endl;
    return false;
  }
  if (!judge.notice().empty()) std::cerr << judge.notice() << std::endl;
  startRun();
  return openReport() && openPage();
}

bool MDProviderClient::openReport() {
  const std::string& path = settings.report;
  if (path.empty()) return true;
  ReportHeader header;
  header.suiteName = testType.str().empty()
                         ? projectName.str()
                         : testType.str() + " " + projectName.str();
  header.project = projectName.str();
  header.script = scriptPath.str();
  header.delivering = delivery.isOn();
  header.address = delivery.address();
  header.timestamp = startedTimestamp;
  header.hostname = platform::hostName();
  header.baseline = judge.baselinePath();
  header.rules = judge.rulesPath();
  header.recording = judge.recordPath();
  std::string reason;
  if (!report.open(path, header, secrets, reason)) {
    std::cerr << "Cannot write the report \"" << path << "\": " << reason
              << std::endl;
    return false;
  }
  runRecord.enable(report, secrets);
  return true;
}

void MDProviderClient::printMessage(const char* text) { console.line(text); }
