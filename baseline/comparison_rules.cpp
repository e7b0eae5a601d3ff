#include "baseline/comparison_rules.h"

#include <algorithm>
#include <memory>

#include "platform/core/tov_exception.h"
#include "platform/core/utf16_text.h"
#include "platform/os/file_reader.h"
#include "platform/xml/xml_text_check.h"
#include "platform/xml/xml_xpath.h"

namespace {

constexpr const char* kXmlNamespace = "http://www.w3.org/XML/1998/namespace";

bool isNameStart(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
         byte == '_' || byte >= 0x80;
}

bool isNameChar(char c) {
  return isNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
}

bool isNcName(const std::string& name) {
  if (name.empty() || !isNameStart(name[0])) return false;
  return std::all_of(name.begin(), name.end(), isNameChar);
}

// The prefixes of the qualified names an XPath tests, outside its string
// literals; "child::x" is an axis, not a prefix.
std::vector<std::string> prefixesIn(const std::string& xpath) {
  std::vector<std::string> found;
  std::size_t at = 0;
  while (at < xpath.size()) {
    const char c = xpath[at];
    if (c == '"' || c == '\'') {
      const std::size_t end = xpath.find(c, at + 1);
      at = end == std::string::npos ? xpath.size() : end + 1;
    } else if (isNameStart(c)) {
      const std::size_t start = at;
      while (at < xpath.size() && isNameChar(xpath[at])) ++at;
      if (at + 1 < xpath.size() && xpath[at] == ':' && xpath[at + 1] != ':') {
        found.push_back(xpath.substr(start, at - start));
        ++at;
      } else if (at + 1 < xpath.size() && xpath[at] == ':') {
        at += 2;
      }
    } else {
      ++at;
    }
  }
  return found;
}

// Whether the XPath's last step names attributes: `@x`, `@*` or
// `attribute::x`, outside any predicate.
bool selectsAttributes(const std::string& xpath) {
  std::string step = platform::xpathSteps(xpath).back();
  step.erase(0, step.find_first_not_of(" \t"));
  return step.rfind("@", 0) == 0 || step.rfind("attribute::", 0) == 0;
}

std::string trimmedXPath(const std::string& xpath) {
  const std::size_t first = xpath.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  return xpath.substr(first, xpath.find_last_not_of(" \t") - first + 1);
}

}  // namespace

ComparisonRules::ComparisonRules() {
  prefixes_.emplace_back("xml", kXmlNamespace);
}

const std::string* ComparisonRules::uriOf(const std::string& prefix) const {
  for (const auto& [name, uri] : prefixes_) {
    if (name == prefix) return &uri;
  }
  return nullptr;
}

bool ComparisonRules::declareNamespace(const std::string& prefix,
                                       const std::string& uri,
                                       std::string& reason) {
  if (!isNcName(prefix) || prefix == "xmlns") {
    reason = "\"" + prefix + "\" cannot be a prefix";
    return false;
  }
  const std::string* bound = uriOf(prefix);
  if (bound != nullptr) {
    if (*bound == uri) return true;
    reason =
        "the prefix \"" + prefix + "\" is bound to \"" + *bound + "\" already";
    return false;
  }
  for (const auto& [name, known] : prefixes_) {
    if (known == uri) {
      reason = "\"" + uri + "\" has the prefix \"" + name + "\" already";
      return false;
    }
  }
  prefixes_.emplace_back(prefix, uri);
  return true;
}

