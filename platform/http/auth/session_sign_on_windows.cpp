#include "platform/http/auth/session_sign_on.h"

namespace platform {

// SSPI holds the logged-on user's credentials for both of Windows' own
// schemes, and the HTTP library uses them when it is given no user name.
bool signsOnAsSession(HttpAuthScheme scheme) {
  return scheme == HttpAuthScheme::kNegotiate ||
         scheme == HttpAuthScheme::kNtlm;
}

}  // namespace platform
