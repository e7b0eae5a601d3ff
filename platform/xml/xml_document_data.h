#pragma once

// Internal to the platform layer: the document behind the handles of
// xml_document.h. Only platform sources include this header.

#include <pugixml.hpp>
#include <vector>

#include "platform/xml/xml_document.h"

namespace platform {

struct XmlDocumentData {
  long references = 0;
  pugi::xml_document document;
  // Holds nodes created or imported but not yet appended: the library keeps
  // every node in a tree. Made on first need and kept, as the document's
  // first child, hidden from every view of the document.
  pugi::xml_node limbo;
};

// The one way from handles to the library's objects and back.
struct XmlAccess {
  static XmlDocumentData* data(const TOVIDOM_Node& handle) {
    return handle.document_;
  }
  static pugi::xml_node node(const TOVIDOM_Node& handle) {
    return pugi::xml_node(static_cast<pugi::xml_node_struct*>(handle.node_));
  }
  static TOVIDOM_Node makeNode(XmlDocumentData* data, pugi::xml_node node) {
    return TOVIDOM_Node(data, node.internal_object());
  }
  static TOVIDOM_Element makeElement(XmlDocumentData* data,
                                     pugi::xml_node node) {
    return TOVIDOM_Element(data, node.internal_object());
  }
  static TOVIDOM_Document makeDocument(XmlDocumentData* data) {
    return TOVIDOM_Document(data, data->document.internal_object());
  }
  static TOVIDOM_NodeList makeList(XmlDocumentData* data,
                                   std::vector<pugi::xml_node_struct*> nodes);
};

// What a walk does after visiting a node.
enum class Walk { kDescend, kSkipChildren, kStop };

// Visits the nodes below `root` in document order, without recursion since
// documents may nest without bound. `visit(node, depth)` gets depth 1 for
// the children of `root`.
template <typename Visit>
void walkInDocumentOrder(pugi::xml_node root, Visit visit) {
  pugi::xml_node current = root.first_child();
  int depth = 1;
  while (current) {
    const Walk step = visit(current, depth);
    if (step == Walk::kStop) return;
    pugi::xml_node next =
        step == Walk::kDescend ? current.first_child() : pugi::xml_node();
    if (next) {
      ++depth;
    } else {
      while (!(next = current.next_sibling())) {
        current = current.parent();
        --depth;
        if (current == root) return;
      }
    }
    current = next;
  }
}

// The children of a document as its users see them: without the limbo.
pugi::xml_node firstVisibleChild(const XmlDocumentData& data,
                                 pugi::xml_node parent);
pugi::xml_node nextVisibleSibling(const XmlDocumentData& data,
                                  pugi::xml_node node);

}  // namespace platform
