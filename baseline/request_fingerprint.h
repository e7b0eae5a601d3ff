#pragma once

#include <string>
#include <string_view>

// 16 lowercase hex digits of a 64-bit hash of a request: its type, action
// and payload in their canonical form (platform/xml/xml_canonical_form.h:
// names by namespace and local name, attributes as a set, layout left out),
// so that a log laid out anew, its attributes in another order or quoted
// otherwise, gives the same. The same on every platform and build. The
// project name is left out, so that one baseline serves runs under other
// names.
std::string requestFingerprint(std::string_view type, std::string_view action,
                               std::string_view canonicalPayload);

// The canonical form of the payload of an envelope given as text, parsed:
// the same bytes as the envelope's document gives.
std::string canonicalPayloadOf(std::string_view envelope);

// The fingerprint that baselines of version 1 hold: over the payload's
// text exactly as serialized.
std::string legacyRequestFingerprint(std::string_view type,
                                     std::string_view action,
                                     std::string_view envelope);

// The payload of a serialized envelope: what lies between
// `<mdprovider ...>` and `</mdprovider>`, empty for `<mdprovider .../>`.
// Text that is no envelope is given back whole.
std::string_view envelopePayload(std::string_view request);
