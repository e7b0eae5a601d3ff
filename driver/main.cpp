#include "driver/run_driver.h"
#include "platform/os/console_text.h"
#include "platform/os/utf8_arguments.h"

int main(int argc, char** argv) {
  platform::Utf8Arguments arguments(argc, argv);
  const platform::ConsoleText console;
  return runClient(arguments.count(), arguments.values());
}
