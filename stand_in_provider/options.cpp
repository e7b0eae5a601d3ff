#include "stand_in_provider/options.h"

#include <cstdio>
#include <cstdlib>

#include "stand_in_provider/connection_faults.h"

void usage(const std::string& word, const char* why) {
  std::fprintf(stderr, "mdprovider_stand_in: cannot use \"%s\"%s%s\n",
               word.c_str(), *why == '\0' ? "" : ": ", why);
  std::exit(2);
}

Options readOptions(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string flag = argv[i];
    if (flag == "--watch-stdin") {
      options.watchStdin = true;
      continue;
    }
    if (flag == "--ntlm") {
      options.faults.ntlm = true;
      continue;
    }
    if (i + 1 >= argc) usage(flag);
    const std::string value = argv[++i];
    if (flag == "--port") {
      // What it says it listens on must be what it listens on.
      if (!portNumber(value, options.port)) {
        usage(flag + " " + value, "a port is a whole number from 0 to 65535");
      }
    } else if (flag == "--log") {
      options.logPath = value;
    } else if (flag == "--bodies") {
      options.bodiesPath = value;
    } else if (flag == "--pid-file") {
      options.pidPath = value;
    } else if (!options.faults.take(flag, value)) {
      usage(flag + " " + value,
            flag == "--basic" ? "it takes user:password, neither empty" : "");
    }
  }
  if ((!options.faults.drop.empty() || !options.faults.garbage.empty()) &&
      !canBreakConnections()) {
    std::fprintf(stderr,
                 "mdprovider_stand_in: --drop and --garbage are not supported "
                 "on this system\n");
    std::exit(2);
  }
  return options;
}
