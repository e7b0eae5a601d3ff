#pragma once

#include <string>

#include "platform/xml/xml_document.h"

// One request built and serialized, not yet sent. It holds no handle that
// another thread shares, so a replay can build it ahead of the request
// being delivered and hand it over.
struct BuiltRequest {
  // The serialized envelope with one NUL after it.
  std::string text;
  // The envelope as a document, kept only when the echo will show it.
  TOVIDOM_Document envelope;
  // The payload's canonical form, only when a baseline wants it.
  std::string canonical;
};
