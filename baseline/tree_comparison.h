#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "baseline/comparison_rules.h"
#include "baseline/difference.h"
#include "platform/xml/xml_normal_form.h"

// One side of a comparison: an answer's normal form with the rules applied,
// and the hash of each node's subtree.
struct ComparedForm {
  platform::XmlNormalForm form;
  std::vector<std::uint64_t> hashes;
};

struct TreeComparison {
  unsigned long count = 0;              // every difference
  std::vector<Difference> differences;  // the first `cap`, in document order
};

// Walks the parts of two normal forms whose hashes differ and reports what
// differs. Siblings of a name are aligned by their longest run of equal
// ones; those left are paired by an `id` or `name` attribute (a pair at
// other places has moved), then by equal content (moved), then in order.
// Places name an element by such an attribute where it tells it from its
// siblings, otherwise by its position.
void compareForms(const ComparedForm& answer, const ComparedForm& baseline,
                  const platform::XmlNameTable& names,
                  const ComparisonRules& rules, std::size_t cap,
                  TreeComparison& out);
