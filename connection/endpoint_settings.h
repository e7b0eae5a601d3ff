#pragma once

#include "platform/core/i18n_string.h"

// The provider's address: "http://" host ":" port "/mdprovider" (resource
// texts), with host and port from "../configuration/mdproviderconf.xml"
// when that file is there and names them. The file is read anew each call;
// one the parser rejects makes the call throw.
I18NString endpointAddress();
