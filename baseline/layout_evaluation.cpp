#include <vector>

#include "baseline/answer_evaluation.h"

using platform::XmlNormalForm;

void dropLayout(XmlNormalForm& form, const platform::XmlNameTable& names) {
  const std::uint32_t space = names.find("xml:space");
  struct Open {
    std::uint32_t end;
    bool preserve;
  };
  std::vector<Open> open{{form.nodes.empty() ? 0 : form.nodes[0].end, false}};
  bool removed = false;
  const auto count = static_cast<std::uint32_t>(form.nodes.size());
  for (std::uint32_t i = 1; i < count; ++i) {
    while (open.back().end <= i) open.pop_back();
    XmlNormalForm::Node& element = form.nodes[i];
    if (element.kind != XmlNormalForm::Kind::kElement) continue;
    bool preserve = open.back().preserve;
    if (const XmlNormalForm::Attribute* attribute =
            space == 0 ? nullptr : form.attribute(element, space)) {
      if (form.value(*attribute) == "preserve") preserve = true;
      if (form.value(*attribute) == "default") preserve = false;
    }
    open.push_back({element.end, preserve});
    if (preserve) continue;
    bool holdsElement = false;
    bool holdsText = false;
    for (std::uint32_t child = i + 1; child < element.end;
         child = form.nodes[child].end) {
      const XmlNormalForm::Node& node = form.nodes[child];
      if (node.kind == XmlNormalForm::Kind::kElement) {
        holdsElement = true;
      } else if ((node.flags & XmlNormalForm::kBlank) == 0) {
        holdsText = true;
      }
    }
    if (!holdsElement || holdsText) continue;
    for (std::uint32_t child = i + 1; child < element.end;
         child = form.nodes[child].end) {
      XmlNormalForm::Node& node = form.nodes[child];
      if (node.kind == XmlNormalForm::Kind::kText) {
        node.flags |= XmlNormalForm::kRemoved;
        removed = true;
      }
    }
  }
  if (removed) form.compact();
}
