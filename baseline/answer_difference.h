#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/xml/xml_answer_compare.h"

// How an answer's body differs from the baseline's: as XML when both are
// well-formed, otherwise byte for byte.
struct BodyDifference {
  unsigned long count = 0;          // 0: the same
  std::vector<std::string> listed;  // the first kListed, one line each
  std::vector<std::string> legend;  // "ns1 is \"urn:...\""
  std::string diff;                 // a short unified diff, lines ending '\n'

  static constexpr std::size_t kListed = 50;
  static constexpr std::size_t kDiffLines = 60;
};

// The largest answer compared as XML: the normal form of one costs some
// forty times its size in memory.
constexpr std::size_t kLargestAsXml = std::size_t{4} << 20;

BodyDifference compareBodies(std::string_view answer, std::string_view baseline,
                             const platform::XmlCompareRules& rules);

// A unified diff of two listings, from the baseline to the answer, of at most
// `most` lines; empty when they are the same.
std::string unifiedDiff(const std::vector<std::string>& baseline,
                        const std::vector<std::string>& answer,
                        std::size_t most);
