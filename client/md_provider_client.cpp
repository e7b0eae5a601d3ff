#include "client/md_provider_client.h"

#include <iostream>
#include <string>

#include "platform/os/environment.h"

MDProviderClient::MDProviderClient()
    : userName(""),
      password(""),
      authNamespace(""),
      firstSeq(0),
      lastSeq(-1),
      createProject(false) {}

MDProviderClient::~MDProviderClient() { password.wipe(); }

bool MDProviderClient::initialize() {
  if (authNamespace == "") authNamespace = "NTLM";
  const std::string tracePath = platform::environmentValue("MDPROVIDER_TRACE");
  if (!tracePath.empty() && !requestTrace.isOpen()) {
    std::string reason;
    if (!requestTrace.open(tracePath, reason)) {
      std::cerr << "Cannot open the request trace \"" << tracePath
                << "\": " << reason << std::endl;
      return false;
    }
  }
  secrets.add(password.str());
  std::string problem;
  if (!delivery.configure({userName.str(), password.str(), authNamespace.str()},
                          secrets, problem)) {
    std::cerr << problem << std::endl;
    return false;
  }
  if (!openReport()) return false;
  startRun();
  return true;
}

bool MDProviderClient::openReport() {
  const std::string path = platform::environmentValue("MDPROVIDER_REPORT");
  if (path.empty()) return true;
  std::string reason;
  if (!report.open(path, projectName.str(), secrets, reason)) {
    std::cerr << "Cannot write the report \"" << path << "\": " << reason
              << std::endl;
    return false;
  }
  runRecord.enable(report, secrets);
  return true;
}

void MDProviderClient::printMessage(const char* text) {
  std::cout << text << std::endl;
}
