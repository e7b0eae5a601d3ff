#pragma once

#include <string>
#include <vector>

#include "platform/core/i18n_string.h"

// The provider's address: "http://" host ":" port "/mdprovider" (resource
// texts), with host and port, without the blanks around them, from the
// settings file at `settingsPath` when that is a regular file and names
// them. The file is read anew each call; one the parser rejects makes the
// call throw.
I18NString endpointAddress(const std::string& settingsPath);
// The same from "../configuration/mdproviderconf.xml".
I18NString endpointAddress();

// The settings file MDPROVIDER_DELIVER=1 reads: the one above from the
// working directory, or else "configuration/mdproviderconf.xml" beside the
// folder of the program's own file, which a program started by its bare
// name from PATH has not moved into. Empty when neither is there;
// `lookedAt` then holds the files looked for, whole.
std::string endpointSettingsFile(std::vector<std::string>& lookedAt);
