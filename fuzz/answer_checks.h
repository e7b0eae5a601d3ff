#pragma once

// What must hold of any answer the comparison is handed, whatever the rules:
// its normal form is well shaped, it differs in nothing from itself, layout
// outside its root changes nothing, and two answers that are the same one
// way round are the same the other way too.

#include <string>
#include <string_view>

#include "baseline/answer_evaluation.h"
#include "baseline/body_comparison.h"
#include "baseline/tree_comparison.h"
#include "fuzz/fuzz_support.h"
#include "platform/xml/xml_normal_form.h"

namespace fuzz {

// Every subtree inside its parent's, every value inside the values, every
// attribute range inside the attributes, sorted by name and known to the
// name table.
inline void checkShape(const platform::XmlNormalForm& form,
                       const platform::XmlNameTable& names) {
  using platform::XmlNormalForm;
  expect(!form.nodes.empty(), "the form has its document node");
  expect(form.nodes[0].end == form.nodes.size(), "the document holds all");
  std::vector<std::uint32_t> ends{form.nodes[0].end};
  std::uint32_t attributesSeen = 0;
  for (std::uint32_t i = 1; i < form.nodes.size(); ++i) {
    const XmlNormalForm::Node& node = form.nodes[i];
    while (ends.back() <= i) ends.pop_back();
    expect(ends.size() <= platform::kDeepestCompared + 1, "depth is bounded");
    expect(node.end > i && node.end <= ends.back(),
           "a subtree lies inside its parent's");
    if (node.kind == XmlNormalForm::Kind::kText) {
      expect(node.end == i + 1, "a text has no children");
      expect(std::size_t{node.name} + node.attributes <= form.values.size(),
             "a text's value lies inside the values");
      continue;
    }
    expect(names.find(names.shown(node.name)) == node.name,
           "an element's name is in the table");
    expect(node.attributes == attributesSeen &&
               node.attributesEnd >= node.attributes &&
               node.attributesEnd <= form.attributes.size(),
           "attributes follow their elements in order");
    attributesSeen = node.attributesEnd;
    for (std::uint32_t a = node.attributes; a < node.attributesEnd; ++a) {
      const XmlNormalForm::Attribute& attribute = form.attributes[a];
      expect(
          std::size_t{attribute.value} + attribute.size <= form.values.size(),
          "an attribute's value lies inside the values");
      expect(names.find(names.shown(attribute.name)) == attribute.name,
             "an attribute's name is in the table");
      expect(a == node.attributes || names.shown(form.attributes[a - 1].name) <
                                         names.shown(attribute.name),
             "an element's attributes are sorted, each once");
    }
    ends.push_back(node.end);
  }
  expect(attributesSeen == form.attributes.size(), "no attribute is astray");
}

// One side as the comparison evaluates it.
inline bool evaluated(std::string_view text, const ComparisonRules& rules,
                      platform::XmlNameTable& names, ComparedForm& side) {
  platform::XmlNormalFormFault fault;
  if (!platform::buildXmlNormalForm(text, names, side.form, fault)) {
    expect(!fault.text.empty(), "a refused answer says why");
    return false;
  }
  checkShape(side.form, names);
  dropLayout(side.form, names);
  std::vector<char> matched;
  applyRules(rules, names, side.form, matched);
  expect(matched.size() == rules.rules().size(), "each rule is accounted for");
  checkShape(side.form, names);
  side.hashes = subtreeHashes(side.form);
  expect(side.hashes.size() == side.form.nodes.size(), "a hash a node");
  return true;
}

// The answer against a second parse of itself: the engine, which the equal
// bytes would pass by, finds nothing.
inline void checkAgainstItself(std::string_view answer,
                               const ComparisonRules& rules) {
  platform::XmlNameTable names(rules.prefixes());
  ComparedForm mine;
  ComparedForm again;
  if (!evaluated(answer, rules, names, mine)) return;
  expect(evaluated(answer, rules, names, again), "a parse is repeatable");
  expect(mine.hashes == again.hashes, "equal forms hash alike");
  TreeComparison compared;
  compareForms(mine, again, names, rules, BodyDifference::kListed, compared);
  expect(compared.count == 0 && compared.differences.empty(),
         "an answer differs in nothing from itself");
}

inline void checkResult(const BodyDifference& result) {
  expect(result.differences.size() <= BodyDifference::kListed,
         "at most the listed differences are kept");
  expect(result.count >= result.differences.size(), "the count covers all");
  expect((result.count == 0) == result.differences.empty(),
         "a difference is told");
  expect(result.listed.size() == result.differences.size(),
         "each difference is described");
}

// Two answers each way round.
inline void checkBothWays(std::string_view one, std::string_view other,
                          const ComparisonRules& rules) {
  RuleUse use;
  const BodyDifference there = compareBodies(one, other, rules, &use);
  const BodyDifference back = compareBodies(other, one, rules);
  checkResult(there);
  checkResult(back);
  expect((there.count == 0) == (back.count == 0),
         "the same one way round is the same the other way");
  expect(!use.applied || use.matched.size() == rules.rules().size(),
         "each rule's use is told");
}

// Layout after the root is no part of an answer.
inline void checkLayoutAfterRoot(std::string_view answer,
                                 const ComparisonRules& rules) {
  const std::string laidOut = std::string(answer) + "\n";
  platform::XmlNameTable names;
  platform::XmlNormalForm form;
  platform::XmlNormalFormFault fault;
  if (!platform::buildXmlNormalForm(answer, names, form, fault) ||
      !platform::buildXmlNormalForm(laidOut, names, form, fault)) {
    return;
  }
  expect(compareBodies(answer, laidOut, rules).count == 0,
         "a line end after the root changes nothing");
}

}  // namespace fuzz
