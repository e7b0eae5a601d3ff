#pragma once

#include <string_view>

namespace platform {

// The schemes the client can log in with.
enum class HttpAuthScheme { kNone, kBasic, kDigest, kNtlm, kNegotiate };

// The scheme that `name` names, in any case ("ntlm" is NTLM); false when it
// names none of them.
bool authSchemeNamed(std::string_view name, HttpAuthScheme& scheme);

// The scheme's name as a challenge spells it ("NTLM", "Negotiate", "Digest",
// "Basic"); "" for none.
const char* authSchemeName(HttpAuthScheme scheme);

}  // namespace platform
