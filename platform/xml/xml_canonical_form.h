#pragma once

// A request's payload as bytes that do not hang on its layout: what its
// fingerprint is taken over. Each element is `E <URI> NUL <local> NUL`, its
// attributes (not the namespace declarations) in the order of their URI and
// local name as `A <URI> NUL <local> NUL <value> NUL`, its content, then
// `Z`; each text (adjacent text and CDATA joined, comments and processing
// instructions left out) is `T <text> NUL`. Text of white space only goes
// where its element holds elements and no other text, unless
// xml:space="preserve" is in force. A replayed transaction's `seq` is left
// out: renumbering a log changes no request.

#include <string>

class TOVIDOM_Document;

namespace platform {

// The canonical bytes of the children of the document's root element (the
// request envelope's payload), taken from the document as built.
std::string canonicalPayload(const TOVIDOM_Document& envelope);

}  // namespace platform
