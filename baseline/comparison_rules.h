#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/xml/xml_xpath.h"

// The rules of a comparison, one a line; blank lines and lines that begin
// with '#' are skipped:
//   ignore <XPath>                  the nodes are left out on both sides
//   mask <XPath>                    the nodes must be there; their values
//                                   (an element's content and attributes)
//                                   are not compared
//   unordered <XPath> [by <name>]   the elements' children are a set,
//                                   paired by that attribute or by content
//   qname <XPath>                   the attributes' or elements' values are
//                                   qualified names, compared by namespace
//                                   and local name
//   namespace <prefix> <URI>        a prefix the XPaths may use
// Namespaces apply to the whole file. Ignoring comes first, then masking.
class ComparisonRules {
 public:
  enum class Kind { kIgnore, kMask, kUnordered, kQName };
  struct Rule {
    Kind kind;
    platform::XmlXPath xpath;
    std::string by;    // kUnordered: the attribute pairing the children
    std::string text;  // "mask /*/@tiem", as written
    std::size_t line = 0;
  };

  ComparisonRules();

  // Binds `prefix` to `uri`. False with `reason` when the prefix is no name,
  // or either is bound already.
  bool declareNamespace(const std::string& prefix, const std::string& uri,
                        std::string& reason);
  // False with `reason` when the XPath cannot be used: the XPath library's
  // fault, an undeclared prefix, a value, or a rule that cannot mean
  // anything (`ignore /`, `unordered` on an attribute).
  bool add(Kind kind, const std::string& xpath, const std::string& by,
           std::size_t line, const std::string& text, std::string& reason);

  bool empty() const { return rules_.empty(); }
  const std::vector<Rule>& rules() const { return rules_; }
  // (prefix, URI), the xml prefix first.
  const std::vector<std::pair<std::string, std::string>>& prefixes() const {
    return prefixes_;
  }
  // What of an answer the rules' XPaths can see, all together.
  const platform::XmlXPathReach& reach() const { return reach_; }
  // The file the rules were read from, for messages.
  const std::string& source() const { return source_; }
  void setSource(const std::string& source) { source_ = source; }

 private:
  const std::string* uriOf(const std::string& prefix) const;

  std::vector<std::pair<std::string, std::string>> prefixes_;
  std::vector<Rule> rules_;
  platform::XmlXPathReach reach_{false, false, 0};
  std::string source_;
};

// False with one line in `problem`: `<file>:<line>: <reason>`, or `Cannot
// read the rules "<file>": <reason>`. The text may begin with a UTF-8
// byte-order mark, or be UTF-16 with one (as Windows' Notepad saves
// "Unicode").
bool readComparisonRules(const std::string& path, ComparisonRules& rules,
                         std::string& problem);

// The same for text in hand; `source` names it in messages.
bool parseComparisonRules(std::string_view text, const std::string& source,
                          ComparisonRules& rules, std::string& problem);
