// Arbitrary bytes as a rules file: read, and when it can be used, applied
// to a few small answers that hold what rules name (namespaces, ids,
// qualified names, mixed content, preserved space) and compared with
// answers that differ from them in each of those.

#include <cstddef>
#include <cstdint>
#include <string>

#include "baseline/comparison_rules.h"
#include "fuzz/answer_checks.h"
#include "platform/core/tov_exception.h"

namespace {

constexpr std::string_view kAnswer =
    R"(<answer xmlns:q="urn:example:model" xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance" type="ma" time="1">)"
    R"(<q:debug>x</q:debug><transaction id="2"><object id="a" type="q:Cube" created="3">one</object>)"
    R"(<object id="b" xsi:type="q:Dim"/></transaction><select><row>1</row><row>2</row></select>)"
    R"(<note xml:space="preserve"> Total: <b>12</b> <i>units</i></note></answer>)";

// Each differs from the answer where a kind of rule looks.
constexpr std::string_view kOthers[] = {
    R"(<answer xmlns:m="urn:example:model" xmlns:s="http://www.w3.org/2001/XMLSchema-instance" time="2" type="ma">)"
    R"(<m:debug>y</m:debug><transaction id="2"><object id="b" s:type="m:Dim"/><object id="a" type="m:Cube" created="4">one</object>)"
    R"(</transaction><select><row>2</row><row>1</row></select>)"
    R"(<note xml:space="preserve"> Total: <b>12</b><i>units</i></note></answer>)",
    R"(<answer type="ma"><transaction id="3"><object id="a">two</object></transaction><extra/></answer>)",
    R"(<other/>)",
    "not XML",
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  ComparisonRules rules;
  std::string problem;
  if (!parseComparisonRules(text, "rules.txt", rules, problem)) {
    fuzz::expect(problem.rfind("rules.txt:", 0) == 0,
                 "a refusal names the file");
    fuzz::expect(problem.find_first_of("\r\n") == std::string::npos,
                 "a refusal is one line");
    return 0;
  }
  fuzz::expect(problem.empty(), "rules read say nothing");
  for (const ComparisonRules::Rule& rule : rules.rules()) {
    fuzz::expect(rule.line > 0 && !rule.text.empty(), "a rule knows its line");
  }
  try {
    fuzz::checkAgainstItself(kAnswer, rules);
    for (const std::string_view other : kOthers) {
      fuzz::checkAgainstItself(other, rules);
      fuzz::checkBothWays(kAnswer, other, rules);
    }
  } catch (TOVException* failure) {
    delete failure;
  }
  return 0;
}
