#pragma once

// XPath 1.0 over an answer's normal form, for the rules of a comparison.
// The names an XPath tests are the normal form's shown names ("q:debug").

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/xml/xml_normal_form.h"

namespace platform {

// How much of an answer an XPath can see: the view made for it holds no
// more, so that a rule like `/*/@time` costs next to nothing on a large
// answer.
struct XmlXPathReach {
  bool values = true;  // text and attribute values, not only names
  bool text = true;    // text nodes
  int depth = -1;      // elements this deep at most (the root is 1); -1 all

  // What two XPaths together can see.
  XmlXPathReach joined(const XmlXPathReach& other) const;
};

// An XPath compiled once; copies share it.
class XmlXPath {
 public:
  // False with `reason` ("<the fault> at character N of the XPath"), or when
  // the XPath gives a value rather than nodes.
  bool compile(const std::string& xpath, std::string& reason);
  const XmlXPathReach& reach() const { return reach_; }

  struct Query;
  const Query& query() const { return *query_; }

 private:
  std::shared_ptr<const Query> query_;
  XmlXPathReach reach_;
};

// A node an XPath selected: an element or a text, or one of an element's
// attributes.
struct XmlNodeRef {
  static constexpr std::uint32_t kNoAttribute = 0xFFFFFFFFu;
  std::uint32_t node = 0;
  std::uint32_t attribute = kNoAttribute;
  bool isAttribute() const { return attribute != kNoAttribute; }
};

// What XPaths are evaluated on: a tree made from one normal form, of what
// `reach` lets them see, made once for an answer's rules and gone before
// the other answer's is made.
class XmlXPathView {
 public:
  XmlXPathView(const XmlNormalForm& form, const XmlNameTable& names,
               const XmlXPathReach& reach);
  ~XmlXPathView();
  XmlXPathView(const XmlXPathView&) = delete;
  XmlXPathView& operator=(const XmlXPathView&) = delete;

  // The nodes selected, in document order; node 0 is the document. Throws a
  // TOVException when memory runs out.
  std::vector<XmlNodeRef> select(const XmlXPath& xpath);
  // Later selections no longer see the nodes of the last selection (and
  // their subtrees)...
  void removeSelected();
  // ...or see them masked: an element without content or attributes, a
  // text or an attribute with a value of its own.
  void maskSelected();

 private:
  struct Tree;
  std::unique_ptr<Tree> tree_;
};

// The XPath's steps at the top level (outside predicates and literals).
std::vector<std::string> xpathSteps(const std::string& xpath);

}  // namespace platform
