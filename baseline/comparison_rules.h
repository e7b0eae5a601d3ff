#pragma once

#include <string>
#include <string_view>

#include "platform/xml/xml_answer_compare.h"

// The rules file of a comparison, one rule a line; blank lines and lines
// that begin with '#' are skipped:
//   ignore <XPath>                  the nodes are left out on both sides
//   mask <XPath>                    the nodes must be there; their values
//                                   (an element's content and attributes)
//                                   are not compared
//   unordered <XPath> [by <name>]   the elements' children are a set,
//                                   paired by that attribute or by content
//   namespace <prefix> <URI>        a prefix the XPaths may use
// Namespaces apply to the whole file. Ignoring comes first, then masking.
// False with one line in `problem`: `<file>:<line>: <reason>`, or
// `Cannot read the rules "<file>": <reason>`.
bool readComparisonRules(const std::string& path,
                         platform::XmlCompareRules& rules,
                         std::string& problem);

// The same for text in hand; `source` names it in messages.
bool parseComparisonRules(std::string_view text, const std::string& source,
                          platform::XmlCompareRules& rules,
                          std::string& problem);