bool ComparisonRules::add(Kind kind, const std::string& xpath,
                          const std::string& by, std::size_t line,
                          const std::string& text, std::string& reason) {
  const std::string path = trimmedXPath(xpath);
  if (kind == Kind::kIgnore && path == "/") {
    reason = "ignore / would leave nothing of an answer to compare";
    return false;
  }
  if (kind == Kind::kUnordered && selectsAttributes(path)) {
    reason =
        "unordered takes elements, whose children it pairs: an attribute "
        "has none";
    return false;
  }
  std::vector<std::string> prefixes = prefixesIn(xpath);
  if (!by.empty()) {
    const std::size_t colon = by.find(':');
    if (!isNcName(by.substr(0, colon)) ||
        (colon != std::string::npos && !isNcName(by.substr(colon + 1)))) {
      reason = "\"" + by + "\" is no attribute name";
      return false;
    }
    if (colon != std::string::npos) prefixes.push_back(by.substr(0, colon));
  }
  for (const std::string& prefix : prefixes) {
    if (uriOf(prefix) == nullptr) {
      reason = "the prefix \"" + prefix +
               "\" is not declared (namespace <prefix> <URI>)";
      return false;
    }
  }
  Rule rule{kind, platform::XmlXPath(), by, text, line};
  if (!rule.xpath.compile(xpath, reason)) return false;
  reach_ = reach_.joined(rule.xpath.reach());
  rules_.push_back(std::move(rule));
  return true;
}

namespace {

struct RuleLine {
  std::size_t number;
  std::string_view keyword;
  std::string_view rest;  // after the keyword, trimmed
  std::string_view whole;
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

bool addRule(const RuleLine& line, ComparisonRules& rules,
             std::string& reason) {
  using Kind = ComparisonRules::Kind;
  std::string_view xpath = line.rest;
  std::string by;
  Kind kind = Kind::kIgnore;
  if (line.keyword == "mask") {
    kind = Kind::kMask;
  } else if (line.keyword == "qname") {
    kind = Kind::kQName;
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
             "\" (ignore, mask, unordered, qname or namespace)";
    return false;
  }
  if (xpath.empty()) {
    reason = std::string(line.keyword) + " without an XPath";
    return false;
  }
  if (kind == Kind::kUnordered &&
      xpath.find(" by ") != std::string_view::npos) {
    reason = "unordered takes one attribute after \"by\"";
    return false;
  }
  return rules.add(kind, std::string(xpath), by, line.number,
                   std::string(line.whole), reason);
}

bool declareNamespace(const RuleLine& line, ComparisonRules& rules,
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
                          ComparisonRules& rules, std::string& problem) {
  rules.setSource(source);
  std::string converted;
  // Windows' editors begin UTF-8 with a byte-order mark, and Notepad saves
  // "Unicode" as UTF-16 with one.
  if (text.substr(0, 4) == std::string_view("\xFF\xFE\0\0", 4) ||
      text.substr(0, 4) == std::string_view("\0\0\xFE\xFF", 4)) {
    problem = source + ": the rules are UTF-32: save them as UTF-8";
    return false;
  }
  if (text.substr(0, 3) == "\xEF\xBB\xBF") {
    text.remove_prefix(3);
  } else if (text.substr(0, 2) == "\xFF\xFE" ||
             text.substr(0, 2) == "\xFE\xFF") {
    if (!platform::utf16ToUtf8(text.substr(2), text[0] == '\xFE', converted)) {
      problem = source + ": UTF-16 that holds no text: save the rules as UTF-8";
      return false;
    }
    text = converted;
  }
  if (!platform::xmlValueFault(std::string(text)).empty()) {
    problem = source +
              ": the rules are not UTF-8 text (or hold control characters): "
              "save them as UTF-8";
    if (text.find('\0') != std::string_view::npos) {
      problem = source +
                ": the rules hold NUL bytes, as UTF-16 without a byte-order "
                "mark does: save them as UTF-8";
    }
    return false;
  }
  if (text.find('\0') != std::string_view::npos) {
    problem = source +
              ": the rules hold NUL bytes, as UTF-16 without a byte-order "
              "mark does: save them as UTF-8";
    return false;
  }
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
                         : trimmed(line.substr(space)),
                     line});
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

bool readComparisonRules(const std::string& path, ComparisonRules& rules,
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
