#pragma once

#include <string>
#include <vector>

// A file of the run and the variable that names it.
struct NamedFile {
  std::string variable;  // "MDPROVIDER_REPORT"
  std::string path;      // empty: none
};

// The files a run reads and writes must be as many files as they are
// named: the script and `files` (the trace, the responses file, the CA
// file, the report, the page, the baseline, the recording and the rules).
// False with one line in `problem`, naming both, when two of them are one
// file, through links or not; nothing is read or written then.
bool runFilesAreDistinct(const std::string& scriptPath,
                         const std::vector<NamedFile>& files,
                         std::string& problem);
