#pragma once

#include <string>

#include "connection/run_record.h"

namespace platform {
class AtomicFile;
}

// What the report says about the run as a whole.
struct ReportHeader {
  std::string suiteName;  // the test type and the project
  std::string project;
  std::string script;
  bool delivering = false;
  std::string address;    // without credentials
  std::string timestamp;  // ISO 8601, UTC
  std::string hostname;
  double seconds = 0;
  std::string password;  // never written: replaced wherever it appears
};

// Writes the run as a JUnit XML report into `file` and commits it: one
// testsuite, one testcase per request in order, a `failure` for a rejected
// request, an `error` for one whose delivery failed, and a `run` testcase
// for a failure outside any request. Well-formed UTF-8 whatever the texts
// hold. False with `reason` set when the file cannot be written.
bool writeJUnitReport(platform::AtomicFile& file, const RunRecord& record,
                      const ReportHeader& header, std::string& reason);
