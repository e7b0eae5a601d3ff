#pragma once

// Every MDPROVIDER_* variable of a run, read once at its start: the rest of
// the run is handed what it needs of this value and reads no variable of
// its own.

#include <string>
#include <vector>

#include "baseline/answer_judge.h"
#include "client/run_files.h"
#include "delivery/delivery_settings.h"

struct RunSettings {
  std::string trace;   // MDPROVIDER_TRACE
  std::string report;  // MDPROVIDER_REPORT
  std::string page;    // MDPROVIDER_HTML
  DeliveryVariables delivery;
  BaselineFiles baseline;

  // The run's files, by the variables that name them; those read only
  // while delivering only then.
  std::vector<NamedFile> files() const;
};

RunSettings readRunSettings();
