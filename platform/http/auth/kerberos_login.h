#pragma once

#include <memory>
#include <string>

#include "platform/http/auth/auth_scheme.h"

namespace platform {

// Kerberos credentials for the run's Negotiate authentication, kept in a
// credential cache in this process's memory: the session's own cache is
// neither read nor written. Gone with the object.
class KerberosLogin {
 public:
  KerberosLogin();
  ~KerberosLogin();
  KerberosLogin(const KerberosLogin&) = delete;
  KerberosLogin& operator=(const KerberosLogin&) = delete;

  // Gets a ticket for `user` ("name" in the default realm, or "name@REALM")
  // with `password` from the KDC, and makes it the one that the HTTP
  // library's Negotiate presents. False with `reason` set, naming the user
  // and what the KDC said, when no ticket could be had.
  bool obtain(const std::string& user, const std::string& password,
              std::string& reason);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// Whether the session's credential cache holds a ticket for `user` that has
// not run out; false with `reason` set, naming the user, when it does not.
bool sessionHoldsTicket(const std::string& user, std::string& reason);

// The ticket that `scheme` needs before any request: Negotiate with a
// password gets one of its own, held by `own`; with an empty one it signs on
// as the session, whose cache must hold a valid ticket. Other schemes need
// none. False with `reason` set when no ticket can be had.
bool readyKerberosTicket(HttpAuthScheme scheme, const std::string& user,
                         const std::string& password,
                         std::unique_ptr<KerberosLogin>& own,
                         std::string& reason);

}  // namespace platform
