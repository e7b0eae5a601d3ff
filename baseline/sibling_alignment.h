#pragma once

// Which children of an element on one side go with which on the other.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

enum class Step { kEqual, kPair, kMoved, kAdded, kMissing };
inline constexpr std::size_t kNoSibling = static_cast<std::size_t>(-1);

struct SiblingAction {
  Step step;
  std::size_t answer;    // index among the answer's children, or kNoSibling
  std::size_t baseline;  // among the baseline's, or kNoSibling
  std::size_t order;     // where it is told: in the answer's order
};

// The children of one element on both sides, by index: their names (or a
// key for text), their subtrees' hashes, and an identifying attribute's
// value where one tells a child from its siblings (empty otherwise).
struct SiblingSides {
  const std::vector<std::uint32_t>& answer;
  const std::vector<std::uint32_t>& baseline;
  const std::vector<std::uint64_t>& answerHashes;  // by node
  const std::vector<std::uint64_t>& baselineHashes;
  std::function<std::uint32_t(std::size_t)> answerKey;
  std::function<std::uint32_t(std::size_t)> baselineKey;
  std::function<std::string_view(std::size_t)> answerIdentity;
  std::function<std::string_view(std::size_t)> baselineIdentity;
};

// Children of one name are aligned by their longest run of equal ones; the
// rest are paired by identity, then by equal content; a pair out of step
// with the others has moved. What is left between two pairs in step is
// paired in order, the rest is added or missing. Children of other names may
// come in another order: true when that is the only difference of order. The
// actions come in the order they are told, what the answer lacks before the
// answer's child that follows it in the baseline.
bool alignSiblings(const SiblingSides& sides,
                   std::vector<SiblingAction>& actions);

// Children as a set: paired by `keyOf` (of the answer's child when its
// first argument is true) where it gives one other than "\x01", otherwise
// by equal content.
void pairAsSet(const SiblingSides& sides,
               const std::function<std::string_view(bool, std::size_t)>& keyOf,
               std::vector<SiblingAction>& actions);
