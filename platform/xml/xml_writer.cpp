#include <cstring>

#include "platform/xml/allocation_watch.h"
#include "platform/xml/xml_document.h"
#include "platform/xml/xml_document_data.h"

using platform::XmlAccess;

namespace {

// The library writes a carriage return in text as it is, and every reader
// would take it for a line feed. Attribute values come escaped, and
// comments, instructions and CDATA hold none after parsing, so a raw one
// can only be text.
class CarriageReturnEscaper : public pugi::xml_writer {
 public:
  explicit CarriageReturnEscaper(std::ostream& out) : out_(out) {}

  void write(const void* data, std::size_t size) override {
    const char* text = static_cast<const char*>(data);
    const char* end = text + size;
    while (text < end) {
      const void* found =
          std::memchr(text, '\r', static_cast<std::size_t>(end - text));
      const char* stop = found ? static_cast<const char*>(found) : end;
      out_.write(text, stop - text);
      if (stop == end) break;
      out_.write("&#13;", 5);
      text = stop + 1;
    }
  }

 private:
  std::ostream& out_;
};

}  // namespace

void TOVIDOM_Helper::write(TOVIDOM_Node node, std::ostream& out, const void*) {
  const pugi::xml_node target = XmlAccess::node(node);
  if (!target) return;
  CarriageReturnEscaper writer(out);
  // Raw output: no indentation, so text is carried as written, and the
  // writer's stack use stays bounded at any depth.
  constexpr unsigned kFormat = pugi::format_raw;
  if (target.type() != pugi::node_document) {
    target.print(writer, "", kFormat, pugi::encoding_utf8);
    platform::throwIfAllocationFailed("write");
    return;
  }
  const platform::XmlDocumentData& data = *XmlAccess::data(node);
  for (pugi::xml_node child = platform::firstVisibleChild(data, target); child;
       child = platform::nextVisibleSibling(data, child)) {
    child.print(writer, "", kFormat, pugi::encoding_utf8);
  }
  platform::throwIfAllocationFailed("write");
}
