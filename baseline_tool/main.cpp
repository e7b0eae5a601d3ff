#include "baseline_tool/baseline_commands.h"
#include "platform/os/utf8_arguments.h"

int main(int argc, char** argv) {
  platform::Utf8Arguments arguments(argc, argv);
  return runBaselineTool(arguments.count(), arguments.values());
}
