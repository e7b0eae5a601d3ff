// Comparing two answers' normal forms: hashes tell equal subtrees at once,
// so only the parts that differ are walked, without recursion.

#include "platform/xml/xml_answer_tree.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <tuple>
#include <unordered_map>

#include "platform/xml/xml_text_check.h"

namespace platform {

namespace {

constexpr std::size_t kValueWidth = 80;
constexpr std::size_t kLineWidth = 160;
// Beyond this many pairs of siblings, changed runs are paired in order
// rather than by their longest common part.
constexpr std::size_t kMostAlignedCells = 1 << 18;

class Hasher {
 public:
  void bytes(const char* data, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
      hash_ = (hash_ ^ static_cast<unsigned char>(data[i])) * 0x100000001b3ULL;
    }
  }
  void text(const char* data) { bytes(data, std::strlen(data) + 1); }
  void number(std::uint64_t value) {
    for (int i = 0; i < 8; ++i, value >>= 8) {
      hash_ = (hash_ ^ (value & 0xFF)) * 0x100000001b3ULL;
    }
  }
  std::uint64_t done() const {
    std::uint64_t h = hash_;  // spread every bit over the whole word
    h = (h ^ (h >> 33)) * 0xff51afd7ed558ccdULL;
    h = (h ^ (h >> 33)) * 0xc4ceb9fe1a85ec53ULL;
    return h ^ (h >> 33);
  }

 private:
  std::uint64_t hash_ = 0xcbf29ce484222325ULL;
};

}  // namespace

void hashNodes(FlatTree& tree) {
  std::vector<std::uint64_t> set;
  for (std::size_t i = tree.nodes.size(); i-- > 0;) {
    FlatTree::Node& node = tree.nodes[i];
    Hasher hasher;
    hasher.number(static_cast<std::uint64_t>(node.kind));
    if (node.kind == FlatTree::Kind::kText) hasher.text(node.value);
    if (node.kind != FlatTree::Kind::kElement) {
      node.hash = hasher.done();
      continue;
    }
    hasher.text(node.name);
    for (std::size_t a = node.attributes; a < node.attributesEnd; ++a) {
      hasher.text(tree.attributes[a].name);
      hasher.text(tree.attributes[a].value);
    }
    hasher.number(node.childrenEnd - node.children);
    if (node.unorderedBy == nullptr) {
      for (std::size_t c = node.children; c < node.childrenEnd; ++c) {
        hasher.number(tree.nodes[c].hash);
      }
    } else {
      set.clear();
      for (std::size_t c = node.children; c < node.childrenEnd; ++c) {
        set.push_back(tree.nodes[c].hash);
      }
      std::sort(set.begin(), set.end());
      for (const std::uint64_t hash : set) hasher.number(hash);
    }
    node.hash = hasher.done();
  }
}

namespace {

std::string shownValue(const char* value) {
  if (std::strcmp(value, kMaskedValue) == 0) return "(masked)";
  return shownText(value, kValueWidth, true);
}

// What names a child among its siblings in a path and in pairing.
std::string_view keyOf(const FlatTree::Node& node) {
  switch (node.kind) {
    case FlatTree::Kind::kText:
      return "text()";
    case FlatTree::Kind::kMasked:
      return "(masked)";
    default:
      return node.name;
  }
}

// Walks the pairs of nodes whose hashes differ, depth first, and reports
// what differs in document order.
class AnswerComparer {
 public:
  AnswerComparer(const FlatTree& answer, const FlatTree& baseline,
                 std::size_t cap, XmlComparison& out)
      : a_(answer), b_(baseline), cap_(cap), out_(out) {}

  void run() {
    segments_.push_back({0, "", 0});
    compareChildren(0, 0, 0);
    while (!work_.empty()) {
      const Work work = work_.back();
      work_.pop_back();
      if (work.step == Step::kAdded) {
        report(work.segment, "", [] { return "is not in the baseline"; });
      } else if (work.step == Step::kMissing) {
        report(work.segment, "",
               [] { return "is missing (the baseline has it)"; });
      } else {
        comparePair(work.answer, work.baseline, work.segment);
      }
    }
  }

