#include "baseline/body_comparison.h"

#include <algorithm>

#include "baseline/answer_evaluation.h"
#include "baseline/answer_listing.h"
#include "baseline/difference_text.h"
#include "baseline/tree_comparison.h"
#include "baseline/unified_diff.h"
#include "platform/xml/xml_text_check.h"

namespace {

constexpr std::size_t kContext = 3;
constexpr std::size_t kWindowLines = 2000;

// One side's normal form, or false with `fault`.
bool build(std::string_view body, platform::XmlNameTable& names,
           ComparedForm& side, platform::XmlNormalFormFault& fault) {
  if (platform::buildXmlNormalForm(body, names, side.form, fault)) return true;
  side.form = platform::XmlNormalForm();
  return false;
}

// The run's secrets in the values as resolved, each where it stood
// written as the hidden password's mark.
void hideInValues(platform::XmlNormalForm& form, const SecretMask& secrets) {
  std::string hidden;
  std::vector<std::size_t> at;
  const auto mark = [&](std::string_view value, auto set) {
    if (!secrets.appearsIn(value)) return;
    at.clear();
    hidden = secrets.hidden(value, &at);
    for (const std::size_t place : at) {
      if (place + 3 <= hidden.size()) {
        hidden.replace(place, 3, kHiddenPassword);
      }
    }
    set(hidden);
  };
  for (platform::XmlNormalForm::Node& node : form.nodes) {
    if (node.kind != platform::XmlNormalForm::Kind::kText) continue;
    mark(form.value(node),
         [&](const std::string& value) { form.setValue(node, value); });
  }
  for (platform::XmlNormalForm::Attribute& attribute : form.attributes) {
    mark(form.value(attribute),
         [&](const std::string& value) { form.setValue(attribute, value); });
  }
}

// The evaluators on one side, then its hashes.
void evaluate(const ComparisonRules& rules, platform::XmlNameTable& names,
              ComparedForm& side, RuleUse* use) {
  dropLayout(side.form, names);
  std::vector<char> matched;
  applyRules(rules, names, side.form, matched);
  if (use != nullptr) {
    use->applied = !rules.empty();
    use->matched = std::move(matched);
  }
  side.hashes = subtreeHashes(side.form);
}

void compareBytes(std::string_view answer, std::string_view baseline,
                  const std::string& note, BodyDifference& result) {
  const std::size_t shorter = std::min(answer.size(), baseline.size());
  const std::size_t at = static_cast<std::size_t>(
      std::mismatch(answer.begin(),
                    answer.begin() + static_cast<std::ptrdiff_t>(shorter),
                    baseline.begin())
          .first -
      answer.begin());
  const std::size_t lineStart =
      at == 0 ? 0 : answer.substr(0, at).rfind('\n') + 1;  // npos + 1 == 0
  const std::size_t line =
      1 + static_cast<std::size_t>(std::count(
              answer.begin(), answer.begin() + static_cast<std::ptrdiff_t>(at),
              '\n'));
  const std::size_t from = std::max(lineStart, at >= 20 ? at - 20 : 0);
  Difference difference;
  difference.kind = at == answer.size()     ? Difference::Kind::kEndsEarly
                    : at == baseline.size() ? Difference::Kind::kGoesOn
                                            : Difference::Kind::kBytes;
  difference.place = "line " + std::to_string(line) + ", byte " +
                     std::to_string(at - lineStart + 1);
  difference.answer = Difference::head(answer.substr(from));
  difference.baseline = Difference::head(baseline.substr(from));
  difference.from = from > lineStart ? 1 : 0;
  difference.note = note;
  result.differences.push_back(difference);
  result.diff = textDiff(answer, baseline, at, BodyDifference::kDiffLines);
}

void one(BodyDifference& result, Difference difference) {
  result.count = 1;
  result.differences.push_back(std::move(difference));
}

}  // namespace

BodyDifference compareBytes(std::string_view answer,
                            std::string_view baseline) {
  BodyDifference result;
  if (answer == baseline) return result;
  result.count = 1;
  compareBytes(answer, baseline, "", result);
  result.listed.push_back(describe(result.differences.back()));
  return result;
}

BodyDifference compareBodies(std::string_view answer, std::string_view baseline,
                             const ComparisonRules& rules, RuleUse* use,
                             std::string* release, const SecretMask* secrets) {
  BodyDifference result;
  if (answer == baseline) return result;
  if (answer.empty() || baseline.empty()) {
    Difference difference;
    difference.kind = answer.empty() ? Difference::Kind::kEmpty
                                     : Difference::Kind::kBaselineEmpty;
    difference.answer = Difference::head(answer);
    difference.baseline = Difference::head(baseline);
    one(result, difference);
    result.listed.push_back(describe(result.differences.back()));
    return result;
  }
  platform::XmlNameTable names(rules.prefixes());
  ComparedForm theirs;
  ComparedForm mine;
  platform::XmlNormalFormFault theirFault;
  platform::XmlNormalFormFault myFault;
  const bool baselineIsXml = build(baseline, names, theirs, theirFault);
  const bool answerIsXml = build(answer, names, mine, myFault);
  const bool tooDeep = theirFault.tooDeep || myFault.tooDeep;
  if (answerIsXml && baselineIsXml) {
    // The forms hold all that is compared now: the baseline's text goes
    // before the rules' views are made, one side at a time.
    if (release != nullptr) std::string().swap(*release);
    if (secrets != nullptr && !secrets->empty()) {
      hideInValues(theirs.form, *secrets);
      hideInValues(mine.form, *secrets);
    }
    evaluate(rules, names, theirs, nullptr);
    evaluate(rules, names, mine, use);
    TreeComparison compared;
    compareForms(mine, theirs, names, rules, BodyDifference::kListed, compared);
    result.count = compared.count;
    if (result.count == 0) return result;
    result.differences = std::move(compared.differences);
    for (const auto& [prefix, uri] : names.namedHere()) {
      result.legend.push_back(prefix + " is " +
                              platform::shownText(uri, 200, true));
    }
    const ListingWindow window =
        listingWindow(mine, theirs, names, kContext, kWindowLines);
    result.diff = unifiedDiff(window, BodyDifference::kDiffLines);
    result.answerLines = window.answer;
    result.baselineLines = window.baseline;
    result.firstLine = window.first;
  } else {
    result.count = 1;
    Difference difference;
    if (answerIsXml && !tooDeep) {
      difference.kind = Difference::Kind::kBaselineNotXml;
      difference.baseline = theirFault.text;
      result.differences.push_back(difference);
    } else if (baselineIsXml && !tooDeep) {
      difference.kind = Difference::Kind::kNotXml;
      difference.answer = myFault.text;
      result.differences.push_back(difference);
    }
    // Where it is not XML, the bytes tell where it differs.
    compareBytes(answer, baseline,
                 tooDeep ? "(an answer nested deeper than " +
                               std::to_string(platform::kDeepestCompared) +
                               " elements is compared byte for byte)"
                         : "",
                 result);
    if (result.differences.size() > 1) result.differences.pop_back();
  }
  for (const Difference& difference : result.differences) {
    result.listed.push_back(describe(difference));
  }
  return result;
}
