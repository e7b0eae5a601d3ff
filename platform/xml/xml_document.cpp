#include "platform/xml/xml_document.h"

#include <cstring>

#include "platform/core/tov_exception.h"
#include "platform/xml/allocation_watch.h"
#include "platform/xml/xml_document_data.h"
#include "platform/xml/xml_namespaces.h"

using platform::XmlAccess;
using platform::XmlDocumentData;

namespace platform {

pugi::xml_node firstVisibleChild(const XmlDocumentData& data,
                                 pugi::xml_node parent) {
  pugi::xml_node child = parent.first_child();
  return child == data.limbo ? child.next_sibling() : child;
}

pugi::xml_node nextVisibleSibling(const XmlDocumentData& data,
                                  pugi::xml_node node) {
  pugi::xml_node next = node.next_sibling();
  return next && next == data.limbo ? next.next_sibling() : next;
}

}  // namespace platform

namespace {

void retain(XmlDocumentData* data) {
  if (data != nullptr) ++data->references;
}

void release(XmlDocumentData* data) {
  if (data != nullptr && --data->references == 0) delete data;
}

pugi::xml_node limboOf(XmlDocumentData& data) {
  if (!data.limbo) {
    data.limbo = data.document.prepend_child(pugi::node_element);
    platform::throwIfAllocationFailed("createDocument");
  }
  return data.limbo;
}

// Copies one node without its children: its name, its value and, for an
// element, its attributes.
pugi::xml_node copyShallow(pugi::xml_node target, pugi::xml_node source) {
  pugi::xml_node copy = target.append_child(source.type());
  if (!copy) return copy;
  copy.set_name(source.name());
  copy.set_value(source.value());
  for (pugi::xml_attribute attribute : source.attributes()) {
    copy.append_copy(attribute);
  }
  return copy;
}

}  // namespace

// --- TOVIDOM_Node -----------------------------------------------------------

TOVIDOM_Node::TOVIDOM_Node(XmlDocumentData* document, void* node)
    : document_(document), node_(node) {
  retain(document_);
}

TOVIDOM_Node::TOVIDOM_Node(const TOVIDOM_Node& other)
    : document_(other.document_), node_(other.node_) {
  retain(document_);
}

TOVIDOM_Node::TOVIDOM_Node(TOVIDOM_Node&& other) noexcept
    : document_(other.document_), node_(other.node_) {
  other.document_ = nullptr;
  other.node_ = nullptr;
}

TOVIDOM_Node& TOVIDOM_Node::operator=(const TOVIDOM_Node& other) {
  retain(other.document_);
  release(document_);
  document_ = other.document_;
  node_ = other.node_;
  return *this;
}

TOVIDOM_Node& TOVIDOM_Node::operator=(TOVIDOM_Node&& other) noexcept {
  if (this != &other) {
    release(document_);
    document_ = other.document_;
    node_ = other.node_;
    other.document_ = nullptr;
    other.node_ = nullptr;
  }
  return *this;
}

TOVIDOM_Node::~TOVIDOM_Node() { release(document_); }

int TOVIDOM_Node::operator!=(const TOVIDOM_Node* other) const {
  if (other == nullptr) return node_ != nullptr ? 1 : 0;
  return node_ != other->node_ ? 1 : 0;
}

void TOVIDOM_Node::requireNode(const char* operation) const {
  if (node_ == nullptr) {
    throw new TOVException(std::string(operation) + " called on an empty node");
  }
}

TOVIDOM_Node TOVIDOM_Node::getFirstChild() const {
  requireNode("getFirstChild");
  const pugi::xml_node first =
      platform::firstVisibleChild(*document_, XmlAccess::node(*this));
  return first ? XmlAccess::makeNode(document_, first) : TOVIDOM_Node();
}

I18NString TOVIDOM_Node::getNodeValue() const {
  requireNode("getNodeValue");
  return I18NString(XmlAccess::node(*this).value());
}

TOVIDOM_Node TOVIDOM_Node::appendChild(const TOVIDOM_Node& child) {
  requireNode("appendChild");
  child.requireNode("appendChild");
  if (child.document_ != document_) {
    throw new TOVException("appendChild: the node belongs to another document");
  }
  pugi::xml_node parent = XmlAccess::node(*this);
  const pugi::xml_node moved = parent.append_move(XmlAccess::node(child));
  if (!moved) {
    throw new TOVException("appendChild: the node cannot be a child here");
  }
  return child;
}

// --- TOVIDOM_Element --------------------------------------------------------

TOVIDOM_Element::TOVIDOM_Element(const TOVIDOM_Node& node)
    : TOVIDOM_Node(node) {
  if (node_ != nullptr && XmlAccess::node(*this).type() != pugi::node_element) {
    throw new TOVException("The node is not an element");
  }
}