 private:
  enum class Step { kEqual, kPair, kAdded, kMissing };
  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

  struct Work {
    Step step;
    std::size_t answer;
    std::size_t baseline;
    std::size_t segment;
  };
  struct Segment {
    std::size_t parent;
    std::string_view name;
    std::size_t position;  // 0: not shown
  };
  // A step for one child, with its place in the answer's order.
  struct Action {
    Step step;
    std::size_t answer;  // index among the answer's children, or kNone
    std::size_t baseline;
    std::size_t order;
  };

  template <typename Describe>
  void report(std::size_t segment, const std::string& tail, Describe describe) {
    ++out_.count;
    if (out_.differences.size() >= cap_) return;
    out_.differences.push_back({pathOf(segment) + tail, describe()});
  }

  std::string pathOf(std::size_t segment) const {
    std::vector<const Segment*> chain;
    for (; segment != 0; segment = segments_[segment].parent) {
      chain.push_back(&segments_[segment]);
    }
    std::string path;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
      path += '/';
      path += (*it)->name;
      if ((*it)->position != 0) {
        path += '[' + std::to_string((*it)->position) + ']';
      }
    }
    return path.empty() ? "/" : path;
  }

  void comparePair(std::size_t a, std::size_t b, std::size_t segment) {
    const FlatTree::Node& answer = a_.nodes[a];
    const FlatTree::Node& baseline = b_.nodes[b];
    if (answer.hash == baseline.hash) return;
    if (answer.kind == FlatTree::Kind::kText) {
      report(segment, "", [&] {
        return "is " + shownValue(answer.value) + " where the baseline has " +
               shownValue(baseline.value);
      });
      return;
    }
    compareAttributes(answer, baseline, segment);
    compareChildren(a, b, segment);
  }

  void compareAttributes(const FlatTree::Node& answer,
                         const FlatTree::Node& baseline, std::size_t segment) {
    std::size_t i = answer.attributes;
    std::size_t j = baseline.attributes;
    while (i < answer.attributesEnd || j < baseline.attributesEnd) {
      const FlatTree::Attribute* x =
          i < answer.attributesEnd ? &a_.attributes[i] : nullptr;
      const FlatTree::Attribute* y =
          j < baseline.attributesEnd ? &b_.attributes[j] : nullptr;
      const int order = x == nullptr   ? 1
                        : y == nullptr ? -1
                                       : std::strcmp(x->name, y->name);
      if (order < 0) {
        report(segment, std::string("/@") + x->name,
               [] { return "is not in the baseline"; });
        ++i;
      } else if (order > 0) {
        report(segment, std::string("/@") + y->name,
               [] { return "is missing (the baseline has it)"; });
        ++j;
      } else {
        if (std::strcmp(x->value, y->value) != 0) {
          report(segment, std::string("/@") + x->name, [&] {
            return "is " + shownValue(x->value) + " where the baseline has " +
                   shownValue(y->value);
          });
        }
        ++i;
        ++j;
      }
    }
  }

  // Positions among same-named siblings, and how many share each name.
  static void positionsOf(
      const FlatTree& tree, const FlatTree::Node& parent,
      std::vector<std::size_t>& positions,
      std::unordered_map<std::string_view, std::size_t>& counts) {
    positions.clear();
    for (std::size_t c = parent.children; c < parent.childrenEnd; ++c) {
      positions.push_back(++counts[keyOf(tree.nodes[c])]);
    }
  }

