#include <algorithm>
#include <limits>

#include "baseline/answer_evaluation.h"
#include "platform/core/tov_exception.h"
#include "platform/xml/xml_xpath.h"

using platform::XmlNodeRef;
using platform::XmlNormalForm;

namespace {

constexpr std::string_view kSchemaInstance =
    "http://www.w3.org/2001/XMLSchema-instance";

void removeSubtreeContent(XmlNormalForm& form, std::uint32_t element) {
  XmlNormalForm::Node& node = form.nodes[element];
  for (std::uint32_t i = element + 1; i < node.end; ++i) {
    form.nodes[i].flags |= XmlNormalForm::kRemoved;
  }
  for (std::uint32_t a = node.attributes; a < node.attributesEnd; ++a) {
    form.attributes[a].flags |= XmlNormalForm::kRemoved;
  }
}

void ignore(XmlNormalForm& form, const XmlNodeRef& ref) {
  if (ref.isAttribute()) {
    form.attributes[ref.attribute].flags |= XmlNormalForm::kRemoved;
  } else {
    form.nodes[ref.node].flags |= XmlNormalForm::kRemoved;
  }
}

void mask(XmlNormalForm& form, const XmlNodeRef& ref) {
  if (ref.isAttribute()) {
    form.attributes[ref.attribute].flags |= XmlNormalForm::kMasked;
    return;
  }
  XmlNormalForm::Node& node = form.nodes[ref.node];
  node.flags |= XmlNormalForm::kMasked;
  if (node.kind == XmlNormalForm::Kind::kElement) {
    removeSubtreeContent(form, ref.node);
  }
}

void resolve(XmlNormalForm& form, platform::XmlNameTable& names,
             const XmlNodeRef& ref) {
  XmlNormalForm::Node& node = form.nodes[ref.node];
  if (ref.isAttribute()) {
    XmlNormalForm::Attribute& attribute = form.attributes[ref.attribute];
    form.setValue(attribute, normalQName(form, names, node.scope,
                                         std::string(form.value(attribute))));
    return;
  }
  if (node.kind != XmlNormalForm::Kind::kElement) return;
  for (std::uint32_t child = ref.node + 1; child < node.end;
       child = form.nodes[child].end) {
    XmlNormalForm::Node& text = form.nodes[child];
    if (text.kind != XmlNormalForm::Kind::kText) continue;
    form.setValue(text, normalQName(form, names, node.scope,
                                    std::string(form.value(text))));
  }
}

// xsi:type names a type: its prefix is whatever the answer declared.
void resolveSchemaTypes(XmlNormalForm& form, platform::XmlNameTable& names) {
  const std::uint32_t type = names.find(kSchemaInstance, "type");
  if (type == 0) return;
  for (std::uint32_t i = 0; i < form.nodes.size(); ++i) {
    const XmlNormalForm::Node& node = form.nodes[i];
    for (std::uint32_t a = node.attributes; a < node.attributesEnd; ++a) {
      if (form.attributes[a].name == type) resolve(form, names, {i, a});
    }
  }
}

}  // namespace

void applyRules(const ComparisonRules& rules, platform::XmlNameTable& names,
                XmlNormalForm& form, std::vector<char>& matched) {
  resolveSchemaTypes(form, names);
  if (rules.empty()) return;
  using Kind = ComparisonRules::Kind;
  const auto& all = rules.rules();
  if (all.size() >= std::numeric_limits<std::uint16_t>::max()) {
    throw new TOVException("More rules than a comparison takes");
  }
  matched.resize(all.size(), 0);
  {
    platform::XmlXPathView view(form, names, rules.reach());
    for (const Kind kind :
         {Kind::kIgnore, Kind::kMask, Kind::kUnordered, Kind::kQName}) {
      for (std::size_t r = 0; r < all.size(); ++r) {
        if (all[r].kind != kind) continue;
        std::vector<XmlNodeRef> hits = view.select(all[r].xpath);
        if (kind == Kind::kIgnore) {
          // The document and its root stay: ignoring them would leave
          // nothing to compare.
          const auto root = std::remove_if(
              hits.begin(), hits.end(), [](const XmlNodeRef& ref) {
                return !ref.isAttribute() && ref.node <= 1;
              });
          if (root != hits.end()) matched[r] = 2;
          hits.erase(root, hits.end());
        }
        if (!hits.empty()) matched[r] |= 1;
        for (const XmlNodeRef& ref : hits) {
          switch (kind) {
            case Kind::kIgnore:
              ignore(form, ref);
              break;
            case Kind::kMask:
              mask(form, ref);
              break;
            case Kind::kUnordered:
              if (!ref.isAttribute() &&
                  form.nodes[ref.node].kind == XmlNormalForm::Kind::kElement) {
                form.nodes[ref.node].unordered =
                    static_cast<std::uint16_t>(r + 1);
              }
              break;
            case Kind::kQName:
              resolve(form, names, ref);
              break;
          }
        }
        // Later rules see what earlier ones left.
        if (kind == Kind::kIgnore) view.removeSelected();
        if (kind == Kind::kMask) view.maskSelected();
      }
    }
  }
  form.compact();
}
