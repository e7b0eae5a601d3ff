#pragma once

#include "platform/http/http_client.h"

namespace platform {

// Whether `scheme`, given a user name and an empty password, signs on as
// the user whose session runs the program rather than as that user with
// an empty password.
bool signsOnAsSession(HttpAuthScheme scheme);

}  // namespace platform
