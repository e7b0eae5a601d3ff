// Two normal forms compared: hashes tell equal subtrees at once, so only the
// parts that differ are walked, without recursion.

#include "baseline/tree_comparison.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <tuple>
#include <unordered_map>

#include "baseline/difference_text.h"
#include "baseline/fnv1a.h"
#include "baseline/sibling_alignment.h"
#include "platform/xml/xml_text_check.h"

using platform::XmlNormalForm;

namespace {

constexpr std::uint32_t kTextKey = 0xFFFFFFFFu;
constexpr std::size_t kIdentityWidth = 40;

struct Side {
  const XmlNormalForm& form;
  const std::vector<std::uint64_t>& hashes;

  std::uint32_t keyOf(std::uint32_t node) const {
    const XmlNormalForm::Node& n = form.nodes[node];
    return n.kind == XmlNormalForm::Kind::kText ? kTextKey : n.name;
  }
  std::vector<std::uint32_t> children(std::uint32_t parent) const {
    std::vector<std::uint32_t> found;
    for (std::uint32_t child = parent + 1; child < form.nodes[parent].end;
         child = form.nodes[child].end) {
      found.push_back(child);
    }
    return found;
  }
  std::string_view value(const XmlNormalForm::Attribute& attribute) const {
    return (attribute.flags & XmlNormalForm::kMasked) != 0
               ? platform::kMaskedValue
               : form.value(attribute);
  }
  std::string_view text(std::uint32_t node) const {
    const XmlNormalForm::Node& n = form.nodes[node];
    return (n.flags & XmlNormalForm::kMasked) != 0 ? platform::kMaskedValue
                                                   : form.value(n);
  }
};

// How the children of one element are named in places: by position among
// their name, or by an identifying attribute unique among them. Costs a few
// words a child, whatever the values.
class ChildNames {
 public:
  ChildNames(const Side& side, const std::vector<std::uint32_t>& children,
             std::uint32_t idName, std::uint32_t nameName)
      : side_(side), children_(children) {
    std::unordered_map<std::uint32_t, std::size_t> seen;
    std::vector<std::uint64_t> identities;
    for (const std::uint32_t child : children) {
      const std::uint32_t key = side.keyOf(child);
      positions_.push_back(static_cast<std::uint32_t>(++seen[key]));
      const XmlNormalForm::Attribute* attribute = nullptr;
      if (key != kTextKey) {
        const XmlNormalForm::Node& node = side.form.nodes[child];
        for (const std::uint32_t name : {idName, nameName}) {
          attribute = name == 0 ? nullptr : side.form.attribute(node, name);
          if (attribute != nullptr &&
              (attribute->flags & XmlNormalForm::kMasked) == 0) {
            break;
          }
          attribute = nullptr;
        }
      }
      identity_.push_back(attribute);
      hashes_.push_back(attribute == nullptr ? 0
                                             : identityHash(key, *attribute));
      if (attribute != nullptr) identities.push_back(hashes_.back());
    }
    counts_ = seen;
    std::sort(identities.begin(), identities.end());
    for (std::size_t i = 0; i < children.size(); ++i) {
      const auto [first, last] =
          std::equal_range(identities.begin(), identities.end(), hashes_[i]);
      unique_.push_back(identity_[i] != nullptr && last - first == 1);
    }
  }

  // Index `i` among the children.
  std::size_t position(std::size_t i) const { return positions_[i]; }
  std::string_view identity(std::size_t i) const {
    return identity_[i] == nullptr ? std::string_view()
                                   : side_.form.value(*identity_[i]);
  }
  bool hasIdentity(std::size_t i) const { return unique_[i] != 0; }

  std::string label(std::size_t i, const platform::XmlNameTable& names,
                    bool atRoot) const {
    const std::uint32_t child = children_[i];
    const std::uint32_t key = side_.keyOf(child);
    if (key == kTextKey) {
      return counts_.at(key) > 1
                 ? "text()[" + std::to_string(positions_[i]) + "]"
                 : std::string("text()");
    }
    std::string label = names.shown(key);
    if (atRoot) return label;
    if (unique_[i] != 0) {
      return label + "[@" + names.shown(identity_[i]->name) + "=" +
             shownValue(identity(i), kIdentityWidth) + "]";
    }
    return label + "[" + std::to_string(positions_[i]) + "]";
  }

