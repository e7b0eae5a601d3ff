#include <iostream>
#include <memory>

#include "baseline_tool/baseline_commands.h"
#include "platform/core/tov_exception.h"

namespace {

const char* const kUsage =
    "Usage: mdprovider_baseline diff BASELINE RECORDING [RULES]\n"
    "       mdprovider_baseline accept BASELINE RECORDING [KEY...]\n"
    "       mdprovider_baseline review BASELINE RECORDING [RULES]\n"
    "       mdprovider_baseline show BASELINE [KEY]\n"
    "\n"
    "  diff    what differs between a baseline and a recording, as a "
    "run would say it\n"
    "  accept  puts the recording's records (or those a KEY names) into "
    "the baseline\n"
    "  review  each difference in turn, at a terminal: a accepts it, s "
    "skips it, q stops\n"
    "  show    the records of a baseline, or those a KEY names, as text\n"
    "\n"
    "A KEY names a request as the report names its testcase: "
    "\"transaction 11\",\n"
    "\"project create\". Exit status: 0 the same or done, 1 different "
    "(diff), 2 a file\n"
    "that cannot be used or a wrong command line.\n";

}  // namespace

int usage() {
  std::cerr << kUsage;
  return 2;
}

int refuse(const std::string& line) {
  std::cerr << line << std::endl;
  return 2;
}

int runBaselineTool(int argc, char** argv) {
  if (argc < 2) return usage();
  const std::string command = argv[1];
  const Words words(argv + 2, argv + argc);
  try {
    if (command == "diff") return diffCommand(words);
    if (command == "accept") return acceptCommand(words);
    if (command == "review") return reviewCommand(words);
    if (command == "show") return showCommand(words);
  } catch (TOVException* failure) {
    const std::unique_ptr<TOVException> owned(failure);
    return refuse(failure->getErrorCodeString());
  }
  if (command == "--help" || command == "-h") {
    std::cout << kUsage;
    return 0;
  }
  std::cerr << "mdprovider_baseline: unknown command \"" << command << "\"\n";
  return usage();
}
