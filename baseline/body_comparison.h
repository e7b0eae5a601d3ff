#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "baseline/comparison_rules.h"
#include "baseline/difference.h"
#include "secrets/secret_mask.h"

// How an answer's body differs from the baseline's: as XML when both are
// well-formed, otherwise byte for byte.
struct BodyDifference {
  unsigned long count = 0;              // 0: the same
  std::vector<Difference> differences;  // the first kListed
  std::vector<std::string> listed;      // each of them described
  std::vector<std::string> legend;      // "ns1 is \"urn:...\""
  std::string diff;  // a short unified diff, lines ending '\n'
  // The two normal forms' lines around where they first differ (for XML),
  // numbered from `firstLine`.
  std::vector<std::string> answerLines;
  std::vector<std::string> baselineLines;
  std::size_t firstLine = 0;

  static constexpr std::size_t kListed = 50;
  static constexpr std::size_t kDiffLines = 60;
};

// What the comparison of one answer did with the rules: which selected a
// node in the answer, and whether they were applied at all.
struct RuleUse {
  std::vector<char> matched;  // by rule
  bool applied = false;
};

// Compares two bodies byte for byte, whatever they hold.
BodyDifference compareBytes(std::string_view answer, std::string_view baseline);

// Compares two bodies. `release`, when given, holds the baseline's text and
// is emptied once the comparison no longer needs it, to leave room for the
// rules. Throws a TOVException when memory runs out.
// `secrets`, when given, are hidden in the values of both
// answers as the XML resolves them (a password written with character
// references, or split by CDATA, shows only then).
BodyDifference compareBodies(std::string_view answer, std::string_view baseline,
                             const ComparisonRules& rules,
                             RuleUse* use = nullptr,
                             std::string* release = nullptr,
                             const SecretMask* secrets = nullptr);
