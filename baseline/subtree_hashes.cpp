#include <algorithm>

#include "baseline/answer_evaluation.h"
#include "baseline/fnv1a.h"

using platform::XmlNormalForm;

namespace {

// FNV-1a over each text and its length, then a finish that spreads every
// bit over the whole word.
class Hasher {
 public:
  void bytes(std::string_view data) {
    hash_.add(data);
    number(data.size());
  }
  void number(std::uint64_t value) { hash_.addNumber(value); }
  std::uint64_t done() const {
    std::uint64_t h = hash_.value();
    h = (h ^ (h >> 33)) * 0xff51afd7ed558ccdULL;
    h = (h ^ (h >> 33)) * 0xc4ceb9fe1a85ec53ULL;
    return h ^ (h >> 33);
  }

 private:
  Fnv1a hash_;
};

constexpr std::uint64_t kText = 1;
constexpr std::uint64_t kMaskedText = 2;
constexpr std::uint64_t kElement = 3;
constexpr std::uint64_t kMaskedElement = 4;
constexpr std::uint64_t kMaskedAttribute = 5;

}  // namespace

std::vector<std::uint64_t> subtreeHashes(const XmlNormalForm& form) {
  std::vector<std::uint64_t> hashes(form.nodes.size(), 0);
  std::vector<std::uint64_t> set;
  for (std::size_t i = form.nodes.size(); i-- > 0;) {
    const XmlNormalForm::Node& node = form.nodes[i];
    const bool masked = (node.flags & XmlNormalForm::kMasked) != 0;
    Hasher hasher;
    if (node.kind == XmlNormalForm::Kind::kText) {
      hasher.number(masked ? kMaskedText : kText);
      if (!masked) hasher.bytes(form.value(node));
      hashes[i] = hasher.done();
      continue;
    }
    hasher.number(masked ? kMaskedElement : kElement);
    hasher.number(node.name);
    for (std::uint32_t a = node.attributes; a < node.attributesEnd; ++a) {
      const XmlNormalForm::Attribute& attribute = form.attributes[a];
      hasher.number(attribute.name);
      if ((attribute.flags & XmlNormalForm::kMasked) != 0) {
        hasher.number(kMaskedAttribute);
      } else {
        hasher.bytes(form.value(attribute));
      }
    }
    set.clear();
    for (std::uint32_t child = static_cast<std::uint32_t>(i) + 1;
         child < node.end; child = form.nodes[child].end) {
      set.push_back(hashes[child]);
    }
    hasher.number(set.size());
    if (node.unordered != 0) std::sort(set.begin(), set.end());
    for (const std::uint64_t hash : set) hasher.number(hash);
    hashes[i] = hasher.done();
  }
  return hashes;
}
