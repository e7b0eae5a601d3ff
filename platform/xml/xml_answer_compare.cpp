// Two answers compared as XML: expat reads each in namespace mode into a
// pugixml tree of normal names, the rules' XPaths edit that tree, and a flat
// copy of it is compared (xml_answer_tree.cpp).

#include "platform/xml/xml_answer_compare.h"

#include <expat.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <pugixml.hpp>
#include <random>
#include <unordered_map>

#include "platform/core/tov_exception.h"
#include "platform/xml/allocation_watch.h"
#include "platform/xml/xml_answer_tree.h"

namespace platform {

namespace {

// Between a namespace URI and a local name in expat's names: no name or
// URI of a well-formed document holds U+0001.
const XML_Char kSeparator[] = "\x01";
constexpr const char* kXmlNamespace = "http://www.w3.org/XML/1998/namespace";

const XML_Memory_Handling_Suite kWatchedMemory = {
    watchedAllocate, watchedReallocate, watchedFree};

bool isNameStart(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
         byte == '_' || byte >= 0x80;
}

bool isNameChar(char c) {
  return isNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
}

bool isNcName(const std::string& name) {
  if (name.empty() || !isNameStart(name[0])) return false;
  return std::all_of(name.begin(), name.end(), isNameChar);
}

// The prefixes of the qualified names an XPath tests, outside its string
// literals; "child::x" is an axis, not a prefix.
std::vector<std::string> prefixesIn(const std::string& xpath) {
  std::vector<std::string> found;
  std::size_t at = 0;
  while (at < xpath.size()) {
    const char c = xpath[at];
    if (c == '"' || c == '\'') {
      const std::size_t end = xpath.find(c, at + 1);
      at = end == std::string::npos ? xpath.size() : end + 1;
    } else if (isNameStart(c)) {
      const std::size_t start = at;
      while (at < xpath.size() && isNameChar(xpath[at])) ++at;
      if (at + 1 < xpath.size() && xpath[at] == ':' && xpath[at + 1] != ':') {
        found.push_back(xpath.substr(start, at - start));
        ++at;
      } else if (at + 1 < xpath.size() && xpath[at] == ':') {
        at += 2;
      }
    } else {
      ++at;
    }
  }
  return found;
}

struct ParserFree {
  void operator()(XML_ParserStruct* parser) const { XML_ParserFree(parser); }
};

[[noreturn]] void outOfMemory() {
  throw new TOVException(
      "Out of memory while comparing an answer with the baseline");
}

// Expat draws a new salt for its hash tables from the system for every
// parser, which costs more than parsing a small answer; one drawn per run
// guards as well against answers made to collide.
unsigned long hashSalt() {
  static const unsigned long salt = [] {
    std::random_device random;
    unsigned long drawn = 0;
    while (drawn == 0)
      drawn = (static_cast<unsigned long>(random()) << 16) ^ random();
    return drawn;
  }();
  return salt;
}

bool isBlank(const std::string& text) {
  return text.find_first_not_of(" \t\r\n") == std::string::npos;
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

}  // namespace

struct XmlCompareRules::Data {
  struct Rule {
    Kind kind;
    pugi::xpath_query query;
    std::string by;
  };
  std::vector<std::pair<std::string, std::string>> prefixes;  // prefix, URI
  std::vector<Rule> rules;

