#include "baseline/answer_listing.h"

#include <algorithm>
#include <deque>
#include <string_view>
#include <tuple>

#include "baseline/difference_text.h"

using platform::XmlNormalForm;

namespace {

constexpr std::size_t kLineWidth = 160;

}  // namespace

struct FormListing::Walk {
  const ComparedForm& side;
  const platform::XmlNameTable& names;
  struct Item {
    std::uint32_t node;
    std::uint32_t depth;
    std::uint32_t attribute;  // the next attribute to list, of an element
    bool named;               // the element's own line is out
  };
  std::vector<Item> stack;

  bool next(std::string& line) {
    const XmlNormalForm& form = side.form;
    while (!stack.empty()) {
      Item& item = stack.back();
      const XmlNormalForm::Node& node = form.nodes[item.node];
      const std::string indent(2 * item.depth, ' ');
      if (node.kind == XmlNormalForm::Kind::kText) {
        line = indent + ((node.flags & XmlNormalForm::kMasked) != 0
                             ? std::string("(masked)")
                             : shownValue(form.value(node), kLineWidth));
        stack.pop_back();
        return true;
      }
      if (!item.named) {
        item.named = true;
        item.attribute = node.attributes;
        line = indent + names.shown(node.name);
        if ((node.flags & XmlNormalForm::kMasked) != 0) line += " (masked)";
        return true;
      }
      if (item.attribute < node.attributesEnd) {
        const XmlNormalForm::Attribute& attribute =
            form.attributes[item.attribute++];
        line = indent + "  @" + names.shown(attribute.name) + "=" +
               ((attribute.flags & XmlNormalForm::kMasked) != 0
                    ? std::string("(masked)")
                    : shownValue(form.value(attribute), kLineWidth));
        return true;
      }
      const Item done = item;
      stack.pop_back();
      pushChildren(done.node, done.depth + 1);
    }
    return false;
  }

  void pushChildren(std::uint32_t parent, std::uint32_t depth) {
    const XmlNormalForm& form = side.form;
    std::vector<std::uint32_t> children;
    for (std::uint32_t child = parent + 1; child < form.nodes[parent].end;
         child = form.nodes[child].end) {
      children.push_back(child);
    }
    if (form.nodes[parent].unordered != 0) {
      const auto sortKey = [&](std::uint32_t c) {
        const XmlNormalForm::Node& node = form.nodes[c];
        return std::make_tuple(node.kind == XmlNormalForm::Kind::kText,
                               node.name, side.hashes[c]);
      };
      std::sort(children.begin(), children.end(),
                [&](std::uint32_t x, std::uint32_t y) {
                  return sortKey(x) < sortKey(y);
                });
    }
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
      stack.push_back({*it, depth, 0, false});
    }
  }
};

FormListing::FormListing(const ComparedForm& form,
                         const platform::XmlNameTable& names)
    : walk_(new Walk{form, names, {}}) {
  if (!form.form.nodes.empty()) walk_->pushChildren(0, 0);
}

FormListing::~FormListing() = default;

bool FormListing::next(std::string& line) { return walk_->next(line); }

ListingWindow listingWindow(const ComparedForm& answer,
                            const ComparedForm& baseline,
                            const platform::XmlNameTable& names,
                            std::size_t context, std::size_t most) {
  FormListing mine(answer, names);
  FormListing theirs(baseline, names);
  ListingWindow window;
  // The last `context` lines, which both sides share.
  std::deque<std::string> before;
  std::string a;
  std::string b;
  bool moreA = mine.next(a);
  bool moreB = theirs.next(b);
  std::size_t line = 0;
  while (moreA && moreB && a == b) {
    before.push_back(a);
    if (before.size() > context) before.pop_front();
    ++line;
    moreA = mine.next(a);
    moreB = theirs.next(b);
  }
  window.first = line - before.size();
  window.answer.assign(before.begin(), before.end());
  window.baseline.assign(before.begin(), before.end());
  for (; moreA && window.answer.size() < most; moreA = mine.next(a)) {
    window.answer.push_back(a);
  }
  for (; moreB && window.baseline.size() < most; moreB = theirs.next(b)) {
    window.baseline.push_back(b);
  }
  window.cut = moreA || moreB;
  return window;
}
