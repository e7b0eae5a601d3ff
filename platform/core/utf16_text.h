#pragma once

#include <string>
#include <string_view>

namespace platform {

// UTF-16 (after its byte-order mark) appended to `out` as UTF-8; false at a
// code unit that is no character, or an odd length.
bool utf16ToUtf8(std::string_view text, bool bigEndian, std::string& out);

}  // namespace platform