  const std::string* uriOf(const std::string& prefix) const {
    for (const auto& [name, uri] : prefixes) {
      if (name == prefix) return &uri;
    }
    return nullptr;
  }
};

XmlCompareRules::XmlCompareRules() : data_(std::make_shared<Data>()) {
  data_->prefixes.emplace_back("xml", kXmlNamespace);
}
XmlCompareRules::~XmlCompareRules() = default;
XmlCompareRules::XmlCompareRules(const XmlCompareRules&) = default;
XmlCompareRules& XmlCompareRules::operator=(const XmlCompareRules&) = default;

bool XmlCompareRules::empty() const { return data_->rules.empty(); }

bool XmlCompareRules::declareNamespace(const std::string& prefix,
                                       const std::string& uri,
                                       std::string& reason) {
  if (!isNcName(prefix) || prefix == "xmlns") {
    reason = "\"" + prefix + "\" cannot be a prefix";
    return false;
  }
  const std::string* bound = data_->uriOf(prefix);
  if (bound != nullptr) {
    if (*bound == uri) return true;
    reason =
        "the prefix \"" + prefix + "\" is bound to \"" + *bound + "\" already";
    return false;
  }
  for (const auto& [name, known] : data_->prefixes) {
    if (known == uri) {
      reason = "\"" + uri + "\" has the prefix \"" + name + "\" already";
      return false;
    }
  }
  data_->prefixes.emplace_back(prefix, uri);
  return true;
}

bool XmlCompareRules::add(Kind kind, const std::string& xpath,
                          const std::string& by, std::string& reason) {
  std::vector<std::string> prefixes = prefixesIn(xpath);
  if (!by.empty()) {
    const std::size_t colon = by.find(':');
    if (!isNcName(by.substr(0, colon)) ||
        (colon != std::string::npos && !isNcName(by.substr(colon + 1)))) {
      reason = "\"" + by + "\" is no attribute name";
      return false;
    }
    if (colon != std::string::npos) prefixes.push_back(by.substr(0, colon));
  }
  for (const std::string& prefix : prefixes) {
    if (data_->uriOf(prefix) == nullptr) {
      reason = "the prefix \"" + prefix +
               "\" is not declared (namespace <prefix> <URI>)";
      return false;
    }
  }
  try {
    pugi::xpath_query query(xpath.c_str());
    const pugi::xpath_parse_result& parsed = query.result();
    if (!parsed) {
      reason = xpathFault(parsed, xpath);
      return false;
    }
    if (query.return_type() != pugi::xpath_type_node_set) {
      reason = "the XPath gives a value, not nodes";
      return false;
    }
    data_->rules.push_back(Data::Rule{kind, std::move(query), by});
#ifndef PUGIXML_NO_EXCEPTIONS
  } catch (const pugi::xpath_exception& failure) {
    reason = xpathFault(failure.result(), xpath);
    return false;
#endif
  } catch (const std::bad_alloc&) {
    reason = "out of memory";
    return false;
  }
  return true;
}

namespace {

// The prefix each namespace URI is shown with in one comparison: the rules'
// own, or ns1, ns2... as met.
class NamespaceNames {
 public:
  explicit NamespaceNames(const XmlCompareRules::Data& rules) : rules_(rules) {}

  const std::string& prefixFor(const char* uri, std::size_t size) {
    const std::string_view wanted(uri, size);
    if (last_ != nullptr && last_->second == wanted) return last_->first;
    for (const auto& pair : rules_.prefixes) {
      if (pair.second == wanted) return (last_ = &pair)->first;
    }
    for (const auto& pair : namedHere_) {
      if (pair.second == wanted) return (last_ = &pair)->first;
    }
    std::string name;
    do {
      name = "ns" + std::to_string(++counter_);
    } while (rules_.uriOf(name) != nullptr);
    namedHere_.emplace_back(std::move(name), std::string(wanted));
    last_ = nullptr;  // the vector may have moved
    return namedHere_.back().first;
  }

  const std::vector<std::pair<std::string, std::string>>& namedHere() const {
    return namedHere_;
  }

 private:
  const XmlCompareRules::Data& rules_;
  std::vector<std::pair<std::string, std::string>> namedHere_;
  const std::pair<std::string, std::string>* last_ = nullptr;
  int counter_ = 0;
};

// Builds the normal form of one answer: names made of the URI's prefix and
// the local name, text joined and white space beside elements left out.
class NormalTreeBuilder {
 public:
  NormalTreeBuilder(pugi::xml_document& document, NamespaceNames& names)
      : names_(names), current_(document) {}

