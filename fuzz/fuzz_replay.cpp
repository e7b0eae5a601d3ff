// Arbitrary bytes as an action log: parsed, counted and replayed, and sent
// whole as a script request.

#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "client/md_provider_client.h"
#include "fuzz/fuzz_support.h"
#include "platform/core/tov_exception.h"

namespace {

std::string scriptPath;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (std::freopen("/dev/null", "w", stdout) == nullptr) return 1;
  ::unsetenv("MDPROVIDER_TRACE");
  scriptPath = fuzz::scratchPath("script.xml");
  return scriptPath.empty() ? 1 : 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  if (!fuzz::writeFile(
          scriptPath,
          std::string_view(reinterpret_cast<const char*>(data), size))) {
    return 0;
  }
  // The first byte picks the range, so that selection is exercised too.
  const std::string first = "-b" + std::to_string(size > 0 ? data[0] % 4 : 0);
  const std::string last =
      "-e" + std::to_string(size > 1 ? int(data[1] % 5) - 2 : -1);
  std::string words[] = {"KesMDProviderClient",
                         "-t",
                         "AC",
                         "-c",
                         "P",
                         "-s",
                         scriptPath,
                         first,
                         last};
  char* argv[] = {words[0].data(), words[1].data(), words[2].data(),
                  words[3].data(), words[4].data(), words[5].data(),
                  words[6].data(), words[7].data(), words[8].data(),
                  nullptr};
  MDProviderClient client;
  if (!client.parseArguments(9, argv) || !client.initialize()) std::abort();
  try {
    client.replayActionLog();
    client.processScriptRequest("ma", "query", scriptPath.c_str());
  } catch (TOVException* failure) {
    delete failure;
  }
  return 0;
}
