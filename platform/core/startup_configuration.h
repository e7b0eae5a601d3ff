#pragma once

#include "platform/core/i18n_string.h"

enum TOVCFGAPI_ErrorState {
  TOVCFGAPI_OK = 0,
  TOVCFGAPI_FILE_UNREADABLE = 1,
  TOVCFGAPI_KEY_NOT_FOUND = 2,
};

// The start-up configuration: a text file of `key=value` lines. Blank lines
// and lines that begin with '#' are skipped; the value is the rest of the
// line after the first '='. The file is the one named by
// MDPROVIDER_STARTUP_CONFIG, or "../configuration/startup.cfg" relative to
// the working directory.
class TOVStartupConfiguration {
 public:
  TOVStartupConfiguration() = default;
  virtual ~TOVStartupConfiguration() = default;

  // Stores the value of `key` in `value` and returns TOVCFGAPI_OK, or a
  // non-zero state and leaves `value` as it was. The int is reserved.
  TOVCFGAPI_ErrorState getValue(const I18NString& key, int reserved,
                                I18NString& value);
};
