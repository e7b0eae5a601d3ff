#include "platform/xml/xml_canonical_form.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/xml/xml_document_data.h"

namespace platform {

namespace {

constexpr std::string_view kXmlNamespace =
    "http://www.w3.org/XML/1998/namespace";

bool isBlank(std::string_view text) {
  return text.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

bool isText(const pugi::xml_node& node) {
  return node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata;
}

class Canonical {
 public:
  explicit Canonical(std::string& out) : out_(out) {}

  // `replayed`: the outermost element of a replayed transaction, whose seq
  // is its number in the log, not what it asks.
  void element(const pugi::xml_node& node, bool preserve, bool replayed) {
    const std::size_t bound = bindings_.size();
    for (const pugi::xml_attribute attribute : node.attributes()) {
      const char* name = attribute.name();
      if (std::strncmp(name, "xmlns", 5) != 0) continue;
      if (name[5] == '\0') bindings_.emplace_back("", attribute.value());
      if (name[5] == ':') bindings_.emplace_back(name + 6, attribute.value());
    }
    out_ += 'E';
    name(node.name(), true);
    struct Attribute {
      std::string_view uri;
      std::string_view local;
      std::string_view value;
    };
    std::vector<Attribute> attributes;
    for (const pugi::xml_attribute attribute : node.attributes()) {
      const std::string_view qualified = attribute.name();
      if (qualified.substr(0, 5) == "xmlns" &&
          (qualified.size() == 5 || qualified[5] == ':')) {
        continue;
      }
      if (replayed && qualified == "seq") continue;
      if (qualified == "xml:space") {
        preserve =
            std::string_view(attribute.value()) == "preserve" ||
            (std::string_view(attribute.value()) != "default" && preserve);
      }
      const auto [uri, local] = resolve(qualified, false);
      attributes.push_back({uri, local, attribute.value()});
    }
    std::sort(attributes.begin(), attributes.end(),
              [](const Attribute& x, const Attribute& y) {
                return std::tie(x.uri, x.local) < std::tie(y.uri, y.local);
              });
    for (const Attribute& attribute : attributes) {
      out_ += 'A';
      out_.append(attribute.uri).append(1, '\0');
      out_.append(attribute.local).append(1, '\0');
      out_.append(attribute.value).append(1, '\0');
    }
    content(node, preserve);
    out_ += 'Z';
    bindings_.resize(bound);
  }

  // The children, text joined across comments and instructions; `payload`
  // for the envelope's.
  void content(const pugi::xml_node& node, bool preserve,
               bool payload = false) {
    bool holdsElement = false;
    bool holdsText = false;
    std::string run;
    for (pugi::xml_node child = node.first_child(); child;
         child = child.next_sibling()) {
      if (child.type() == pugi::node_element) {
        holdsElement = true;
        holdsText = holdsText || !isBlank(run);
        run.clear();
      } else if (isText(child)) {
        run += child.value();
      }
    }
    holdsText = holdsText || !isBlank(run);
    const bool layoutGoes = holdsElement && !holdsText && !preserve;
    run.clear();
    bool inRun = false;
    const auto endRun = [&] {
      if (inRun && !(layoutGoes && isBlank(run))) {
        out_ += 'T';
        out_.append(run).append(1, '\0');
      }
      run.clear();
      inRun = false;
    };
    for (pugi::xml_node child = node.first_child(); child;
         child = child.next_sibling()) {
      if (isText(child)) {
        run += child.value();
        inRun = true;
      } else if (child.type() == pugi::node_element) {
        endRun();
        element(child, preserve,
                payload && std::string_view(child.name()) == "transaction");
      }
    }
    endRun();
  }

 private:
  void name(std::string_view qualified, bool element) {
    const auto [uri, local] = resolve(qualified, element);
    out_.append(uri).append(1, '\0');
    out_.append(local).append(1, '\0');
  }

  // A name's namespace and local name; an element without a prefix is in
  // the default namespace, an attribute in none.
  std::pair<std::string_view, std::string_view> resolve(
      std::string_view qualified, bool element) const {
    const std::size_t colon = qualified.find(':');
    const std::string_view prefix = colon == std::string_view::npos
                                        ? std::string_view()
                                        : qualified.substr(0, colon);
    const std::string_view local = colon == std::string_view::npos
                                       ? qualified
                                       : qualified.substr(colon + 1);
    if (prefix.empty() && !element) return {{}, local};
    if (prefix == "xml") return {kXmlNamespace, local};
    for (auto it = bindings_.rbegin(); it != bindings_.rend(); ++it) {
      if (it->first == prefix) return {it->second, local};
    }
    return {{}, prefix.empty() ? local : qualified};
  }

  std::string& out_;
  std::vector<std::pair<std::string, std::string>> bindings_;
};

}  // namespace

std::string canonicalPayload(const TOVIDOM_Document& envelope) {
  std::string out;
  const XmlDocumentData* data = XmlAccess::data(envelope);
  if (data == nullptr) return out;
  pugi::xml_node root = firstVisibleChild(*data, data->document);
  while (root && root.type() != pugi::node_element) {
    root = nextVisibleSibling(*data, root);
  }
  if (!root) return out;
  Canonical(out).content(root, false, true);
  return out;
}

}  // namespace platform
