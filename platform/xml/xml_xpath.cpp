#include "platform/xml/xml_xpath.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <pugixml.hpp>
#include <string_view>
#include <utility>

#include "platform/core/tov_exception.h"
#include "platform/xml/allocation_watch.h"

namespace platform {

namespace {

bool isNameChar(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
         (byte >= '0' && byte <= '9') || byte == '_' || byte == '-' ||
         byte == '.' || byte >= 0x80;
}

// Functions whose results hang on nodes, not on their values.
bool readsNoValue(std::string_view function) {
  for (const char* name :
       {"node", "text", "comment", "processing-instruction", "last", "position",
        "not", "true", "false", "count", "boolean"}) {
    if (function == name) return true;
  }
  return false;
}

// Outside string literals: a comparison, arithmetic, or a function of
// values. Conservative: when in doubt, values are read.
bool looksAtValues(const std::string& xpath) {
  for (std::size_t at = 0; at < xpath.size(); ++at) {
    const char c = xpath[at];
    if (c == '"' || c == '\'') return true;  // a literal is compared
    if (c == '=' || c == '<' || c == '>' || c == '+') return true;
    if (c == '-' && (at == 0 || !isNameChar(xpath[at - 1]))) return true;
    if (c == '(') {
      std::size_t start = at;
      while (start > 0 &&
             (isNameChar(xpath[start - 1]) || xpath[start - 1] == ':')) {
        --start;
      }
      if (start == at || !readsNoValue(xpath.substr(start, at - start))) {
        return true;
      }
    }
    if (isNameChar(c) && (at == 0 || !isNameChar(xpath[at - 1]))) {
      std::size_t end = at;
      while (end < xpath.size() && isNameChar(xpath[end])) ++end;
      const std::string_view word(xpath.data() + at, end - at);
      // Operators only where a value ends before them.
      if ((word == "div" || word == "mod") && at > 0 && xpath[at - 1] == ' ') {
        return true;
      }
    }
  }
  return false;
}

std::string xpathFault(const pugi::xpath_parse_result& parsed,
                       const std::string& xpath) {
  std::string reason = std::string(parsed.description()) + " at character " +
                       std::to_string(parsed.offset + 1) + " of the XPath";
  // No XPath holds " #" outside a string: a comment put after a rule.
  if (xpath.find(" #") != std::string::npos) {
    reason += " (a comment stands on a line of its own)";
  }
  return reason;
}

[[noreturn]] void outOfMemory() {
  takeAllocationFailure();
  throw new TOVException(
      "Out of memory while comparing an answer with the baseline");
}

}  // namespace

struct XmlXPath::Query {
  explicit Query(const char* text) : query(text) {}
  pugi::xpath_query query;
};

bool XmlXPath::compile(const std::string& xpath, std::string& reason) {
  try {
    auto query = std::make_shared<const Query>(xpath.c_str());
    const pugi::xpath_parse_result& parsed = query->query.result();
    if (!parsed) {
      reason = xpathFault(parsed, xpath);
      return false;
    }
    if (query->query.return_type() != pugi::xpath_type_node_set) {
      reason = "the XPath gives a value, not nodes";
      return false;
    }
    query_ = std::move(query);
    readsValues_ = looksAtValues(xpath);
    return true;
#ifndef PUGIXML_NO_EXCEPTIONS
  } catch (const pugi::xpath_exception& failure) {
    reason = xpathFault(failure.result(), xpath);
    return false;
#endif
  } catch (const std::bad_alloc&) {
    reason = "out of memory";
    return false;
  }
}

struct XmlXPathView::Tree {
  pugi::xml_document document;
  // pugixml's nodes and attributes by address, with the normal form's
  // numbers, sorted for a look-up.
  std::vector<std::pair<const void*, std::uint32_t>> nodes;
  std::vector<std::pair<const void*, std::uint32_t>> attributes;
  std::vector<std::uint32_t> attributeOwner;  // by attribute number
  std::vector<pugi::xml_node_struct*> byNumber;
  std::vector<pugi::xml_attribute_struct*> attributeByNumber;

