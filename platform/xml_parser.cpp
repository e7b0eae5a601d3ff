#include <cstring>
#include <string>
#include <vector>

#include "platform/allocation_watch.h"
#include "platform/file_reader.h"
#include "platform/tov_exception.h"
#include "platform/xml_document.h"
#include "platform/xml_document_data.h"
#include "platform/xml_text_check.h"

using platform::XmlAccess;
using platform::XmlDocumentData;

namespace {

// Comments, processing instructions and white space inside elements are
// kept; the declaration and the document type are dropped. A fragment parse
// keeps what stands beside the root, so that it can be checked below.
constexpr unsigned kParseOptions = pugi::parse_default | pugi::parse_pi |
                                   pugi::parse_comments |
                                   pugi::parse_ws_pcdata | pugi::parse_fragment;

// Where a parse went wrong, for the message: a byte offset into the text as
// it was given, or -1 when unknown.
struct Failure {
  std::ptrdiff_t offset = -1;
  std::string reason;
};

std::string describe(const std::string& source, const char* original,
                     std::size_t size, const Failure& failure) {
  std::string message = "Failed to parse " + source;
  if (failure.offset >= 0 && original != nullptr &&
      static_cast<std::size_t>(failure.offset) <= size) {
    long line = 1;
    long column = 1;
    for (std::ptrdiff_t at = 0; at < failure.offset; ++at) {
      if (original[at] == '\n') {
        ++line;
        column = 1;
      } else if ((static_cast<unsigned char>(original[at]) & 0xC0) != 0x80) {
        ++column;
      }
    }
    message += " at line " + std::to_string(line) + ", column " +
               std::to_string(column);
  }
  return message + ": " + failure.reason;
}

bool isBlankText(const char* text) {
  for (; *text != '\0'; ++text) {
    if (std::strchr(" \t\r\n", *text) == nullptr) return false;
  }
  return true;
}

// A document has exactly one root element and no text beside it. White
// space beside the root is dropped; comments and processing instructions
// stay as children of the document.
bool checkTopLevel(pugi::xml_document& document, Failure& failure) {
  std::vector<pugi::xml_node> blanks;
  pugi::xml_node root;
  for (pugi::xml_node child : document.children()) {
    const pugi::xml_node_type type = child.type();
    if (type == pugi::node_element) {
      if (root) {
        failure = {child.offset_debug() - 1,
                   "more than one root element"};  // at its "<"
        return false;
      }
      root = child;
    } else if (type == pugi::node_pcdata && isBlankText(child.value())) {
      blanks.push_back(child);
    } else if (type == pugi::node_pcdata || type == pugi::node_cdata) {
      failure = {child.offset_debug(), "text outside the root element"};
      return false;
    }
  }
  if (!root) {
    failure = {-1, "no root element"};
    return false;
  }
  for (pugi::xml_node blank : blanks) document.remove_child(blank);
  return true;
}

// Deeper documents are refused: every nested transaction of an action log
// is sent with its whole subtree, so the requests of a document nested N
// deep grow with N squared. Action logs and scripts stay far below this.
constexpr int kMaxDepth = 2048;

bool checkDepth(const pugi::xml_document& document, Failure& failure) {
  bool deep = false;
  platform::walkInDocumentOrder(document, [&](pugi::xml_node node, int depth) {
    if (depth <= kMaxDepth) return platform::Walk::kDescend;
    failure = {
        node.offset_debug() - 1,
        "elements nested deeper than " + std::to_string(kMaxDepth) + " levels"};
    deep = true;
    return platform::Walk::kStop;
  });
  return !deep;
}

// Rejects what is not XML text before the parser sees it: the parser is
// lenient about bytes that a well-formed document cannot hold.
bool checkCharacters(const char* text, std::size_t size,
                     platform::TextEncoding encoding, Failure& failure) {
  if (encoding == platform::TextEncoding::kWide) return true;
  const std::size_t bad = platform::findInvalidXmlText(
      text, size, encoding == platform::TextEncoding::kUtf8);
  if (bad == size) return true;
  failure = {static_cast<std::ptrdiff_t>(bad),
             text[bad] == '\0' ? "NUL byte in the text"
                               : "invalid UTF-8 or a character not allowed"};
  return false;
}

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

// Parses `size` bytes at `text`; when `owned`, the document takes the
// buffer over and parses it in place. Returns false with `failure` set.
bool load(XmlDocumentData& data, const char* text, std::size_t size, bool owned,
          Failure& failure) {
  pugi::xml_document& document = data.document;
  const pugi::xml_parse_result result =
      owned ? document.load_buffer_inplace_own(const_cast<char*>(text), size,
                                               kParseOptions)
            : document.load_buffer(text, size, kParseOptions);
  if (platform::takeAllocationFailure()) {
    failure = {-1, "out of memory"};
  } else if (!result) {
    failure = {result.offset, result.description()};
  } else if (checkTopLevel(document, failure) &&
             checkDepth(document, failure)) {
    return true;
  }
  document.reset();
  return false;
}

}  // namespace

TOVIDOM_Parser::TOVIDOM_Parser(int) {}

int TOVIDOM_Parser::parse(const char* path, TOVIDOM_Document& document) {
  XmlDocumentData& data = emptyTarget(document);
  const std::string source = "\"" + std::string(path) + "\"";
  platform::FileContent content = platform::readRegularFile(path);
  Failure failure;
  if (content.size == 0) {
    throw new TOVException(
        describe(source, nullptr, 0, {-1, "the file is empty"}));
  }
  const platform::TextEncoding encoding =
      platform::detectEncoding(content.data.get(), content.size);
  if (!checkCharacters(content.data.get(), content.size, encoding, failure)) {
    throw new TOVException(
        describe(source, content.data.get(), content.size, failure));
  }
  const std::size_t size = content.size;
  if (load(data, content.data.release(), size, true, failure)) return 0;
  // The parse rewrote the buffer; read the file again to place the fault.
  // Offsets into converted text are not the file's bytes: no position then.
  platform::FileContent again;
  try {
    if (encoding == platform::TextEncoding::kUtf8) {
      again = platform::readRegularFile(path);
    }
  } catch (TOVException* ignored) {
    delete ignored;
  }
  throw new TOVException(
      describe(source, again.data.get(), again.size, failure));
}

int TOVIDOM_Parser::parse(const char* text, unsigned long length,
                          TOVIDOM_Document& document) {
  XmlDocumentData& data = emptyTarget(document);
  if (length == 0) return 0;
  Failure failure;
  const platform::TextEncoding encoding =
      platform::detectEncoding(text, length);
  if (!checkCharacters(text, length, encoding, failure) ||
      !load(data, text, length, false, failure)) {
    const bool placeable = encoding == platform::TextEncoding::kUtf8;
    throw new TOVException(describe(
        "the in-memory text", placeable ? text : nullptr, length, failure));
  }
  return 0;
}
