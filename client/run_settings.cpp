#include "client/run_settings.h"

#include "delivery/provider_address.h"
#include "platform/os/environment.h"

RunSettings readRunSettings() {
  // cmd keeps a blank typed before the end of a `set` line: no value means
  // one, and no file name ends in one on Windows.
  const auto value = [](const char* name) {
    return withoutBlanksAround(platform::environmentValue(name));
  };
  RunSettings settings;
  settings.trace = value("MDPROVIDER_TRACE");
  settings.report = value("MDPROVIDER_REPORT");
  settings.page = value("MDPROVIDER_HTML");
  DeliveryVariables& delivery = settings.delivery;
  delivery.deliver = value("MDPROVIDER_DELIVER");
  delivery.timeout = value("MDPROVIDER_TIMEOUT");
  delivery.answerLimit = value("MDPROVIDER_ANSWER_LIMIT");
  delivery.responses = value("MDPROVIDER_RESPONSES");
  delivery.echo = value("MDPROVIDER_ECHO");
  delivery.caFile = value("MDPROVIDER_CA_FILE");
  settings.baseline.record = value("MDPROVIDER_RECORD");
  settings.baseline.baseline = value("MDPROVIDER_BASELINE");
  settings.baseline.rules = value("MDPROVIDER_BASELINE_RULES");
  return settings;
}

std::vector<NamedFile> RunSettings::files() const {
  std::vector<NamedFile> files = {{"MDPROVIDER_TRACE", trace},
                                  {"MDPROVIDER_REPORT", report},
                                  {"MDPROVIDER_HTML", page}};
  // The others are read only while delivering.
  if (!delivery.deliver.empty()) {
    files.insert(files.end(), {{"MDPROVIDER_RESPONSES", delivery.responses},
                               {"MDPROVIDER_CA_FILE", delivery.caFile},
                               {"MDPROVIDER_BASELINE", baseline.baseline},
                               {"MDPROVIDER_RECORD", baseline.record},
                               {"MDPROVIDER_BASELINE_RULES", baseline.rules}});
  }
  return files;
}