 private:
  // Of the child's name and its identifying value; two alike are never
  // both unique (a clash of hashes only names them by position).
  std::uint64_t identityHash(std::uint32_t key,
                             const XmlNormalForm::Attribute& attribute) const {
    Fnv1a hash(Fnv1a::kOffset ^ key);
    hash.add(side_.form.value(attribute));
    return hash.value() | 1;
  }

  const Side& side_;
  const std::vector<std::uint32_t>& children_;
  std::vector<std::uint32_t> positions_;
  std::vector<const XmlNormalForm::Attribute*> identity_;
  std::vector<std::uint64_t> hashes_;
  std::vector<char> unique_;
  std::unordered_map<std::uint32_t, std::size_t> counts_;
};

class Comparer {
 public:
  Comparer(const ComparedForm& answer, const ComparedForm& baseline,
           const platform::XmlNameTable& names, const ComparisonRules& rules,
           std::size_t cap, TreeComparison& out)
      : a_{answer.form, answer.hashes},
        b_{baseline.form, baseline.hashes},
        names_(names),
        rules_(rules),
        cap_(cap),
        out_(out),
        idName_(names.find("id")),
        nameName_(names.find("name")) {}

  void run() {
    segments_.push_back({0, std::string()});
    compareChildren(0, 0, 0);
    while (!work_.empty()) {
      const Work work = work_.back();
      work_.pop_back();
      switch (work.step) {
        case Step::kAdded:
          report(Difference::Kind::kAdded, work.segment);
          break;
        case Step::kMissing:
          report(Difference::Kind::kMissing, work.segment);
          break;
        case Step::kMoved: {
          Difference moved;
          moved.kind = Difference::Kind::kMoved;
          moved.from = work.from;
          moved.to = work.to;
          report(std::move(moved), work.segment);
          comparePair(work.answer, work.baseline, work.segment);
          break;
        }
        default:
          comparePair(work.answer, work.baseline, work.segment);
      }
    }
  }

 private:
  struct Work {
    Step step;
    std::uint32_t answer;
    std::uint32_t baseline;
    std::size_t segment;
    std::size_t from;
    std::size_t to;
  };
  struct Segment {
    std::size_t parent;
    std::string label;
  };

  void report(Difference::Kind kind, std::size_t segment,
              const std::string& tail = std::string(),
              std::string_view answer = {}, std::string_view baseline = {}) {
    if (out_.differences.size() >= cap_) {
      ++out_.count;
      return;
    }
    Difference difference;
    difference.kind = kind;
    difference.answer = Difference::head(answer);
    difference.baseline = Difference::head(baseline);
    report(std::move(difference), segment, tail);
  }
  void report(Difference difference, std::size_t segment,
              const std::string& tail = std::string()) {
    ++out_.count;
    if (out_.differences.size() >= cap_) return;
    difference.place = pathOf(segment) + tail;
    out_.differences.push_back(std::move(difference));
  }

  std::string pathOf(std::size_t segment) const {
    std::vector<const std::string*> chain;
    for (; segment != 0; segment = segments_[segment].parent) {
      chain.push_back(&segments_[segment].label);
    }
    std::string path;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
      path += '/';
      path += **it;
    }
    return path.empty() ? "/" : path;
  }

  void comparePair(std::uint32_t a, std::uint32_t b, std::size_t segment) {
    if (a_.hashes[a] == b_.hashes[b]) return;
    if (a_.form.nodes[a].kind == XmlNormalForm::Kind::kText) {
      report(Difference::Kind::kValue, segment, "", a_.text(a), b_.text(b));
      return;
    }
    compareAttributes(a_.form.nodes[a], b_.form.nodes[b], segment);
    compareChildren(a, b, segment);
  }

  void compareAttributes(const XmlNormalForm::Node& answer,
                         const XmlNormalForm::Node& baseline,
                         std::size_t segment) {
    std::uint32_t i = answer.attributes;
    std::uint32_t j = baseline.attributes;
    while (i < answer.attributesEnd || j < baseline.attributesEnd) {
      const XmlNormalForm::Attribute* x =
          i < answer.attributesEnd ? &a_.form.attributes[i] : nullptr;
      const XmlNormalForm::Attribute* y =
          j < baseline.attributesEnd ? &b_.form.attributes[j] : nullptr;
      const int order =
          x == nullptr   ? 1
          : y == nullptr ? -1
                         : names_.shown(x->name).compare(names_.shown(y->name));
      if (order < 0) {
        report(Difference::Kind::kAdded, segment, "/@" + names_.shown(x->name));
        ++i;
      } else if (order > 0) {
        report(Difference::Kind::kMissing, segment,
               "/@" + names_.shown(y->name));
        ++j;
      } else {
        if (a_.value(*x) != b_.value(*y)) {
          report(Difference::Kind::kValue, segment,
                 "/@" + names_.shown(x->name), a_.value(*x), b_.value(*y));
        }
        ++i;
        ++j;
      }
    }
  }