  // Nested deeper than the walks go: well-formed or not, it is no tree.
  bool tooDeep() const { return tooDeep_; }

  // False with `fault` when the text is not a well-formed document.
  bool build(std::string_view text, std::string& fault) {
    const std::unique_ptr<XML_ParserStruct, ParserFree> parser(
        XML_ParserCreate_MM(nullptr, &kWatchedMemory, kSeparator));
    if (!parser) outOfMemory();
    parser_ = parser.get();
    XML_SetHashSalt(parser_, hashSalt());
    XML_SetUserData(parser_, this);
    XML_SetElementHandler(parser_, start, end);
    XML_SetCharacterDataHandler(parser_, characters);
    XML_SetExternalEntityRefHandler(parser_, externalEntity);
    XML_SetSkippedEntityHandler(parser_, skippedEntity);
    constexpr std::size_t kMost = 1 << 30;  // the parser takes an int
    bool parsed = true;
    do {
      const std::size_t piece = std::min(text.size(), kMost);
      parsed = XML_Parse(parser_, text.data(), static_cast<int>(piece),
                         piece == text.size()) != XML_STATUS_ERROR;
      text.remove_prefix(piece);
    } while (parsed && !text.empty());
    if (outOfMemory_ || XML_GetErrorCode(parser_) == XML_ERROR_NO_MEMORY) {
      outOfMemory();
    }
    if (parsed && refusal_.empty()) return true;
    const std::string reason = refusal_.empty()
                                   ? XML_ErrorString(XML_GetErrorCode(parser_))
                                   : refusal_;
    fault =
        " at line " +
        std::to_string(refusal_.empty() ? XML_GetCurrentLineNumber(parser_)
                                        : line_) +
        ", column " +
        std::to_string(
            (refusal_.empty() ? XML_GetCurrentColumnNumber(parser_) : column_) +
            1) +
        ": " + reason;
    return false;
  }

 private:
  static NormalTreeBuilder& of(void* user) {
    return *static_cast<NormalTreeBuilder*>(user);
  }

  void refuse(const char* reason) {
    if (!refusal_.empty()) return;
    refusal_ = reason;
    line_ = XML_GetCurrentLineNumber(parser_);
    column_ = XML_GetCurrentColumnNumber(parser_);
    XML_StopParser(parser_, XML_FALSE);
  }

  // A handler's work; nothing may unwind through the parser's C frames.
  template <typename Work>
  void guarded(Work work) {
    try {
      work();
    } catch (...) {
      outOfMemory_ = true;
      XML_StopParser(parser_, XML_FALSE);
    }
  }

  const char* normalName(const XML_Char* name) {
    const char* separator = std::strchr(name, kSeparator[0]);
    if (separator == nullptr) return name;
    name_ = names_.prefixFor(name, static_cast<std::size_t>(separator - name));
    name_ += ':';
    name_ += separator + 1;
    return name_.c_str();
  }

  void flushText(bool besideElement) {
    if (text_.empty()) return;
    if (!besideElement || !isBlank(text_)) {
      current_.append_child(pugi::node_pcdata).set_value(text_.c_str());
    }
    text_.clear();
  }

  static void XMLCALL start(void* user, const XML_Char* name,
                            const XML_Char** attributes) {
    NormalTreeBuilder& b = of(user);
    b.guarded([&] {
      b.flushText(true);
      // As the document layer: the walks below keep a stack per level.
      if (b.holdsElement_.size() >= kDeepestCompared) {
        b.tooDeep_ = true;
        b.refuse("elements nested too deep to compare");
        return;
      }
      if (!b.holdsElement_.empty()) b.holdsElement_.back() = true;
      b.holdsElement_.push_back(false);
      pugi::xml_node element = b.current_.append_child(pugi::node_element);
      element.set_name(b.normalName(name));
      for (; attributes[0] != nullptr; attributes += 2) {
        element.append_attribute(b.normalName(attributes[0]))
            .set_value(attributes[1]);
      }
      b.current_ = element;
    });
  }

