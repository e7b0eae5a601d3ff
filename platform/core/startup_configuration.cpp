#include "platform/core/startup_configuration.h"

#include <memory>
#include <string>

#include "platform/core/tov_exception.h"
#include "platform/os/environment.h"
#include "platform/os/file_reader.h"

namespace {

std::string configurationPath() {
  const std::string named =
      platform::environmentValue("MDPROVIDER_STARTUP_CONFIG");
  return named.empty() ? "../configuration/startup.cfg" : named;
}

bool isBlank(const std::string& line) {
  return line.find_first_not_of(" \t") == std::string::npos;
}

}  // namespace

TOVCFGAPI_ErrorState TOVStartupConfiguration::getValue(const I18NString& key,
                                                       int, I18NString& value) {
  platform::FileContent content;
  try {
    content = platform::readRegularFile(configurationPath().c_str());
  } catch (TOVException* failure) {
    delete failure;
    return TOVCFGAPI_FILE_UNREADABLE;
  }
  const std::string text(content.data.get(), content.size);
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
    // A file written on Windows ends its lines with CR LF.
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (isBlank(line) || line[0] == '#') continue;
    const std::size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    if (key.str() == line.substr(0, equals)) {
      value = I18NString(line.data() + equals + 1, nullptr,
                         static_cast<long>(line.size() - equals - 1));
      return TOVCFGAPI_OK;
    }
  }
  return TOVCFGAPI_KEY_NOT_FOUND;
}