  std::uint32_t byName(std::uint16_t rule) const {
    const std::string& by = rules_.rules()[rule - 1u].by;
    return by.empty() ? 0 : names_.find(by);
  }

  void compareChildren(std::uint32_t a, std::uint32_t b, std::size_t segment) {
    const std::vector<std::uint32_t> mine = a_.children(a);
    const std::vector<std::uint32_t> theirs = b_.children(b);
    const ChildNames myNames(a_, mine, idName_, nameName_);
    const ChildNames theirNames(b_, theirs, idName_, nameName_);
    const std::uint16_t unordered = a_.form.nodes[a].unordered != 0
                                        ? a_.form.nodes[a].unordered
                                        : b_.form.nodes[b].unordered;
    SiblingSides sides{mine,
                       theirs,
                       a_.hashes,
                       b_.hashes,
                       [&](std::size_t i) { return a_.keyOf(mine[i]); },
                       [&](std::size_t j) { return b_.keyOf(theirs[j]); },
                       [&](std::size_t i) {
                         return myNames.hasIdentity(i) ? myNames.identity(i)
                                                       : std::string_view();
                       },
                       [&](std::size_t j) {
                         return theirNames.hasIdentity(j)
                                    ? theirNames.identity(j)
                                    : std::string_view();
                       }};
    std::vector<SiblingAction> actions;
    bool reordered = false;
    if (unordered != 0) {
      const std::uint32_t by = byName(unordered);
      pairAsSet(
          sides,
          [&](bool answer, std::size_t i) -> std::string_view {
            const Side& side = answer ? a_ : b_;
            const std::uint32_t node = answer ? mine[i] : theirs[i];
            const XmlNormalForm::Attribute* attribute =
                by == 0 || side.keyOf(node) == kTextKey
                    ? nullptr
                    : side.form.attribute(side.form.nodes[node], by);
            return attribute == nullptr ? std::string_view("\x01", 1)
                                        : side.value(*attribute);
          },
          actions);
    } else {
      reordered = alignSiblings(sides, actions);
    }
    if (reordered) {
      report(Difference::Kind::kOrder, segment, "", childKeys(a_, mine),
             childKeys(b_, theirs));
    }
    // Pushed last first, so that the first is compared first.
    // Once the list is full, differences are only counted: their places
    // are never written, nor kept.
    const bool naming = out_.differences.size() < cap_;
    for (auto it = actions.rbegin(); it != actions.rend(); ++it) {
      if (it->step == Step::kEqual) continue;
      const bool inAnswer = it->answer != kNoSibling;
      if (naming) {
        segments_.push_back(
            {segment, inAnswer
                          ? myNames.label(it->answer, names_, a == 0)
                          : theirNames.label(it->baseline, names_, a == 0)});
      }
      work_.push_back(
          {it->step, inAnswer ? mine[it->answer] : 0,
           it->baseline != kNoSibling ? theirs[it->baseline] : 0,
           naming ? segments_.size() - 1 : 0,
           it->baseline != kNoSibling ? theirNames.position(it->baseline) : 0,
           inAnswer ? myNames.position(it->answer) : 0});
    }
  }

  std::string childKeys(const Side& side,
                        const std::vector<std::uint32_t>& children) const {
    std::string keys;
    for (const std::uint32_t child : children) {
      if (!keys.empty()) keys += ", ";
      const std::uint32_t key = side.keyOf(child);
      keys += key == kTextKey ? std::string("text()") : names_.shown(key);
    }
    return keys;
  }

  Side a_;
  Side b_;
  const platform::XmlNameTable& names_;
  const ComparisonRules& rules_;
  std::size_t cap_;
  TreeComparison& out_;
  std::uint32_t idName_;
  std::uint32_t nameName_;
  std::vector<Segment> segments_;
  std::vector<Work> work_;
};

}  // namespace

void compareForms(const ComparedForm& answer, const ComparedForm& baseline,
                  const platform::XmlNameTable& names,
                  const ComparisonRules& rules, std::size_t cap,
                  TreeComparison& out) {
  if (answer.hashes.empty() || baseline.hashes.empty() ||
      answer.hashes[0] == baseline.hashes[0]) {
    return;
  }
  Comparer(answer, baseline, names, rules, cap, out).run();
}