  static void XMLCALL end(void* user, const XML_Char*) {
    NormalTreeBuilder& b = of(user);
    b.guarded([&] {
      b.flushText(b.holdsElement_.back());
      b.holdsElement_.pop_back();
      b.current_ = b.current_.parent();
    });
  }

  static void XMLCALL characters(void* user, const XML_Char* data, int size) {
    NormalTreeBuilder& b = of(user);
    b.guarded([&] { b.text_.append(data, static_cast<std::size_t>(size)); });
  }

  static int XMLCALL externalEntity(XML_Parser parser, const XML_Char*,
                                    const XML_Char*, const XML_Char*,
                                    const XML_Char*) {
    of(XML_GetUserData(parser)).refuse("an external entity, never read");
    return XML_STATUS_ERROR;
  }

  static void XMLCALL skippedEntity(void* user, const XML_Char*,
                                    int parameter) {
    if (parameter == 0) of(user).refuse("an entity declared outside");
  }

  NamespaceNames& names_;
  XML_Parser parser_ = nullptr;
  pugi::xml_node current_;
  std::string text_;  // character data not yet in a node
  std::string name_;
  std::vector<bool> holdsElement_;  // per open element
  std::string refusal_;
  unsigned long line_ = 0;
  unsigned long column_ = 0;
  bool outOfMemory_ = false;
  bool tooDeep_ = false;
};

// Text split by a node that a rule took out is one text again.
void joinAdjacentText(pugi::xml_node root) {
  std::vector<pugi::xml_node> elements{root};
  while (!elements.empty()) {
    pugi::xml_node element = elements.back();
    elements.pop_back();
    pugi::xml_node child = element.first_child();
    while (child) {
      pugi::xml_node next = child.next_sibling();
      if (child.type() == pugi::node_pcdata && next &&
          next.type() == pugi::node_pcdata) {
        std::string joined = child.value();
        joined += next.value();
        child.set_value(joined.c_str());
        element.remove_child(next);
        continue;
      }
      if (child.type() == pugi::node_element) elements.push_back(child);
      child = next;
    }
  }
}

using UnorderedMarks =
    std::unordered_map<const pugi::xml_node_struct*, const std::string*>;

// Ignoring first, then masking, then marking what is unordered, each in
// the order of the rules. Nodes go last first, so that no node is touched
// after an ancestor's removal has freed it.
void applyRules(pugi::xml_document& document, const XmlCompareRules::Data& data,
                UnorderedMarks& unordered) {
  bool ignored = false;
  for (const auto kind :
       {XmlCompareRules::Kind::kIgnore, XmlCompareRules::Kind::kMask,
        XmlCompareRules::Kind::kUnordered}) {
    for (const XmlCompareRules::Data::Rule& rule : data.rules) {
      if (rule.kind != kind) continue;
      pugi::xpath_node_set found = rule.query.evaluate_node_set(document);
      found.sort(true);
      for (const pugi::xpath_node& hit : found) {
        const pugi::xml_attribute attribute = hit.attribute();
        pugi::xml_node node = hit.node();
        if (kind == XmlCompareRules::Kind::kIgnore) {
          ignored = true;
          if (attribute) {
            hit.parent().remove_attribute(attribute);
          } else if (node.type() != pugi::node_document) {
            node.parent().remove_child(node);
          }
        } else if (kind == XmlCompareRules::Kind::kMask) {
          if (attribute) {
            pugi::xml_attribute(attribute).set_value(kMaskedValue);
          } else if (node.type() == pugi::node_element) {
            node.remove_children();
            node.remove_attributes();
            node.append_child(pugi::node_pi).set_name("masked");
          } else if (node.type() == pugi::node_pcdata) {
            node.set_value(kMaskedValue);
          }
        } else if (node.type() == pugi::node_element) {
          unordered[node.internal_object()] = &rule.by;
        }
      }
    }
  }
  if (ignored) joinAdjacentText(document);
}

void flatten(const pugi::xml_document& document, const UnorderedMarks& marks,
             FlatTree& tree) {
  std::vector<pugi::xml_node> source{document};
  tree.nodes.emplace_back();
  for (std::size_t i = 0; i < tree.nodes.size(); ++i) {
    if (tree.nodes[i].kind != FlatTree::Kind::kElement) continue;
    const pugi::xml_node from = source[i];
    const std::size_t attributes = tree.attributes.size();
    for (const pugi::xml_attribute attribute : from.attributes()) {
      tree.attributes.push_back({attribute.name(), attribute.value()});
    }
    std::sort(tree.attributes.begin() + static_cast<std::ptrdiff_t>(attributes),
              tree.attributes.end(),
              [](const FlatTree::Attribute& a, const FlatTree::Attribute& b) {
                return std::strcmp(a.name, b.name) < 0;
              });
    const std::size_t children = tree.nodes.size();
    for (const pugi::xml_node child : from.children()) {
      FlatTree::Node node;
      switch (child.type()) {
        case pugi::node_element:
          node.name = child.name();
          break;
        case pugi::node_pcdata:
          node.kind = FlatTree::Kind::kText;
          node.value = child.value();
          break;
        case pugi::node_pi:
          node.kind = FlatTree::Kind::kMasked;
          break;
        default:
          continue;
      }
      if (!marks.empty() && child.type() == pugi::node_element) {
        const auto mark = marks.find(child.internal_object());
        if (mark != marks.end()) node.unorderedBy = mark->second;
      }
      tree.nodes.push_back(node);
      source.push_back(child);
    }
    FlatTree::Node& node = tree.nodes[i];
    node.attributes = attributes;
    node.attributesEnd = tree.attributes.size();
    node.children = children;
    node.childrenEnd = tree.nodes.size();
  }
  hashNodes(tree);
}

void prepare(pugi::xml_document& document, const XmlCompareRules::Data& data,
             FlatTree& tree) {
  UnorderedMarks unordered;
  if (!data.rules.empty()) applyRules(document, data, unordered);
  flatten(document, unordered, tree);
}

}  // namespace

XmlComparison compareXmlAnswers(std::string_view answer,
                                std::string_view baseline,
                                const XmlCompareRules& rules, std::size_t cap) {
  XmlComparison result;
  try {
    NamespaceNames names(rules.data());
    pugi::xml_document baselineDocument;
    pugi::xml_document answerDocument;
    NormalTreeBuilder baselineBuilder(baselineDocument, names);
    NormalTreeBuilder answerBuilder(answerDocument, names);
    result.baselineIsXml =
        baselineBuilder.build(baseline, result.baselineFault);
    result.answerIsXml = answerBuilder.build(answer, result.answerFault);
    result.tooDeep = baselineBuilder.tooDeep() || answerBuilder.tooDeep();
    if (takeAllocationFailure()) outOfMemory();
    result.namedHere = names.namedHere();
    if (!result.answerIsXml || !result.baselineIsXml) return result;
    FlatTree answerTree;
    FlatTree baselineTree;
    prepare(answerDocument, rules.data(), answerTree);
    prepare(baselineDocument, rules.data(), baselineTree);
    if (takeAllocationFailure()) outOfMemory();
    if (answerTree.nodes[0].hash == baselineTree.nodes[0].hash) return result;
    compareTrees(answerTree, baselineTree, cap, result);
    if (result.count > 0) {
      listNodes(answerTree, result.answerLines);
      listNodes(baselineTree, result.baselineLines);
    }
  } catch (const std::bad_alloc&) {
    takeAllocationFailure();
    outOfMemory();
  }
  return result;
}

}  // namespace platform