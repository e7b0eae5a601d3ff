#include "baseline/sibling_alignment.h"

#include <algorithm>
#include <string>
#include <tuple>
#include <unordered_map>
#include <utility>

namespace {

// Beyond this many pairs of siblings, the middle is not aligned by its
// longest common part.
constexpr std::size_t kMostAlignedCells = 1 << 18;

using Pairs = std::vector<std::pair<std::size_t, std::size_t>>;

class GroupAligner {
 public:
  GroupAligner(const SiblingSides& sides, const std::vector<std::size_t>& mine,
               const std::vector<std::size_t>& theirs)
      : sides_(sides),
        mine_(mine),
        theirs_(theirs),
        pairedA_(mine.size(), kNoSibling),
        pairedB_(theirs.size(), kNoSibling) {}

  // Appends the group's actions; true when anything was added, missing or
  // moved.
  bool align(std::vector<SiblingAction>& actions) {
    anchor();
    pairBy([&](std::size_t i) { return std::string(identityA(i)); },
           [&](std::size_t j) { return std::string(identityB(j)); });
    pairBy(
        [&](std::size_t i) {
          return std::to_string(hashA(i)) + (identityA(i).empty() ? "" : "#");
        },
        [&](std::size_t j) {
          return std::to_string(hashB(j)) + (identityB(j).empty() ? "" : "#");
        });
    Pairs pairs;
    for (std::size_t i = 0; i < mine_.size(); ++i) {
      if (pairedA_[i] != kNoSibling) pairs.emplace_back(i, pairedA_[i]);
    }
    const std::vector<char> inStep = inStepOf(pairs);
    bool changed = false;
    std::size_t i = 0;
    std::size_t j = 0;
    for (std::size_t p = 0; p <= pairs.size(); ++p) {
      if (p < pairs.size() && !inStep[p]) {
        const auto [x, y] = pairs[p];
        actions.push_back({Step::kMoved, mine_[x], theirs_[y], mine_[x]});
        changed = true;
        continue;
      }
      const std::size_t nextI =
          p < pairs.size() ? pairs[p].first : mine_.size();
      const std::size_t nextJ =
          p < pairs.size() ? pairs[p].second : theirs_.size();
      changed |= between(i, nextI, j, nextJ, actions);
      if (p < pairs.size()) {
        const auto [x, y] = pairs[p];
        actions.push_back({hashA(x) == hashB(y) ? Step::kEqual : Step::kPair,
                           mine_[x], theirs_[y], mine_[x]});
        i = x + 1;
        j = y + 1;
      }
    }
    return changed;
  }

 private:
  std::uint64_t hashA(std::size_t i) const {
    return sides_.answerHashes[sides_.answer[mine_[i]]];
  }
  std::uint64_t hashB(std::size_t j) const {
    return sides_.baselineHashes[sides_.baseline[theirs_[j]]];
  }
  std::string_view identityA(std::size_t i) const {
    return sides_.answerIdentity(mine_[i]);
  }
  std::string_view identityB(std::size_t j) const {
    return sides_.baselineIdentity(theirs_[j]);
  }
  void pair(std::size_t i, std::size_t j) {
    pairedA_[i] = j;
    pairedB_[j] = i;
  }

  // Equal ones at both ends, and the longest run of equal ones between.
  void anchor() {
    const std::size_t n = mine_.size();
    const std::size_t m = theirs_.size();
    std::size_t head = 0;
    while (head < n && head < m && hashA(head) == hashB(head)) {
      pair(head, head);
      ++head;
    }
    std::size_t tail = 0;
    while (tail < n - head && tail < m - head &&
           hashA(n - 1 - tail) == hashB(m - 1 - tail)) {
      pair(n - 1 - tail, m - 1 - tail);
      ++tail;
    }
    const std::size_t rows = n - head - tail;
    const std::size_t columns = m - head - tail;
    if (rows == 0 || columns == 0 || rows * columns > kMostAlignedCells) {
      return;
    }
    std::vector<std::uint32_t> lengths((rows + 1) * (columns + 1), 0);
    const auto at = [&](std::size_t r, std::size_t c) -> std::uint32_t& {
      return lengths[r * (columns + 1) + c];
    };
    for (std::size_t r = rows; r-- > 0;) {
      for (std::size_t c = columns; c-- > 0;) {
        at(r, c) = hashA(head + r) == hashB(head + c)
                       ? at(r + 1, c + 1) + 1
                       : std::max(at(r + 1, c), at(r, c + 1));
      }
    }
    for (std::size_t r = 0, c = 0; r < rows && c < columns;) {
      if (hashA(head + r) == hashB(head + c)) {
        pair(head + r++, head + c++);
      } else if (at(r + 1, c) >= at(r, c + 1)) {
        ++r;
      } else {
        ++c;
      }
    }
  }

