#include "platform/xml/xml_namespaces.h"

#include <algorithm>
#include <cstring>

#include "platform/xml/xml_document_data.h"

namespace platform {

namespace {

constexpr char kXmlns[] = "xmlns";

// The prefix of a qualified name: "" when it has none.
std::string prefixOf(const char* name) {
  const char* colon = std::strchr(name, ':');
  return colon == nullptr ? std::string() : std::string(name, colon);
}

std::string declarationName(const std::string& prefix) {
  return prefix.empty() ? std::string(kXmlns)
                        : std::string(kXmlns) + ":" + prefix;
}

bool declaredOnTheWay(pugi::xml_node node, pugi::xml_node root,
                      const std::string& name) {
  for (;; node = node.parent()) {
    if (node.attribute(name.c_str())) return true;
    if (node == root) return false;
  }
}

void noteUse(std::vector<std::string>& used, std::string prefix) {
  if (prefix == "xml" || prefix == kXmlns) return;
  if (std::find(used.begin(), used.end(), prefix) == used.end()) {
    used.push_back(std::move(prefix));
  }
}

}  // namespace

void addDeclarationsOf(pugi::xml_node element, Declarations& into) {
  for (const pugi::xml_attribute attribute : element.attributes()) {
    const char* name = attribute.name();
    if (std::strncmp(name, kXmlns, 5) != 0) continue;
    if (name[5] == '\0') {
      into.emplace_back("", attribute.value());
    } else if (name[5] == ':') {
      into.emplace_back(name + 6, attribute.value());
    }
  }
}

bool declareWhatItNeeds(pugi::xml_node copy, const Declarations& outside) {
  if (outside.empty() || copy.type() != pugi::node_element) return true;
  // The prefixes used below the copy's root and not declared on the way.
  std::vector<std::string> needed;
  const auto look = [&](pugi::xml_node element) {
    std::vector<std::string> used;
    noteUse(used, prefixOf(element.name()));
    for (const pugi::xml_attribute attribute : element.attributes()) {
      // An attribute without a prefix is in no namespace.
      if (std::strchr(attribute.name(), ':') != nullptr) {
        noteUse(used, prefixOf(attribute.name()));
      }
    }
    for (std::string& prefix : used) {
      if (!declaredOnTheWay(element, copy, declarationName(prefix)) &&
          std::find(needed.begin(), needed.end(), prefix) == needed.end()) {
        needed.push_back(std::move(prefix));
      }
    }
  };
  look(copy);
  walkInDocumentOrder(copy, [&](pugi::xml_node node, int) {
    if (node.type() == pugi::node_element) look(node);
    return Walk::kDescend;
  });
  // In reverse, so that prepending keeps the order of first use.
  for (auto prefix = needed.rbegin(); prefix != needed.rend(); ++prefix) {
    const auto declared =
        std::find_if(outside.rbegin(), outside.rend(),
                     [&](const auto& in) { return in.first == *prefix; });
    // An unprefixed name outside any default namespace needs nothing.
    if (declared == outside.rend() ||
        (prefix->empty() && declared->second.empty())) {
      continue;
    }
    pugi::xml_attribute attribute =
        copy.prepend_attribute(declarationName(*prefix).c_str());
    if (!attribute || !attribute.set_value(declared->second.c_str())) {
      return false;
    }
  }
  return true;
}

}  // namespace platform
