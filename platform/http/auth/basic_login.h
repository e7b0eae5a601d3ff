#pragma once

#include <string>

namespace platform {

// What a Basic login sends after "Basic ": the base64 of "user:password".
// It holds the password as plainly as the password itself does.
std::string basicCredentials(const std::string& user,
                             const std::string& password);

}  // namespace platform
