#pragma once

#include <sstream>
#include <string>

#include "platform/xml/xml_document.h"

namespace test_support {

inline TOVIDOM_Document newDocument() {
  return TOVIDOM_DOMImplementation::getInstance()->createDocument();
}

// A document parsed from text in memory.
inline TOVIDOM_Document parseText(const std::string& text) {
  TOVIDOM_Document document = newDocument();
  TOVIDOM_Parser(0).parse(text.data(), static_cast<unsigned long>(text.size()),
                          document);
  return document;
}

// The node as the writer renders it.
inline std::string written(const TOVIDOM_Node& node) {
  std::ostringstream out;
  TOVIDOM_Helper::write(node, out, nullptr);
  return out.str();
}

}  // namespace test_support
