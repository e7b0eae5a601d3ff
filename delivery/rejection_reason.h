#pragma once

#include <string>

class SecretMask;

// Why the provider refused a request, as the one line the console adds to
// the rejection: the text of the answer's first `error` element, or the
// first line of a short answer that is text and no markup. At most 200
// characters (a longer one ends with "..."), control characters and bytes
// that are not UTF-8 replaced, and the secrets hidden before it is cut, so
// that none shows in part. Empty when the answer gives no reason.
std::string rejectionReason(const std::string& answer,
                            const SecretMask& secrets);
