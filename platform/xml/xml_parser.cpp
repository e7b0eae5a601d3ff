// Parsing: expat decides well-formedness and decodes the text, and the tree
// builder puts what it reports into the document.

#include <memory>
#include <string>

#include "platform/core/tov_exception.h"
#include "platform/os/file_reader.h"
#include "platform/xml/xml_document.h"
#include "platform/xml/xml_document_data.h"
#include "platform/xml/xml_file_feed.h"
#include "platform/xml/xml_text_check.h"
#include "platform/xml/xml_tree_builder.h"

using platform::XmlAccess;
using platform::XmlDocumentData;
using platform::XmlTreeBuilder;

namespace {

XmlDocumentData& emptyTarget(TOVIDOM_Document& document) {
  XmlDocumentData* data = XmlAccess::data(document);
  if (data == nullptr) {
    throw new TOVException("parse called with an empty document");
  }
  if (data->document.first_child()) {
    throw new TOVException("parse needs an empty document");
  }
  return *data;
}

// Leaves the document empty and throws the failure of `source`.
[[noreturn]] void refuse(XmlDocumentData& data, const std::string& source,
                         const std::string& failure) {
  data.document.reset();
  throw new TOVException("Failed to parse " + source + failure);
}

// UTF-32, which the parser does not read, converted and parsed whole.
void parseUtf32(XmlDocumentData& data, const std::string& source,
                const char* text, std::size_t size) {
  std::string converted;
  const std::size_t bad = platform::utf32ToUtf8(text, size, converted);
  if (bad != size) {
    refuse(data, source, ": invalid UTF-32 at byte " + std::to_string(bad));
  }
  XmlTreeBuilder builder(data, true);
  if (!builder.feed(converted.data(), converted.size(), true)) {
    refuse(data, source, builder.failure());
  }
}

}  // namespace

TOVIDOM_Parser::TOVIDOM_Parser(int) {}

int TOVIDOM_Parser::parse(const char* path, TOVIDOM_Document& document) {
  XmlDocumentData& data = emptyTarget(document);
  const std::string source = "\"" + std::string(path) + "\"";
  platform::RegularFileStream file(path);
  platform::XmlFileFeed feed(file, [&data](bool utf8) {
    return std::make_unique<XmlTreeBuilder>(data, utf8);
  });
  if (!feed.run()) refuse(data, source, feed.failure());
  return 0;
}

int TOVIDOM_Parser::parse(const char* text, unsigned long length,
                          TOVIDOM_Document& document) {
  XmlDocumentData& data = emptyTarget(document);
  if (length == 0) return 0;
  const std::string source = "the in-memory text";
  if (platform::isUtf32(text, length)) {
    parseUtf32(data, source, text, length);
    return 0;
  }
  XmlTreeBuilder builder(data, false);
  if (!builder.feed(text, length, true)) {
    refuse(data, source, builder.failure());
  }
  return 0;
}