  // Pairs the unpaired of equal keys, earliest with earliest; an empty key
  // pairs nothing.
  template <typename KeyA, typename KeyB>
  void pairBy(KeyA keyA, KeyB keyB) {
    std::unordered_map<std::string, std::vector<std::size_t>> waiting;
    for (std::size_t j = theirs_.size(); j-- > 0;) {
      if (pairedB_[j] != kNoSibling) continue;
      std::string key = keyB(j);
      if (!key.empty()) waiting[std::move(key)].push_back(j);
    }
    if (waiting.empty()) return;
    for (std::size_t i = 0; i < mine_.size(); ++i) {
      if (pairedA_[i] != kNoSibling) continue;
      const std::string key = keyA(i);
      if (key.empty()) continue;
      const auto found = waiting.find(key);
      if (found == waiting.end() || found->second.empty()) continue;
      pair(i, found->second.back());
      found->second.pop_back();
    }
  }

  // The pairs (by the answer's order) in the longest run that keeps the
  // baseline's order: the others have moved.
  static std::vector<char> inStepOf(const Pairs& pairs) {
    std::vector<std::size_t> tails;  // indices into pairs
    std::vector<std::size_t> before(pairs.size(), kNoSibling);
    for (std::size_t p = 0; p < pairs.size(); ++p) {
      const auto place = std::lower_bound(
          tails.begin(), tails.end(), pairs[p].second,
          [&](std::size_t t, std::size_t j) { return pairs[t].second < j; });
      if (place != tails.begin()) before[p] = *(place - 1);
      if (place == tails.end()) {
        tails.push_back(p);
      } else {
        *place = p;
      }
    }
    std::vector<char> inStep(pairs.size(), 0);
    for (std::size_t p = tails.empty() ? kNoSibling : tails.back();
         p != kNoSibling; p = before[p]) {
      inStep[p] = 1;
    }
    return inStep;
  }

  // The unpaired between two pairs in step: paired in order, the rest added
  // or missing.
  bool between(std::size_t i, std::size_t endI, std::size_t j, std::size_t endJ,
               std::vector<SiblingAction>& actions) {
    std::vector<std::size_t> onlyA;
    std::vector<std::size_t> onlyB;
    for (; i < endI; ++i) {
      if (pairedA_[i] == kNoSibling) onlyA.push_back(i);
    }
    for (; j < endJ; ++j) {
      if (pairedB_[j] == kNoSibling) onlyB.push_back(j);
    }
    bool changed = false;
    std::size_t k = 0;
    for (; k < onlyA.size() && k < onlyB.size(); ++k) {
      actions.push_back(
          {Step::kPair, mine_[onlyA[k]], theirs_[onlyB[k]], mine_[onlyA[k]]});
    }
    for (std::size_t r = k; r < onlyA.size(); ++r) {
      actions.push_back(
          {Step::kAdded, mine_[onlyA[r]], kNoSibling, mine_[onlyA[r]]});
      changed = true;
    }
    for (std::size_t r = k; r < onlyB.size(); ++r) {
      actions.push_back({Step::kMissing, kNoSibling, theirs_[onlyB[r]], 0});
      changed = true;
    }
    return changed;
  }

