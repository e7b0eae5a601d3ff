#pragma once

#include <string>
#include <string_view>

// 16 lowercase hex digits of a 64-bit hash of a request's type, action and
// serialized payload, the same on every platform and build. The project
// name is left out, so that one baseline serves runs under other names.
std::string requestFingerprint(std::string_view type, std::string_view action,
                               std::string_view payload);

// The payload of a serialized envelope: what lies between
// `<mdprovider ...>` and `</mdprovider>`, empty for `<mdprovider .../>`.
// Text that is no envelope is given back whole.
std::string_view envelopePayload(std::string_view request);
