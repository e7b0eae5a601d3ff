#pragma once

#include "platform/core/i18n_string.h"

class KesVrnDir {
 public:
  // Non-zero when something exists at `path` whose file type bits equal
  // `mode` (0x8000: a regular file). A relative path is taken from the
  // working directory; an empty or missing path gives 0.
  static int exists(const I18NString& path, unsigned short mode);
};
