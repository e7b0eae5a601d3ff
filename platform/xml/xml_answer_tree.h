#pragma once

// Internal to the platform layer: an answer's normal form as a flat tree,
// which is hashed, compared and listed without the XML libraries. Only
// platform sources include this header.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/xml/xml_answer_compare.h"

namespace platform {

// A masked value: no parsed text holds U+0001.
inline constexpr const char* kMaskedValue = "\x01";

// The normal form, flat: children of a node are contiguous and come after
// it, so hashes are made in one backward pass.
// Names and values point into the tree the form was made from. A masked
// element has one kMasked child and no attributes.
struct FlatTree {
  enum class Kind : unsigned char { kElement, kText, kMasked };
  struct Node {
    Kind kind = Kind::kElement;
    const char* name = "";   // an element's
    const char* value = "";  // a text's
    std::size_t attributes = 0;
    std::size_t attributesEnd = 0;
    std::size_t children = 0;
    std::size_t childrenEnd = 0;
    const std::string* unorderedBy = nullptr;  // set: unordered
    std::uint64_t hash = 0;
  };
  struct Attribute {
    const char* name;
    const char* value;
  };
  std::vector<Node> nodes;  // [0]: the document
  std::vector<Attribute> attributes;

  const char* attribute(const Node& node, const std::string& name) const {
    for (std::size_t i = node.attributes; i < node.attributesEnd; ++i) {
      if (name == attributes[i].name) return attributes[i].value;
    }
    return nullptr;
  }
};

// Gives every node the hash of its subtree: the children of an unordered
// element as a set.
void hashNodes(FlatTree& tree);

// Reports into `out` what differs between the trees, in document order, at
// most `cap` differences listed and all counted.
void compareTrees(const FlatTree& answer, const FlatTree& baseline,
                  std::size_t cap, XmlComparison& out);

// One element, attribute or text a line, indented by depth; the children of
// an unordered element sorted, so that both sides list a set alike.
void listNodes(const FlatTree& tree, std::vector<std::string>& lines);

}  // namespace platform
