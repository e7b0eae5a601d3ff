// Arbitrary bytes as a command line: words separated by NUL bytes.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "client/md_provider_client.h"
#include "platform/core/tov_exception.h"
#include "platform/os/process_exit.h"

namespace {

struct UsageExit {};

}  // namespace

// The usage path ends the process; here it ends the input instead.
void platform::endProcess(int) { throw UsageExit(); }

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The usage text and its key wait must neither flood nor block.
  if (std::freopen("/dev/null", "r", stdin) == nullptr ||
      std::freopen("/dev/null", "w", stdout) == nullptr) {
    return 1;
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  std::vector<std::string> words{"KesMDProviderClient"};
  std::string word;
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == 0) {
      words.push_back(word);
      word.clear();
    } else {
      word.push_back(static_cast<char>(data[i]));
    }
  }
  if (size > 0) words.push_back(word);
  std::vector<char*> argv;
  for (std::string& each : words) argv.push_back(each.data());
  argv.push_back(nullptr);

  MDProviderClient client;
  try {
    if (client.parseArguments(static_cast<int>(words.size()), argv.data())) {
      client.initialize();
    }
  } catch (const UsageExit&) {
  }
  return 0;
}