  void compareChildren(std::size_t a, std::size_t b, std::size_t segment) {
    const FlatTree::Node& answer = a_.nodes[a];
    const FlatTree::Node& baseline = b_.nodes[b];
    std::vector<Action> actions;
    const std::string* by = answer.unorderedBy != nullptr
                                ? answer.unorderedBy
                                : baseline.unorderedBy;
    if (by != nullptr) {
      pairAsSet(answer, baseline, *by, actions);
    } else {
      pairInOrder(answer, baseline, segment, actions);
      placeMissing(baseline.childrenEnd - baseline.children, actions);
    }
    std::sort(
        actions.begin(), actions.end(), [](const Action& x, const Action& y) {
          return std::make_tuple(x.order, x.step != Step::kMissing,
                                 x.baseline) <
                 std::make_tuple(y.order, y.step != Step::kMissing, y.baseline);
        });
    std::vector<std::size_t> answerPositions;
    std::vector<std::size_t> baselinePositions;
    std::unordered_map<std::string_view, std::size_t> answerCounts;
    std::unordered_map<std::string_view, std::size_t> baselineCounts;
    positionsOf(a_, answer, answerPositions, answerCounts);
    positionsOf(b_, baseline, baselinePositions, baselineCounts);
    // Pushed last first, so that the first is compared first.
    for (auto it = actions.rbegin(); it != actions.rend(); ++it) {
      if (it->step == Step::kEqual) continue;
      const bool inAnswer = it->answer != kNone;
      const FlatTree::Node& node =
          inAnswer ? a_.nodes[answer.children + it->answer]
                   : b_.nodes[baseline.children + it->baseline];
      const std::string_view key = keyOf(node);
      std::size_t position = inAnswer ? answerPositions[it->answer]
                                      : baselinePositions[it->baseline];
      const bool alone = answerCounts[key] <= 1 && baselineCounts[key] <= 1;
      if (a == 0 || (node.kind != FlatTree::Kind::kElement && alone)) {
        position = 0;
      }
      segments_.push_back({segment, key, position});
      work_.push_back(
          {it->step, inAnswer ? answer.children + it->answer : kNone,
           it->baseline != kNone ? baseline.children + it->baseline : kNone,
           segments_.size() - 1});
    }
  }

  // What the answer lacks is told before the answer's child that follows
  // it in the baseline.
  static void placeMissing(std::size_t count, std::vector<Action>& actions) {
    std::vector<std::size_t> answerOf(count, kNone);
    for (const Action& action : actions) {
      if (action.answer != kNone && action.baseline != kNone) {
        answerOf[action.baseline] = action.answer;
      }
    }
    std::vector<std::size_t> following(count, kNone);
    std::size_t next = kNone;
    for (std::size_t j = count; j-- > 0;) {
      following[j] = next;
      if (answerOf[j] != kNone) next = std::min(next, answerOf[j]);
    }
    for (Action& action : actions) {
      if (action.step == Step::kMissing)
        action.order = following[action.baseline];
    }
  }

  // Children of the same name are aligned by their longest run of equal
  // ones; what lies between is paired in order, and the rest is added or
  // missing. Children of other names may come in another order.
  void pairInOrder(const FlatTree::Node& answer, const FlatTree::Node& baseline,
                   std::size_t segment, std::vector<Action>& actions) {
    std::vector<std::string_view> keys;
    std::unordered_map<std::string_view, std::pair<std::vector<std::size_t>,
                                                   std::vector<std::size_t>>>
        groups;
    for (std::size_t c = answer.children; c < answer.childrenEnd; ++c) {
      auto& group = groups[keyOf(a_.nodes[c])];
      if (group.first.empty()) keys.push_back(keyOf(a_.nodes[c]));
      group.first.push_back(c - answer.children);
    }
    for (std::size_t c = baseline.children; c < baseline.childrenEnd; ++c) {
      auto& group = groups[keyOf(b_.nodes[c])];
      if (group.first.empty() && group.second.empty()) {
        keys.push_back(keyOf(b_.nodes[c]));
      }
      group.second.push_back(c - baseline.children);
    }
    bool addedOrMissing = false;
    for (const std::string_view key : keys) {
      const auto& [mine, theirs] = groups[key];
      align(answer, baseline, mine, theirs, actions, addedOrMissing);
    }
    if (addedOrMissing || keys.size() < 2) return;
    std::string answerOrder = childNames(a_, answer);
    std::string baselineOrder = childNames(b_, baseline);
    if (answerOrder != baselineOrder) {
      report(segment, "", [&] {
        return "has its children in another order: " +
               shownText(answerOrder, kValueWidth, true) +
               " where the baseline has " +
               shownText(baselineOrder, kValueWidth, true);
      });
    }
  }

