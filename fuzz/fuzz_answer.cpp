// Arbitrary bytes as a provider's answers and the rules they are compared
// under: `answer`, or `rules NUL answer`, or `rules NUL answer NUL other`
// (the last part may hold NUL bytes: UTF-16 goes there). Rules that cannot
// be read leave the answers compared without rules.

#include <cstddef>
#include <cstdint>
#include <string>

#include "baseline/comparison_rules.h"
#include "fuzz/answer_checks.h"
#include "platform/core/tov_exception.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  const auto parts = fuzz::parts(data, size, 2);
  ComparisonRules rules;
  if (parts.size() > 1) {
    std::string problem;
    if (!parseComparisonRules(parts[0], "rules", rules, problem)) {
      rules = ComparisonRules();
    }
  }
  const std::string_view answer = parts.size() > 1 ? parts[1] : parts[0];
  try {
    fuzz::checkAgainstItself(answer, rules);
    fuzz::checkLayoutAfterRoot(answer, rules);
    if (parts.size() > 2) {
      fuzz::checkAgainstItself(parts[2], rules);
      fuzz::checkBothWays(answer, parts[2], rules);
    }
  } catch (TOVException* failure) {
    // Memory that runs out is the one failure a comparison may throw.
    delete failure;
  }
  return 0;
}
