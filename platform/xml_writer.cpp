#include "platform/allocation_watch.h"
#include "platform/xml_document.h"
#include "platform/xml_document_data.h"

using platform::XmlAccess;

void TOVIDOM_Helper::write(TOVIDOM_Node node, std::ostream& out, const void*) {
  const pugi::xml_node target = XmlAccess::node(node);
  if (!target) return;
  pugi::xml_writer_stream writer(out);
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
