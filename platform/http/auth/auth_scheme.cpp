#include "platform/http/auth/auth_scheme.h"

#include "platform/core/ascii_case.h"

namespace platform {

namespace {

struct KnownScheme {
  const char* name;
  HttpAuthScheme scheme;
};

constexpr KnownScheme kSchemes[] = {{"NTLM", HttpAuthScheme::kNtlm},
                                    {"Negotiate", HttpAuthScheme::kNegotiate},
                                    {"Digest", HttpAuthScheme::kDigest},
                                    {"Basic", HttpAuthScheme::kBasic}};

}  // namespace

bool authSchemeNamed(std::string_view name, HttpAuthScheme& scheme) {
  for (const KnownScheme& known : kSchemes) {
    if (sameIgnoringCase(name, known.name)) {
      scheme = known.scheme;
      return true;
    }
  }
  return false;
}

const char* authSchemeName(HttpAuthScheme scheme) {
  for (const KnownScheme& known : kSchemes) {
    if (known.scheme == scheme) return known.name;
  }
  return "";
}

}  // namespace platform
