#pragma once

#include <string>

#include "stand_in_provider/faults.h"

// The stand-in's command line:
//   mdprovider_stand_in [--port P] [--log FILE] [--bodies FILE]
//       [--pid-file FILE] [--watch-stdin] [flags of faults.h]
struct Options {
  int port = 0;  // 0: a free one
  std::string logPath;
  std::string bodiesPath;
  std::string pidPath;  // takes the process id once it listens
  bool watchStdin = false;
  Faults faults;
};

// The options, or the word that cannot be used on standard error and
// exit status 2.
Options readOptions(int argc, char** argv);

// One line on standard error naming the word, and why when `why` says,
// then exit status 2.
[[noreturn]] void usage(const std::string& word, const char* why = "");
