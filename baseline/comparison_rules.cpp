#include "baseline/comparison_rules.h"

#include <memory>
#include <vector>

#include "platform/core/tov_exception.h"
#include "platform/os/file_reader.h"

namespace {

struct RuleLine {
  std::size_t number;
  std::string_view keyword;
  std::string_view rest;  // after the keyword, trimmed
};

constexpr std::string_view kBlank = " \t\r";

std::string_view trimmed(std::string_view text) {
  const std::size_t first = text.find_first_not_of(kBlank);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlank) - first + 1);
}

// The last word of `text` and what comes before it, trimmed.
std::pair<std::string_view, std::string_view> splitLast(std::string_view text) {
  const std::size_t space = text.find_last_of(kBlank);
  if (space == std::string_view::npos) return {{}, text};
  return {trimmed(text.substr(0, space)), text.substr(space + 1)};
}

bool addRule(const RuleLine& line, platform::XmlCompareRules& rules,
             std::string& reason) {
  using Kind = platform::XmlCompareRules::Kind;
  std::string_view xpath = line.rest;
  std::string by;
  Kind kind = Kind::kIgnore;
  if (line.keyword == "mask") {
    kind = Kind::kMask;
  } else if (line.keyword == "unordered") {
    kind = Kind::kUnordered;
    const auto [before, last] = splitLast(xpath);
    if (last == "by") {
      reason = "\"by\" without an attribute";
      return false;
    }
    const auto [start, word] = splitLast(before);
    if (word == "by") {
      xpath = start;
      by.assign(last.substr(last.substr(0, 1) == "@" ? 1 : 0));
    }
  } else if (line.keyword != "ignore") {
    reason = "unknown rule \"" + std::string(line.keyword) +
             "\" (ignore, mask, unordered or namespace)";
    return false;
  }
  if (xpath.empty()) {
    reason = std::string(line.keyword) + " without an XPath";
    return false;
  }
  return rules.add(kind, std::string(xpath), by, reason);
}

bool declareNamespace(const RuleLine& line, platform::XmlCompareRules& rules,
                      std::string& reason) {
  const auto [prefix, uri] = splitLast(line.rest);
  if (prefix.empty() || prefix.find_first_of(kBlank) != std::string::npos) {
    reason = "namespace takes a prefix and a URI";
    return false;
  }
  return rules.declareNamespace(std::string(prefix), std::string(uri), reason);
}

}  // namespace

bool parseComparisonRules(std::string_view text, const std::string& source,
                          platform::XmlCompareRules& rules,
                          std::string& problem) {
  // A byte-order mark, as Windows' editors begin UTF-8 with, is no text.
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  std::vector<RuleLine> lines;
  for (std::size_t at = 0, number = 1; at < text.size(); ++number) {
    std::size_t end = text.find('\n', at);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = trimmed(text.substr(at, end - at));
    at = end + 1;
    if (line.empty() || line[0] == '#') continue;
    const std::size_t space = line.find_first_of(kBlank);
    lines.push_back({number, line.substr(0, space),
                     space == std::string_view::npos
                         ? std::string_view()
                         : trimmed(line.substr(space))});
  }
  // Prefixes first, so that a rule may use one declared below it.
  std::string reason;
  for (const bool namespaces : {true, false}) {
    for (const RuleLine& line : lines) {
      if ((line.keyword == "namespace") != namespaces) continue;
      const bool read = namespaces ? declareNamespace(line, rules, reason)
                                   : addRule(line, rules, reason);
      if (!read) {
        problem = source + ":" + std::to_string(line.number) + ": " + reason;
        return false;
      }
    }
  }
  return true;
}

bool readComparisonRules(const std::string& path,
                         platform::XmlCompareRules& rules,
                         std::string& problem) {
  std::string reason;
  if (!platform::isReadableFile(path, reason)) {
    problem = "Cannot read the rules \"" + path + "\": " + reason;
    return false;
  }
  platform::FileContent content;
  try {
    content = platform::readRegularFile(path.c_str());
  } catch (TOVException* failure) {
    const std::unique_ptr<TOVException> owned(failure);
    problem = failure->getErrorCodeString();
    return false;
  }
  return parseComparisonRules(
      std::string_view(content.data.get(), content.size), path, rules, problem);
}