  const SiblingSides& sides_;
  const std::vector<std::size_t>& mine_;
  const std::vector<std::size_t>& theirs_;
  std::vector<std::size_t> pairedA_;
  std::vector<std::size_t> pairedB_;
};

void sortActions(std::vector<SiblingAction>& actions) {
  std::sort(
      actions.begin(), actions.end(),
      [](const SiblingAction& x, const SiblingAction& y) {
        return std::make_tuple(x.order, x.step != Step::kMissing, x.baseline) <
               std::make_tuple(y.order, y.step != Step::kMissing, y.baseline);
      });
}

// What the answer lacks is told before the answer's child that follows it
// in the baseline; then the actions are sorted into the order told.
void orderActions(std::size_t baselineCount,
                  std::vector<SiblingAction>& actions) {
  std::vector<std::size_t> answerOf(baselineCount, kNoSibling);
  for (const SiblingAction& action : actions) {
    if (action.answer != kNoSibling && action.baseline != kNoSibling) {
      answerOf[action.baseline] = action.answer;
    }
  }
  std::vector<std::size_t> following(baselineCount, kNoSibling);
  std::size_t next = kNoSibling;
  for (std::size_t j = baselineCount; j-- > 0;) {
    following[j] = next;
    if (answerOf[j] != kNoSibling) next = std::min(next, answerOf[j]);
  }
  for (SiblingAction& action : actions) {
    if (action.step == Step::kMissing)
      action.order = following[action.baseline];
  }
  sortActions(actions);
}

}  // namespace

bool alignSiblings(const SiblingSides& sides,
                   std::vector<SiblingAction>& actions) {
  std::vector<std::uint32_t> keys;
  std::unordered_map<std::uint32_t, std::pair<std::vector<std::size_t>,
                                              std::vector<std::size_t>>>
      groups;
  for (std::size_t i = 0; i < sides.answer.size(); ++i) {
    auto& group = groups[sides.answerKey(i)];
    if (group.first.empty()) keys.push_back(sides.answerKey(i));
    group.first.push_back(i);
  }
  for (std::size_t j = 0; j < sides.baseline.size(); ++j) {
    auto& group = groups[sides.baselineKey(j)];
    if (group.first.empty() && group.second.empty()) {
      keys.push_back(sides.baselineKey(j));
    }
    group.second.push_back(j);
  }
  bool changed = false;
  for (const std::uint32_t key : keys) {
    const auto& [mine, theirs] = groups[key];
    changed |= GroupAligner(sides, mine, theirs).align(actions);
  }
  orderActions(sides.baseline.size(), actions);
  if (changed || keys.size() < 2) return false;
  for (std::size_t i = 0; i < sides.answer.size(); ++i) {
    if (sides.answerKey(i) != sides.baselineKey(i)) return true;
  }
  return false;
}

void pairAsSet(const SiblingSides& sides,
               const std::function<std::string_view(bool, std::size_t)>& keyOf,
               std::vector<SiblingAction>& actions) {
  const auto keyed = [&](bool answer, std::size_t i, std::string& key) {
    const std::string_view value = keyOf(answer, i);
    if (value == std::string_view("\x01", 1)) return false;
    key = std::to_string(answer ? sides.answerKey(i) : sides.baselineKey(i));
    key.append(1, '\0').append(value);
    return true;
  };
  std::unordered_map<std::string, std::vector<std::size_t>> byKey;
  std::unordered_map<std::uint64_t, std::vector<std::size_t>> byHash;
  std::string key;
  // Later ones first, so that the earliest is taken from the back.
  for (std::size_t j = sides.baseline.size(); j-- > 0;) {
    if (keyed(false, j, key)) {
      byKey[key].push_back(j);
    } else {
      byHash[sides.baselineHashes[sides.baseline[j]]].push_back(j);
    }
  }
  std::vector<bool> taken(sides.baseline.size(), false);
  for (std::size_t i = 0; i < sides.answer.size(); ++i) {
    const bool hasKey = keyed(true, i, key);
    auto& candidates =
        hasKey ? byKey[key] : byHash[sides.answerHashes[sides.answer[i]]];
    if (candidates.empty()) {
      actions.push_back({Step::kAdded, i, kNoSibling, i});
      continue;
    }
    const std::size_t match = candidates.back();
    candidates.pop_back();
    taken[match] = true;
    actions.push_back({hasKey ? Step::kPair : Step::kEqual, i, match, i});
  }
  for (std::size_t j = 0; j < taken.size(); ++j) {
    if (!taken[j])
      actions.push_back({Step::kMissing, kNoSibling, j, kNoSibling});
  }
  // A set has no places: what it lacks is told last.
  sortActions(actions);
}
