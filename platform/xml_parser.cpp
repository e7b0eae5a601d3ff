// Parsing: expat decides well-formedness and decodes the text, and the tree
// builder puts what it reports into the document.

#include <algorithm>
#include <string>
#include <vector>

#include "platform/file_reader.h"
#include "platform/tov_exception.h"
#include "platform/xml_document.h"
#include "platform/xml_document_data.h"
#include "platform/xml_text_check.h"
#include "platform/xml_tree_builder.h"

using platform::XmlAccess;
using platform::XmlDocumentData;
using platform::XmlTreeBuilder;

namespace {

// Files are read and parsed in pieces of at least this size: the file itself
// is never held whole, only the tree built from it.
constexpr std::size_t kPiece = 1 << 18;

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
  std::vector<char> first(kPiece);
  const std::size_t got = file.read(first.data(), first.size());
  if (got == 0) refuse(data, source, " at line 1, column 1: the file is empty");
  if (platform::isUtf32(first.data(), got)) {
    std::string whole(first.data(), got);
    whole.resize(file.size());
    std::size_t size = got;
    for (std::size_t more;
         (more = file.read(&whole[size], whole.size() - size)) > 0;) {
      size += more;
    }
    parseUtf32(data, source, whole.data(), size);
    return 0;
  }
  XmlTreeBuilder builder(data, false);
  bool last = got == file.size();
  if (!builder.feed(first.data(), got, last)) {
    refuse(data, source, builder.failure());
  }
  first = std::vector<char>();
  while (!last) {
    // The parser scans an unfinished token again with every piece: pieces
    // twice its size keep a huge attribute from costing the square of it.
    const std::size_t piece = std::max(kPiece, 2 * builder.pending());
    void* room = builder.room(piece);
    if (room == nullptr) refuse(data, source, ": out of memory");
    const std::size_t size = file.read(static_cast<char*>(room), piece);
    last = size == 0;
    if (!builder.feedRoom(size, last)) refuse(data, source, builder.failure());
  }
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
