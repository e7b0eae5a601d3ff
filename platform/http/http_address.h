#pragma once

#include <string>

namespace platform {

// An http:// or https:// address as the HTTP library reads it: how it may
// be shown, without the user name and password it may carry, and that
// password as written and as meant (%XX decoded). The passwords are wiped
// when the value goes.
struct HttpAddress {
  std::string shown;
  std::string user;
  std::string passwordAsWritten;
  std::string password;
  ~HttpAddress();
};

// False with `reason` set when the library cannot read the address: a user
// name or password that holds one of `/?#@` unencoded, for one.
bool readHttpAddress(const std::string& address, HttpAddress& parts,
                     std::string& reason);

}  // namespace platform
