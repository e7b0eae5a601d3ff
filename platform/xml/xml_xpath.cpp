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

// A predicate that looks at the element's own attributes and place only.
bool predicateStaysHere(const std::string& predicate) {
  for (std::size_t at = 0; at < predicate.size(); ++at) {
    const char c = predicate[at];
    if (c == '"' || c == '\'') {
      const std::size_t end = predicate.find(c, at + 1);
      if (end == std::string::npos) return false;
      at = end;
    } else if (c == '/' || c == '.') {
      return false;
    } else if (isNameChar(c) && (c < '0' || c > '9') &&
               (at == 0 ||
                (!isNameChar(predicate[at - 1]) && predicate[at - 1] != '@'))) {
      std::size_t end = at;
      while (end < predicate.size() &&
             (isNameChar(predicate[end]) || predicate[end] == ':')) {
        ++end;
      }
      const std::string word = predicate.substr(at, end - at);
      if (word != "and" && word != "or" && word != "not" && word != "last" &&
          word != "position" && word != "true" && word != "false") {
        return false;
      }
      at = end - 1;
    }
  }
  return true;
}

// How deep an absolute path of child and attribute steps goes; -1 for any
// other XPath.
int depthOf(const std::string& xpath) {
  if (xpath.empty() || xpath[0] != '/') return -1;
  const std::vector<std::string> steps = xpathSteps(xpath);
  int depth = 0;
  for (std::size_t i = 1; i < steps.size(); ++i) {
    std::string step = steps[i];
    if (step.empty()) return -1;  // "//"
    const std::size_t open = step.find('[');
    if (open != std::string::npos) {
      for (std::size_t at = open; at < step.size();) {
        const std::size_t close = step.find(']', at);
        if (step[at] != '[' || close == std::string::npos ||
            !predicateStaysHere(step.substr(at + 1, close - at - 1))) {
          return -1;
        }
        at = close + 1;
      }
      step.resize(open);
    }
    if (step.rfind("child::", 0) == 0) step.erase(0, 7);
    if (step[0] == '@' || step.rfind("attribute::", 0) == 0) {
      if (i + 1 != steps.size()) return -1;
      continue;
    }
    if (step.find("::") != std::string::npos || step == "." || step == "..") {
      return -1;
    }
    ++depth;
  }
  return depth;
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
    reach_.values = looksAtValues(xpath);
    reach_.text = reach_.values || xpath.find("text()") != std::string::npos ||
                  xpath.find("node()") != std::string::npos;
    reach_.depth = depthOf(xpath);
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

XmlXPathReach XmlXPathReach::joined(const XmlXPathReach& other) const {
  XmlXPathReach both;
  both.values = values || other.values;
  both.text = text || other.text;
  both.depth = depth < 0 || other.depth < 0 ? -1 : std::max(depth, other.depth);
  return both;
}

struct XmlXPathView::Tree {
  pugi::xml_document document;
  // pugixml's nodes and attributes by address, with the normal form's
  // numbers, sorted for a look-up.
  std::vector<std::pair<const void*, std::uint32_t>> nodes;
  pugi::xpath_node_set last;  // the last selection
  const XmlNormalForm* form = nullptr;
  const XmlNameTable* names = nullptr;

  // An attribute's number, by its element and its name, which is the only
  // one of that name there.
  std::uint32_t attributeOf(const pugi::xml_attribute& attribute,
                            std::uint32_t owner) const {
    const XmlNormalForm::Attribute* found =
        form->attribute(form->nodes[owner], names->find(attribute.name()));
    return found == nullptr
               ? XmlNodeRef::kNoAttribute
               : static_cast<std::uint32_t>(found - form->attributes.data());
  }

  static std::uint32_t find(
      const std::vector<std::pair<const void*, std::uint32_t>>& sorted,
      const void* key) {
    const auto at = std::lower_bound(sorted.begin(), sorted.end(), key,
                                     [](const auto& pair, const void* wanted) {
                                       return pair.first < wanted;
                                     });
    return at != sorted.end() && at->first == key ? at->second
                                                  : XmlNodeRef::kNoAttribute;
  }
};

XmlXPathView::XmlXPathView(const XmlNormalForm& form, const XmlNameTable& names,
                           const XmlXPathReach& reach)
    : tree_(std::make_unique<Tree>()) {
  try {
    Tree& tree = *tree_;
    tree.form = &form;
    tree.names = &names;
    tree.nodes.emplace_back(tree.document.internal_object(), 0);
    // The open elements, with where each subtree ends.
    struct Open {
      pugi::xml_node node;
      std::uint32_t end;
    };
    std::vector<Open> open{
        {tree.document, form.nodes.empty() ? 0 : form.nodes[0].end}};
    std::string value;
    for (std::uint32_t i = 1; i < form.nodes.size(); ++i) {
      while (open.back().end <= i) open.pop_back();
      const XmlNormalForm::Node& node = form.nodes[i];
      // Deeper than any rule looks: passed over whole.
      if (reach.depth >= 0 &&
          open.size() > static_cast<std::size_t>(reach.depth)) {
        i = node.end - 1;
        continue;
      }
      pugi::xml_node parent = open.back().node;
      if (node.kind == XmlNormalForm::Kind::kText) {
        if (!reach.text) continue;
        pugi::xml_node text = parent.append_child(pugi::node_pcdata);
        if (reach.values) {
          value.assign(form.value(node));
          text.set_value(value.c_str());
        }
        tree.nodes.emplace_back(text.internal_object(), i);
        continue;
      }
      pugi::xml_node element = parent.append_child(pugi::node_element);
      element.set_name(names.shown(node.name).c_str());
      for (std::uint32_t a = node.attributes; a < node.attributesEnd; ++a) {
        const XmlNormalForm::Attribute& from = form.attributes[a];
        pugi::xml_attribute attribute =
            element.append_attribute(names.shown(from.name).c_str());
        if (reach.values) {
          value.assign(form.value(from));
          attribute.set_value(value.c_str());
        }
      }
      tree.nodes.emplace_back(element.internal_object(), i);
      open.push_back({element, node.end});
    }
    if (takeAllocationFailure()) outOfMemory();
    std::sort(tree.nodes.begin(), tree.nodes.end());
  } catch (const std::bad_alloc&) {
    outOfMemory();
  }
}

XmlXPathView::~XmlXPathView() = default;

std::vector<XmlNodeRef> XmlXPathView::select(const XmlXPath& xpath) {
  Tree& tree = *tree_;
  std::vector<XmlNodeRef> selected;
  try {
    tree.last = xpath.query().query.evaluate_node_set(tree.document);
    tree.last.sort(false);
    selected.reserve(tree.last.size());
    for (const pugi::xpath_node& hit : tree.last) {
      XmlNodeRef ref;
      if (hit.attribute()) {
        ref.node = Tree::find(tree.nodes, hit.parent().internal_object());
        if (ref.node == XmlNodeRef::kNoAttribute) continue;
        ref.attribute = tree.attributeOf(hit.attribute(), ref.node);
        if (ref.attribute == XmlNodeRef::kNoAttribute) continue;
      } else {
        ref.node = Tree::find(tree.nodes, hit.node().internal_object());
      }
      if (ref.node == XmlNodeRef::kNoAttribute) continue;
      selected.push_back(ref);
    }
  } catch (const std::bad_alloc&) {
    outOfMemory();
  }
  if (takeAllocationFailure()) outOfMemory();
  return selected;
}

void XmlXPathView::removeSelected() {
  const pugi::xpath_node_set& last = tree_->last;
  // Last first: a node is never touched after its ancestor went.
  for (std::size_t i = last.size(); i-- > 0;) {
    const pugi::xpath_node& hit = last[i];
    if (hit.attribute()) {
      hit.parent().remove_attribute(hit.attribute());
    } else if (hit.node().parent() &&
               hit.node().parent().type() != pugi::node_document) {
      hit.node().parent().remove_child(hit.node());
    }
  }
  tree_->last = pugi::xpath_node_set();
}

void XmlXPathView::maskSelected() {
  const pugi::xpath_node_set& last = tree_->last;
  for (std::size_t i = last.size(); i-- > 0;) {
    const pugi::xpath_node& hit = last[i];
    pugi::xml_node node = hit.node();
    if (hit.attribute()) {
      pugi::xml_attribute(hit.attribute()).set_value(kMaskedValue.data());
    } else if (node.type() == pugi::node_pcdata) {
      node.set_value(kMaskedValue.data());
    } else if (node.type() == pugi::node_element) {
      node.remove_children();
      node.remove_attributes();
    }
  }
  tree_->last = pugi::xpath_node_set();
  if (takeAllocationFailure()) outOfMemory();
}

// The XPath's steps at the top level (outside predicates and literals).
std::vector<std::string> xpathSteps(const std::string& xpath) {
  std::vector<std::string> steps;
  std::string step;
  int depth = 0;
  char quote = 0;
  for (const char c : xpath) {
    if (quote != 0) {
      if (c == quote) quote = 0;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == '[' || c == '(') {
      ++depth;
    } else if (c == ']' || c == ')') {
      --depth;
    } else if (c == '/' && depth == 0) {
      steps.push_back(step);
      step.clear();
      continue;
    }
    step += c;
  }
  steps.push_back(step);
  return steps;
}

}  // namespace platform
