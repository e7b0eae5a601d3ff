#include "stand_in_provider/options.h"

#include <cstdio>
#include <cstdlib>

#include "stand_in_provider/connection_faults.h"

namespace {

const char* const kUsage =
    "Usage: mdprovider_stand_in [--port N] [--log FILE] [--bodies FILE]\n"
    "                           [--pid-file FILE] [--watch-stdin] [--ntlm]\n"
    "                           [--basic USER:PASSWORD]\n"
    "                           [--status N:CODE] [--delay N:MS] [--differ N]\n"
    "                           [--drop N] [--garbage N] [--close-after N]\n"
    "\n"
    "A provider for tests and demos: it keeps a model per project, answers\n"
    "MA queries and XS transforms on it, and prints \"listening on\n"
    "127.0.0.1:PORT\" once it listens (--port 0 or none: a free port).\n"
    "  --log FILE        one line per request: its number, peer port, size\n"
    "  --bodies FILE     each request's body, followed by a NUL\n"
    "  --pid-file FILE   its process id, while it runs\n"
    "  --watch-stdin     stops when standard input ends\n"
    "  --ntlm, --basic   asks for NTLM, or Basic with this user and password\n"
    "  --status N:CODE   answers the N-th request with this HTTP status\n"
    "  --delay N:MS      answers the N-th request this much later\n"
    "  --differ N        answers the N-th request with one property changed\n"
    "  --drop N          closes the connection instead of answering the N-th\n"
    "  --garbage N       answers the N-th request with what is no HTTP\n"
    "  --close-after N   closes the connection after answering the N-th\n";

}  // namespace

void usage(const std::string& word, const char* why) {
  std::fprintf(stderr, "mdprovider_stand_in: cannot use \"%s\"%s%s\n",
               word.c_str(), *why == '\0' ? "" : ": ", why);
  std::exit(2);
}

Options readOptions(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string flag = argv[i];
    if (flag == "--help" || flag == "-h") {
      std::fputs(kUsage, stdout);
      std::exit(0);
    }
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