void TOVIDOM_Element::setAttribute(const I18NString& name,
                                   const I18NString& value) {
  requireNode("setAttribute");
  pugi::xml_node element = XmlAccess::node(*this);
  pugi::xml_attribute attribute = element.attribute(name.c_str());
  if (!attribute) attribute = element.append_attribute(name.c_str());
  if (attribute) attribute.set_value(value.c_str());
  platform::throwIfAllocationFailed("setAttribute");
}

I18NString TOVIDOM_Element::getAttribute(const I18NString& name) const {
  requireNode("getAttribute");
  return I18NString(XmlAccess::node(*this).attribute(name.c_str()).value());
}

// --- TOVIDOM_NodeList -------------------------------------------------------

struct TOVIDOM_NodeList::Items {
  TOVIDOM_Document owner;
  std::vector<pugi::xml_node_struct*> nodes;
};

TOVIDOM_NodeList platform::XmlAccess::makeList(
    XmlDocumentData* data, std::vector<pugi::xml_node_struct*> nodes) {
  auto items = std::make_shared<TOVIDOM_NodeList::Items>();
  items->owner = makeDocument(data);
  items->nodes = std::move(nodes);
  TOVIDOM_NodeList list;
  list.items_ = std::move(items);
  return list;
}

unsigned long TOVIDOM_NodeList::getLength() const {
  // unsigned long is 32 bits on Windows: no list holds 4G nodes there,
  // since each costs far more than a byte of memory.
  return items_ ? static_cast<unsigned long>(items_->nodes.size()) : 0;
}

TOVIDOM_Node TOVIDOM_NodeList::item(unsigned long index) const {
  if (!items_ || index >= items_->nodes.size()) return TOVIDOM_Node();
  return XmlAccess::makeNode(XmlAccess::data(items_->owner),
                             pugi::xml_node(items_->nodes[index]));
}

// --- TOVIDOM_Document -------------------------------------------------------

TOVIDOM_Element TOVIDOM_Document::createElement(const I18NString& name) {
  requireNode("createElement");
  pugi::xml_node element = limboOf(*document_).append_child(name.c_str());
  platform::throwIfAllocationFailed("createElement");
  return XmlAccess::makeElement(document_, element);
}

TOVIDOM_Node TOVIDOM_Document::importNode(const TOVIDOM_Node& node, int deep) {
  requireNode("importNode");
  const pugi::xml_node source = XmlAccess::node(node);
  if (!source) throw new TOVException("importNode called with an empty node");
  if (source.type() == pugi::node_document) {
    throw new TOVException("importNode: a document cannot be imported");
  }
  pugi::xml_node limbo = limboOf(*document_);
  const pugi::xml_node copy =
      deep != 0 ? limbo.append_copy(source) : copyShallow(limbo, source);
  // The names keep their namespaces: what the ancestors declared for them
  // goes with the copy.
  platform::Declarations outside;
  std::vector<pugi::xml_node> ancestors;
  for (pugi::xml_node up = source.parent(); up.type() == pugi::node_element;
       up = up.parent()) {
    ancestors.push_back(up);
  }
  for (auto up = ancestors.rbegin(); up != ancestors.rend(); ++up) {
    platform::addDeclarationsOf(*up, outside);
  }
  const bool declared = !copy || platform::declareWhatItNeeds(copy, outside);
  // A copy that ran out of memory half-way is partial, never a payload.
  platform::throwIfAllocationFailed("importNode");
  if (!copy || !declared) {
    throw new TOVException("importNode: the node cannot be copied");
  }
  return XmlAccess::makeNode(document_, copy);
}

TOVIDOM_NodeList TOVIDOM_Document::getElementsByTagName(
    const I18NString& name) const {
  requireNode("getElementsByTagName");
  const XmlDocumentData& data = *document_;
  const char* wanted = name.c_str();
  std::vector<pugi::xml_node_struct*> found;
  platform::walkInDocumentOrder(data.document, [&](pugi::xml_node node, int) {
    if (node == data.limbo) return platform::Walk::kSkipChildren;
    if (node.type() == pugi::node_element &&
        std::strcmp(node.name(), wanted) == 0) {
      found.push_back(node.internal_object());
    }
    return platform::Walk::kDescend;
  });
  return XmlAccess::makeList(document_, std::move(found));
}

// --- TOVIDOM_DOMImplementation ----------------------------------------------

TOVIDOM_Document TOVIDOM_DOMImplementation::createDocument() {
  static const bool watched = [] {
    pugi::set_memory_management_functions(platform::watchedAllocate,
                                          platform::watchedFree);
    return true;
  }();
  static_cast<void>(watched);
  return XmlAccess::makeDocument(new XmlDocumentData());
}
