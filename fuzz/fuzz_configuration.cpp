// Arbitrary bytes as the two configuration files a caller of the library
// reads: `startup.cfg` or `startup.cfg NUL mdproviderconf.xml` (without the
// second part there is no settings file). Both are read as the library
// reads them: the start-up values under both keys, and the provider's
// address from the folder beside the working directory.

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <iostream>
#include <sstream>
#include <string>

#include "client/startup_configuration_lookup.h"
#include "delivery/endpoint_settings.h"
#include "fuzz/fuzz_support.h"
#include "platform/core/tov_exception.h"

namespace {

std::string startupPath;
std::string settingsPath;
std::string workFolder;

// A lookup that fails says so on standard error, which libFuzzer keeps for
// its own words.
std::ostringstream quiet;

void checkStartupValue(std::string_view text, bool alternate) {
  const std::string key = alternate ? "MDProviderAlternateConfiguration"
                                    : "MDProviderConfiguration";
  const std::string value = startupConfigurationValue(alternate).str();
  quiet.str(std::string());
  fuzz::expect(value.find('\n') == std::string::npos,
               "a value is one line at most");
  if (!value.empty()) {
    fuzz::expect(text.find(key + "=" + value) != std::string_view::npos,
                 "a value is the rest of its key's line");
  }
}

void checkAddress(bool settings) {
  const int before = ::open(".", O_RDONLY | O_DIRECTORY);
  if (before < 0 || ::chdir(workFolder.c_str()) != 0) fuzz::broken("chdir");
  std::string address;
  bool refused = false;
  try {
    address = endpointAddress().str();
  } catch (TOVException* failure) {
    // A settings file the parser refuses fails the call.
    delete failure;
    refused = true;
  }
  if (::fchdir(before) != 0) fuzz::broken("fchdir");
  ::close(before);
  if (!settings) {
    fuzz::expect(address == "http://localhost:8080/mdprovider",
                 "without a settings file the defaults serve");
  }
  if (refused) return;
  fuzz::expect(address.rfind("http://", 0) == 0 && address.size() >= 19 &&
                   address.compare(address.size() - 11, 11, "/mdprovider") == 0,
               "an address is composed of its pieces");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const std::string folder = fuzz::scratchFolder();
  if (folder.empty() || fuzz::scratchPath("configuration", true).empty()) {
    return 1;
  }
  workFolder = fuzz::scratchPath("work", true);
  settingsPath = fuzz::scratchPath("configuration/mdproviderconf.xml");
  startupPath = fuzz::scratchPath("startup.cfg");
  if (workFolder.empty() ||
      ::setenv("MDPROVIDER_STARTUP_CONFIG", startupPath.c_str(), 1) != 0) {
    return 1;
  }
  std::cerr.rdbuf(quiet.rdbuf());
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  const auto parts = fuzz::parts(data, size, 1);
  const bool settings = parts.size() > 1;
  if (!fuzz::writeFile(startupPath, parts[0])) return 0;
  if (settings ? !fuzz::writeFile(settingsPath, parts[1])
               : std::remove(settingsPath.c_str()) != 0 && errno != ENOENT) {
    return 0;
  }
  try {
    checkStartupValue(parts[0], false);
    checkStartupValue(parts[0], true);
  } catch (TOVException* failure) {
    fuzz::broken(failure->getErrorCodeString());
  }
  checkAddress(settings);
  return 0;
}
