#pragma once

#include <string>
#include <vector>

#include "baseline/recording_comparison.h"

// mdprovider_baseline: baseline files compared, reviewed, accepted and
// shown without a provider. Each command returns the program's status:
// 0 the same or done, 1 different (diff), 2 a file that cannot be used or
// a wrong command line.
int runBaselineTool(int argc, char** argv);

using Words = std::vector<std::string>;

int diffCommand(const Words& words);
int acceptCommand(const Words& words);
int reviewCommand(const Words& words);
int showCommand(const Words& words);

// Writes the baseline that the accepted steps make and, once it is in
// place, says so after `lines`; the status.
int mergeAccepted(const std::string& baseline, const std::string& recording,
                  const std::vector<RecordingStep::Kind>& steps,
                  const std::vector<char>& accepted, const SeqRange& range,
                  const std::vector<std::string>& lines = {});

// The usage text on standard error, and status 2.
int usage();
// A line on standard error, and status 2.
int refuse(const std::string& line);
