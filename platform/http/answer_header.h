#pragma once

#include <string_view>

namespace platform {

// A line of an answer's header as the HTTP library hands it over, its line
// end included: what of it the resend rule reads.
struct AnswerHeaderLine {
  enum class Kind {
    kStatus,     // "HTTP/1.1 401 Unauthorized": `status` is 401
    kChallenge,  // "WWW-Authenticate: ...": `value` follows the colon
    kEnd,        // the blank line that ends the header
    kOther,
  };
  Kind kind = Kind::kOther;
  long status = 0;
  std::string_view value;
};

// A proxy's Proxy-Authenticate is no challenge of the provider's: kOther.
AnswerHeaderLine readAnswerHeaderLine(std::string_view line);

}  // namespace platform
