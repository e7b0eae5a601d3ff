#pragma once

#include "platform/core/i18n_string.h"

// Compiled-in resource texts: request types, actions, address pieces and
// configuration keys, looked up by their fixed numbers.
class resources {
 public:
  // An unknown id gives the empty text. The reference stays valid for the
  // life of the process.
  static const I18NString& getString(long id);
};
