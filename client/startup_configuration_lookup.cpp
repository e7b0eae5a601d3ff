#include "client/startup_configuration_lookup.h"

#include <iostream>
#include <memory>

#include "platform/core/resources.h"
#include "platform/core/startup_configuration.h"

namespace {

constexpr long kConfigurationKey = 204;
constexpr long kAlternateConfigurationKey = 162;

}  // namespace

I18NString startupConfigurationValue(bool alternate) {
  I18NString key = resources::getString(kConfigurationKey);
  if (alternate) key = resources::getString(kAlternateConfigurationKey);
  I18NString result;
  const auto configuration = std::make_unique<TOVStartupConfiguration>();
  if (configuration->getValue(key, 0, result) != TOVCFGAPI_OK) {
    std::cerr << "Unable to read configuration file";
  }
  return result;
}
