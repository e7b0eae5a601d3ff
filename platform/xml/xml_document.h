#pragma once

#include <memory>
#include <ostream>
#include <vector>

#include "platform/core/i18n_string.h"

namespace platform {
struct XmlDocumentData;
struct XmlAccess;
}  // namespace platform

// By-value handles onto XML documents and their nodes. Every handle keeps
// its document alive, so no handle can dangle. `operator->` yields the
// handle itself, on which the operations are called. Failures are thrown
// as TOVException pointers. Handles are for one thread: the reference count
// is not atomic.
class TOVIDOM_Node {
 public:
  TOVIDOM_Node() = default;
  TOVIDOM_Node(const TOVIDOM_Node& other);
  TOVIDOM_Node(TOVIDOM_Node&& other) noexcept;
  TOVIDOM_Node& operator=(const TOVIDOM_Node& other);
  TOVIDOM_Node& operator=(TOVIDOM_Node&& other) noexcept;
  virtual ~TOVIDOM_Node();

  TOVIDOM_Node* operator->() { return this; }
  const TOVIDOM_Node* operator->() const { return this; }

  // Against a null pointer: non-zero exactly when this handle refers to a
  // node. Against another handle: non-zero when they refer to other nodes.
  int operator!=(const TOVIDOM_Node* other) const;

  // An empty handle when there is no child.
  TOVIDOM_Node getFirstChild() const;
  // The text of a text, comment or processing-instruction node; empty for
  // elements and documents.
  I18NString getNodeValue() const;
  // Moves `child`, a node of the same document, after the last child.
  TOVIDOM_Node appendChild(const TOVIDOM_Node& child);

 protected:
  TOVIDOM_Node(platform::XmlDocumentData* document, void* node);
  void requireNode(const char* operation) const;

  platform::XmlDocumentData* document_ = nullptr;
  void* node_ = nullptr;  // the library's node; opaque to the headers

  friend struct platform::XmlAccess;
};

class TOVIDOM_Element : public TOVIDOM_Node {
 public:
  TOVIDOM_Element() = default;
  // The same node seen as an element; throws when it is another kind.
  explicit TOVIDOM_Element(const TOVIDOM_Node& node);

  TOVIDOM_Element* operator->() { return this; }
  const TOVIDOM_Element* operator->() const { return this; }

  void setAttribute(const I18NString& name, const I18NString& value);
  // The empty text when the attribute is missing.
  I18NString getAttribute(const I18NString& name) const;

 private:
  TOVIDOM_Element(platform::XmlDocumentData* document, void* node)
      : TOVIDOM_Node(document, node) {}
  friend struct platform::XmlAccess;
};

class TOVIDOM_NodeList {
 public:
  TOVIDOM_NodeList() = default;
  TOVIDOM_NodeList* operator->() { return this; }
  const TOVIDOM_NodeList* operator->() const { return this; }

  unsigned long getLength() const;
  // Constant time; an empty handle past the end.
  TOVIDOM_Node item(unsigned long index) const;

 private:
  // The document handle keeps every listed node alive.
  struct Items;
  std::shared_ptr<const Items> items_;
  friend struct platform::XmlAccess;
};

class TOVIDOM_Document : public TOVIDOM_Node {
 public:
  TOVIDOM_Document() = default;
  TOVIDOM_Document* operator->() { return this; }
  const TOVIDOM_Document* operator->() const { return this; }

  // A new element of this document, outside the tree until appended.
  TOVIDOM_Element createElement(const I18NString& name);
  // A copy of `node` (of any document) owned by this one, outside the tree
  // until appended; `deep` non-zero copies the whole subtree.
  TOVIDOM_Node importNode(const TOVIDOM_Node& node, int deep);
  // Every element of that name, the root included, in document order.
  TOVIDOM_NodeList getElementsByTagName(const I18NString& name) const;

 private:
  TOVIDOM_Document(platform::XmlDocumentData* document, void* node)
      : TOVIDOM_Node(document, node) {}
  friend struct platform::XmlAccess;
};

class TOVIDOM_DOMImplementation {
 public:
  static TOVIDOM_DOMImplementation getInstance() { return {}; }
  TOVIDOM_DOMImplementation* operator->() { return this; }

  TOVIDOM_Document createDocument();
};

class TOVIDOM_Parser {
 public:
  explicit TOVIDOM_Parser(int options);
  TOVIDOM_Parser* operator->() { return this; }

  // Fills `document`, which must be empty, with the content of the file at
  // `path`. Throws when the path names no readable regular file or the
  // content is not a well-formed document. Returns 0.
  int parse(const char* path, TOVIDOM_Document& document);
  // The same for text in memory; a length of 0 leaves the document empty.
  int parse(const char* text, unsigned long length, TOVIDOM_Document& document);
};

class TOVIDOM_Helper {
 public:
  // Writes the node and its subtree as UTF-8 XML text, without a
  // declaration and without added indentation. The third argument is
  // reserved and ignored.
  static void write(TOVIDOM_Node node, std::ostream& out, const void* reserved);
};