  static std::string childNames(const FlatTree& tree,
                                const FlatTree::Node& parent) {
    std::string names;
    for (std::size_t c = parent.children; c < parent.childrenEnd; ++c) {
      if (!names.empty()) names += ", ";
      names += keyOf(tree.nodes[c]);
    }
    return names;
  }

  void align(const FlatTree::Node& answer, const FlatTree::Node& baseline,
             const std::vector<std::size_t>& mine,
             const std::vector<std::size_t>& theirs,
             std::vector<Action>& actions, bool& addedOrMissing) {
    const auto hashA = [&](std::size_t i) {
      return a_.nodes[answer.children + mine[i]].hash;
    };
    const auto hashB = [&](std::size_t j) {
      return b_.nodes[baseline.children + theirs[j]].hash;
    };
    std::size_t head = 0;
    while (head < mine.size() && head < theirs.size() &&
           hashA(head) == hashB(head)) {
      ++head;
    }
    std::size_t tail = 0;
    while (tail < mine.size() - head && tail < theirs.size() - head &&
           hashA(mine.size() - 1 - tail) == hashB(theirs.size() - 1 - tail)) {
      ++tail;
    }
    for (std::size_t k = 0; k < head; ++k) {
      actions.push_back({Step::kEqual, mine[k], theirs[k], mine[k]});
    }
    for (std::size_t k = 1; k <= tail; ++k) {
      const std::size_t i = mine.size() - k;
      actions.push_back(
          {Step::kEqual, mine[i], theirs[theirs.size() - k], mine[i]});
    }
    const std::size_t m = mine.size() - head - tail;
    const std::size_t n = theirs.size() - head - tail;
    // Equal ones in the middle, as pairs of indices.
    std::vector<std::pair<std::size_t, std::size_t>> equal;
    if (m > 0 && n > 0 && m * n <= kMostAlignedCells) {
      std::vector<std::uint32_t> lengths((m + 1) * (n + 1), 0);
      const auto at = [&](std::size_t i, std::size_t j) -> std::uint32_t& {
        return lengths[i * (n + 1) + j];
      };
      for (std::size_t i = m; i-- > 0;) {
        for (std::size_t j = n; j-- > 0;) {
          at(i, j) = hashA(head + i) == hashB(head + j)
                         ? at(i + 1, j + 1) + 1
                         : std::max(at(i + 1, j), at(i, j + 1));
        }
      }
      for (std::size_t i = 0, j = 0; i < m && j < n;) {
        if (hashA(head + i) == hashB(head + j)) {
          equal.emplace_back(head + i++, head + j++);
        } else if (at(i + 1, j) >= at(i, j + 1)) {
          ++i;
        } else {
          ++j;
        }
      }
    }
    equal.emplace_back(mine.size() - tail, theirs.size() - tail);
    // Between two equal ones: pairs, then what only one side has.
    std::size_t i = head;
    std::size_t j = head;
    for (const auto& [nextI, nextJ] : equal) {
      for (; i < nextI && j < nextJ; ++i, ++j) {
        actions.push_back({Step::kPair, mine[i], theirs[j], mine[i]});
      }
      for (; i < nextI; ++i) {
        actions.push_back({Step::kAdded, mine[i], kNone, mine[i]});
        addedOrMissing = true;
      }
      for (; j < nextJ; ++j) {
        actions.push_back({Step::kMissing, kNone, theirs[j], kNone});
        addedOrMissing = true;
      }
      if (nextI < mine.size() - tail) {
        actions.push_back(
            {Step::kEqual, mine[nextI], theirs[nextJ], mine[nextI]});
      }
      i = nextI + 1;
      j = nextJ + 1;
    }
  }

