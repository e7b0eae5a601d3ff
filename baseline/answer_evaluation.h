#pragma once

// What decides, before two answers are compared, which parts of each count
// and how: white space as layout, the rules, and values that are qualified
// names. Each works on one answer's normal form.

#include <cstdint>
#include <vector>

#include "baseline/comparison_rules.h"
#include "platform/xml/xml_normal_form.h"

// Text of white space only beside elements is layout and goes, unless its
// element holds other text too (mixed content) or xml:space="preserve" is
// in force; text of an element without elements stays whatever it is.
void dropLayout(platform::XmlNormalForm& form,
                const platform::XmlNameTable& names);

// Applies the rules: ignored nodes go, masked ones lose their values,
// unordered elements are marked with their rule's number plus one, and
// qualified names are resolved. xsi:type values are qualified names
// whatever the rules say. A rule never ignores the root element. Sets bit 1
// of `matched[i]` when rule i selected a node, bit 2 when it was an ignore
// rule that selected the root. Throws a TOVException when memory runs out.
void applyRules(const ComparisonRules& rules, platform::XmlNameTable& names,
                platform::XmlNormalForm& form, std::vector<char>& matched);

// A qualified name written `prefix:local` (or `local`, in the default
// namespace), where the bindings of `scope` are in force, as the normal
// form names it: the shown prefix of its namespace and the local name. A
// value that is no qualified name, or whose prefix is not declared, stays
// as it is.
std::string normalQName(const platform::XmlNormalForm& form,
                        platform::XmlNameTable& names, std::uint32_t scope,
                        std::string_view value);

// Every node's hash, of its subtree: equal subtrees have equal hashes, the
// children of an unordered element taken as a set.
std::vector<std::uint64_t> subtreeHashes(const platform::XmlNormalForm& form);
