#pragma once

#include <string>

// The files a run reads and writes must be as many files as they are
// named: the script, the trace, the responses file, the CA file, the
// report, the page, the baseline, the recording and the rules. False with
// one line in `problem`, naming both, when two of them are one file, through
// links or not; nothing is read or written then.
bool runFilesAreDistinct(const std::string& scriptPath, std::string& problem);