  // Children as a set: paired by the attribute `by` where they have it,
  // otherwise by their whole content.
  void pairAsSet(const FlatTree::Node& answer, const FlatTree::Node& baseline,
                 const std::string& by, std::vector<Action>& actions) {
    std::unordered_map<std::string, std::vector<std::size_t>> byKey;
    std::unordered_map<std::uint64_t, std::vector<std::size_t>> byHash;
    const auto keyed = [&](const FlatTree& tree, const FlatTree::Node& node,
                           std::string& key) {
      const char* value = by.empty() || node.kind != FlatTree::Kind::kElement
                              ? nullptr
                              : tree.attribute(node, by);
      if (value == nullptr) return false;
      key.assign(node.name).append(1, '\0').append(value);
      return true;
    };
    std::string key;
    // Later ones first, so that the earliest is taken from the back.
    for (std::size_t c = baseline.childrenEnd; c-- > baseline.children;) {
      const FlatTree::Node& node = b_.nodes[c];
      if (keyed(b_, node, key)) {
        byKey[key].push_back(c - baseline.children);
      } else {
        byHash[node.hash].push_back(c - baseline.children);
      }
    }
    std::vector<bool> taken(baseline.childrenEnd - baseline.children, false);
    for (std::size_t c = answer.children; c < answer.childrenEnd; ++c) {
      const FlatTree::Node& node = a_.nodes[c];
      const std::size_t index = c - answer.children;
      const bool hasKey = keyed(a_, node, key);
      auto& candidates = hasKey ? byKey[key] : byHash[node.hash];
      if (candidates.empty()) {
        actions.push_back({Step::kAdded, index, kNone, index});
        continue;
      }
      const std::size_t match = candidates.back();
      candidates.pop_back();
      taken[match] = true;
      actions.push_back(
          {hasKey ? Step::kPair : Step::kEqual, index, match, index});
    }
    for (std::size_t j = 0; j < taken.size(); ++j) {
      if (!taken[j]) {
        actions.push_back({Step::kMissing, kNone, j, kNone});
      }
    }
  }

  const FlatTree& a_;
  const FlatTree& b_;
  std::size_t cap_;
  XmlComparison& out_;
  std::vector<Segment> segments_;
  std::vector<Work> work_;
};

}  // namespace

void listNodes(const FlatTree& tree, std::vector<std::string>& lines) {
  struct Open {
    std::size_t node;
    std::size_t depth;
  };
  const FlatTree::Node& document = tree.nodes[0];
  std::vector<Open> open;
  for (std::size_t c = document.childrenEnd; c-- > document.children;) {
    open.push_back({c, 0});
  }
  std::vector<std::size_t> children;
  while (!open.empty()) {
    const Open next = open.back();
    open.pop_back();
    const FlatTree::Node& node = tree.nodes[next.node];
    const std::string indent(2 * next.depth, ' ');
    if (node.kind == FlatTree::Kind::kText) {
      lines.push_back(indent + (std::strcmp(node.value, kMaskedValue) == 0
                                    ? std::string("(masked)")
                                    : shownText(node.value, kLineWidth, true)));
      continue;
    }
    if (node.kind == FlatTree::Kind::kMasked) {
      lines.push_back(indent + "(masked)");
      continue;
    }
    lines.push_back(indent + node.name);
    for (std::size_t a = node.attributes; a < node.attributesEnd; ++a) {
      const FlatTree::Attribute& attribute = tree.attributes[a];
      lines.push_back(indent + "  @" + attribute.name + "=" +
                      (std::strcmp(attribute.value, kMaskedValue) == 0
                           ? std::string("(masked)")
                           : shownText(attribute.value, kLineWidth, true)));
    }
    children.clear();
    for (std::size_t c = node.children; c < node.childrenEnd; ++c) {
      children.push_back(c);
    }
    if (node.unorderedBy != nullptr) {
      const std::string& by = *node.unorderedBy;
      const auto sortKey = [&](std::size_t c) {
        const char* value =
            by.empty() ? nullptr : tree.attribute(tree.nodes[c], by);
        return std::make_tuple(keyOf(tree.nodes[c]),
                               std::string_view(value ? value : ""),
                               tree.nodes[c].hash);
      };
      std::sort(children.begin(), children.end(),
                [&](std::size_t x, std::size_t y) {
                  return sortKey(x) < sortKey(y);
                });
    }
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
      open.push_back({*it, next.depth + 1});
    }
  }
}

void compareTrees(const FlatTree& answer, const FlatTree& baseline,
                  std::size_t cap, XmlComparison& out) {
  AnswerComparer(answer, baseline, cap, out).run();
}

}  // namespace platform
