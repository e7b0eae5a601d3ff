#include "platform/http/auth/kerberos_login.h"

namespace platform {

bool readyKerberosTicket(HttpAuthScheme scheme, const std::string& user,
                         const std::string& password,
                         std::unique_ptr<KerberosLogin>& own,
                         std::string& reason) {
  if (scheme != HttpAuthScheme::kNegotiate) return true;
  if (password.empty()) return sessionHoldsTicket(user, reason);
  own = std::make_unique<KerberosLogin>();
  return own->obtain(user, password, reason);
}

}  // namespace platform