  template <typename Handle>
  static std::uint32_t find(
      const std::vector<std::pair<const void*, std::uint32_t>>& sorted,
      Handle handle) {
    const void* key = handle.internal_object();
    const auto at = std::lower_bound(sorted.begin(), sorted.end(), key,
                                     [](const auto& pair, const void* wanted) {
                                       return pair.first < wanted;
                                     });
    return at != sorted.end() && at->first == key ? at->second
                                                  : XmlNodeRef::kNoAttribute;
  }
};

XmlXPathView::XmlXPathView(const XmlNormalForm& form, const XmlNameTable& names,
                           bool withValues)
    : tree_(std::make_unique<Tree>()) {
  try {
    Tree& tree = *tree_;
    tree.nodes.reserve(form.nodes.size());
    tree.attributes.reserve(form.attributes.size());
    tree.attributeOwner.assign(form.attributes.size(), 0);
    tree.byNumber.assign(form.nodes.size(), nullptr);
    tree.attributeByNumber.assign(form.attributes.size(), nullptr);
    tree.nodes.emplace_back(tree.document.internal_object(), 0);
    if (!form.nodes.empty()) tree.byNumber[0] = tree.document.internal_object();
    // The open elements, with where each subtree ends.
    std::vector<std::pair<pugi::xml_node, std::uint32_t>> open{
        {tree.document, form.nodes.empty() ? 0 : form.nodes[0].end}};
    std::string value;
    for (std::uint32_t i = 1; i < form.nodes.size(); ++i) {
      while (open.back().second <= i) open.pop_back();
      const XmlNormalForm::Node& node = form.nodes[i];
      pugi::xml_node parent = open.back().first;
      if (node.kind == XmlNormalForm::Kind::kText) {
        pugi::xml_node text = parent.append_child(pugi::node_pcdata);
        if (withValues) {
          value.assign(form.value(node));
          text.set_value(value.c_str());
        }
        tree.nodes.emplace_back(text.internal_object(), i);
        tree.byNumber[i] = text.internal_object();
        continue;
      }
      pugi::xml_node element = parent.append_child(pugi::node_element);
      element.set_name(names.shown(node.name).c_str());
      for (std::uint32_t a = node.attributes; a < node.attributesEnd; ++a) {
        const XmlNormalForm::Attribute& from = form.attributes[a];
        pugi::xml_attribute attribute =
            element.append_attribute(names.shown(from.name).c_str());
        if (withValues) {
          value.assign(form.value(from));
          attribute.set_value(value.c_str());
        }
        tree.attributes.emplace_back(attribute.internal_object(), a);
        tree.attributeByNumber[a] = attribute.internal_object();
        tree.attributeOwner[a] = i;
      }
      tree.nodes.emplace_back(element.internal_object(), i);
      tree.byNumber[i] = element.internal_object();
      open.emplace_back(element, node.end);
    }
    if (takeAllocationFailure()) outOfMemory();
    std::sort(tree.nodes.begin(), tree.nodes.end());
    std::sort(tree.attributes.begin(), tree.attributes.end());
  } catch (const std::bad_alloc&) {
    outOfMemory();
  }
}

XmlXPathView::~XmlXPathView() = default;

std::vector<XmlNodeRef> XmlXPathView::select(const XmlXPath& xpath) {
  std::vector<XmlNodeRef> selected;
  try {
    pugi::xpath_node_set found =
        xpath.query().query.evaluate_node_set(tree_->document);
    found.sort(false);
    selected.reserve(found.size());
    for (const pugi::xpath_node& hit : found) {
      XmlNodeRef ref;
      if (hit.attribute()) {
        ref.attribute = Tree::find(tree_->attributes, hit.attribute());
        if (ref.attribute == XmlNodeRef::kNoAttribute) continue;
        ref.node = tree_->attributeOwner[ref.attribute];
      } else {
        ref.node = Tree::find(tree_->nodes, hit.node());
        if (ref.node == XmlNodeRef::kNoAttribute) continue;
      }
      selected.push_back(ref);
    }
  } catch (const std::bad_alloc&) {
    outOfMemory();
  }
  if (takeAllocationFailure()) outOfMemory();
  return selected;
}

void XmlXPathView::remove(const std::vector<XmlNodeRef>& refs) {
  Tree& tree = *tree_;
  // Last first: a node is never touched after its ancestor went.
  for (auto ref = refs.rbegin(); ref != refs.rend(); ++ref) {
    pugi::xml_node owner(tree.byNumber[ref->node]);
    if (ref->isAttribute()) {
      owner.remove_attribute(
          pugi::xml_attribute(tree.attributeByNumber[ref->attribute]));
    } else if (ref->node != 0) {
      owner.parent().remove_child(owner);
    }
  }
}

void XmlXPathView::mask(const std::vector<XmlNodeRef>& refs) {
  Tree& tree = *tree_;
  for (auto ref = refs.rbegin(); ref != refs.rend(); ++ref) {
    pugi::xml_node node(tree.byNumber[ref->node]);
    if (ref->isAttribute()) {
      pugi::xml_attribute(tree.attributeByNumber[ref->attribute])
          .set_value(kMaskedValue.data());
    } else if (node.type() == pugi::node_pcdata) {
      node.set_value(kMaskedValue.data());
    } else if (node.type() == pugi::node_element) {
      node.remove_children();
      node.remove_attributes();
    }
  }
  if (takeAllocationFailure()) outOfMemory();
}

}  // namespace platform
