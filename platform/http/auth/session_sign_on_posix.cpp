#include "platform/http/auth/session_sign_on.h"

namespace platform {

// Only Kerberos has a session's credentials here: the ticket in the
// session's cache. NTLM with an empty password is a login with one.
bool signsOnAsSession(HttpAuthScheme scheme) {
  return scheme == HttpAuthScheme::kNegotiate;
}

}  // namespace platform
