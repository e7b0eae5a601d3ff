#pragma once

// An answer in the form two answers are compared in: one pass of expat over
// the text, kept compact (a few dozen bytes a node, values in one buffer),
// so that an answer of any size the run holds can be compared as XML.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace platform {

// The names of one comparison, shared by its two sides so that a name is a
// number on both. A namespace URI is shown with the prefix the rules give
// it, or as ns1, ns2... in the order met.
class XmlNameTable {
 public:
  // `prefixes`: the rules' own (prefix, URI) pairs.
  explicit XmlNameTable(
      std::vector<std::pair<std::string, std::string>> prefixes = {});

  // A name as expat gives it: "URI<U+0001>local" or "local".
  std::uint32_t fromExpat(const char* name);
  std::uint32_t intern(std::string_view uri, std::string_view local);

  // "q:debug", "ns1:a" or "a"; number 0 is the document's empty name.
  const std::string& shown(std::uint32_t name) const {
    return entries_[name].shown;
  }
  const std::string& uri(std::uint32_t name) const {
    return entries_[name].uri;
  }
  const std::string& local(std::uint32_t name) const {
    return entries_[name].local;
  }
  const std::string& prefixFor(std::string_view uri);
  // The number of a name known already, or 0.
  std::uint32_t find(std::string_view shown) const;
  std::uint32_t find(std::string_view uri, std::string_view local) const;
  // The prefixes given here to URIs the rules do not name.
  const std::vector<std::pair<std::string, std::string>>& namedHere() const {
    return namedHere_;
  }
  const std::vector<std::pair<std::string, std::string>>& rulePrefixes() const {
    return prefixes_;
  }

 private:
  struct Entry {
    std::string shown;
    std::string uri;
    std::string local;
  };
  std::vector<Entry> entries_;
  std::unordered_map<std::string, std::uint32_t> byExpat_;
  std::unordered_map<std::string, std::uint32_t> byShown_;
  std::vector<std::pair<std::string, std::string>> prefixes_;
  std::vector<std::pair<std::string, std::string>> namedHere_;
  int counter_ = 0;
};

// No parsed text holds U+0001: a masked value.
inline constexpr std::string_view kMaskedValue = "\x01";

struct XmlNormalForm {
  enum class Kind : std::uint8_t { kElement, kText };
  enum Flag : std::uint8_t {
    kRemoved = 1,  // gone when the form is compacted
    kMasked = 2,   // present, its value (an element's content) not compared
    kBlank = 4,    // text of white space only
  };
  // Document order: a node's subtree is [its index, end). Node 0 is the
  // document, whose one child is the root element. 24 bytes a node, 12 an
  // attribute: an answer of any size the run holds is compared.
  struct Node {
    std::uint32_t end = 0;
    // An element's name in the name table; where a text's value begins in
    // `values`.
    std::uint32_t name = 0;
    // An element's attributes, [attributes, attributesEnd); a text's value
    // is `attributes` bytes long, and its range of attributes empty.
    std::uint32_t attributes = 0;
    std::uint32_t attributesEnd = 0;
    std::uint32_t scope = 0;  // an element's namespace bindings
    Kind kind = Kind::kElement;
    std::uint8_t flags = 0;
    std::uint16_t unordered = 0;  // 0: ordered; else a mark of the caller's
  };
  struct Attribute {
    std::uint32_t name = 0;
    std::uint32_t value = 0;
    std::uint32_t size : 30;
    std::uint32_t flags : 2;  // kRemoved or kMasked
    Attribute() : size(0), flags(0) {}
  };
  // A namespace declaration in force; 0 is none.
  struct Binding {
    std::string prefix;  // empty: the default namespace
    std::string uri;     // empty: undeclared
    std::uint32_t parent = 0;
  };

  std::vector<Node> nodes;
  std::vector<Attribute> attributes;  // each element's sorted by name
  std::string values;
  std::vector<Binding> bindings;

  std::string_view value(const Node& text) const {
    return std::string_view(values).substr(text.name, text.attributes);
  }
  std::string_view value(const Attribute& attribute) const {
    return std::string_view(values).substr(attribute.value, attribute.size);
  }
  // The value of the element's attribute of that name, or null.
  const Attribute* attribute(const Node& element, std::uint32_t name) const;
  void setValue(Attribute& attribute, std::string_view text);
  void setValue(Node& text, std::string_view value);

  // The namespace URI a prefix stands for where `scope` is in force; false
  // when it is not declared there. The empty prefix: the default namespace.
  bool uriOf(std::uint32_t scope, std::string_view prefix,
             std::string_view& uri) const;

  // Takes out what is marked kRemoved and joins text that then meets text.
  void compact();
};

// The deepest nesting compared as XML.
constexpr int kDeepestCompared = 2048;

struct XmlNormalFormFault {
  std::string text;  // "at line 1, column 5: mismatched tag"
  bool tooDeep = false;
};

// Builds the normal form of `text`: names are namespace URI and local name;
// attributes a set; references resolved, CDATA text, adjacent text one;
// comments, processing instructions, the declaration and the document
// type left out. Text of white space only is kept, marked kBlank: whether
// it counts is the comparison's to say. False with `fault` when the text is
// not a well-formed document or is nested deeper than kDeepestCompared.
// Throws a TOVException when memory runs out.
bool buildXmlNormalForm(std::string_view text, XmlNameTable& names,
                        XmlNormalForm& form, XmlNormalFormFault& fault);

}  // namespace platform
