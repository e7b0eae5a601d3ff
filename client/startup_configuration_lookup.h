#pragma once

#include "platform/core/i18n_string.h"

// The start-up configuration value under key resource 204, or 162 when
// `alternate`. A failed lookup writes "Unable to read configuration file"
// to standard error, with no line end, and gives the empty text.
I18NString startupConfigurationValue(bool alternate);
