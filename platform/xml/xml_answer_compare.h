#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace platform {

// What a comparison of two answers leaves out or takes as a set, as XPaths
// over their normal form (below), compiled once. Copies share the compiled
// queries.
class XmlCompareRules {
 public:
  enum class Kind { kIgnore, kMask, kUnordered };

  XmlCompareRules();
  ~XmlCompareRules();
  XmlCompareRules(const XmlCompareRules&);
  XmlCompareRules& operator=(const XmlCompareRules&);

  // Binds `prefix` to `uri` for the XPaths added after it. False with
  // `reason` when the prefix is no name, or either is bound already.
  bool declareNamespace(const std::string& prefix, const std::string& uri,
                        std::string& reason);
  // Compiles `xpath`; `by` (kUnordered only) names the attribute that pairs
  // the children, empty to pair them by their whole content. False with
  // `reason`: the XPath library's, an undeclared prefix, no node set.
  bool add(Kind kind, const std::string& xpath, const std::string& by,
           std::string& reason);
  bool empty() const;

  struct Data;
  const Data& data() const { return *data_; }

 private:
  std::shared_ptr<Data> data_;
};

struct XmlDifference {
  std::string path;         // "/answer/object[2]/@caption"
  std::string description;  // "is \"Sales\" where the baseline has \"...\""
};

// The deepest nesting an answer compared as XML may have.
constexpr int kDeepestCompared = 2048;

// Two answers compared as XML, when both are well-formed. Their normal form:
// names are namespace URI and local name (shown with the rules' prefix for
// the URI, or ns1, ns2... in the order met, baseline first); attributes are
// a set; character and entity references are their characters, CDATA is
// text, adjacent text is one; comments, processing instructions, the
// declaration and the document type are left out, and so is text of white
// space only beside an element. Other text compares exactly.
struct XmlComparison {
  bool answerIsXml = false;
  bool baselineIsXml = false;
  // Why one is not XML: " at line 1, column 5: mismatched tag".
  std::string answerFault;
  std::string baselineFault;
  // One is nested deeper than kDeepestCompared: compared byte for byte.
  bool tooDeep = false;

  unsigned long count = 0;                 // every difference
  std::vector<XmlDifference> differences;  // the first `cap` of them
  // One element, attribute or text a line, attributes sorted, children
  // of unordered elements sorted: both filled when the answers differ.
  std::vector<std::string> answerLines;
  std::vector<std::string> baselineLines;
  // The prefixes given here to URIs the rules do not name.
  std::vector<std::pair<std::string, std::string>> namedHere;
};

// Compares `answer` with `baseline`. Throws a TOVException when memory runs
// out; an answer that is not well-formed is no failure (see answerIsXml).
XmlComparison compareXmlAnswers(std::string_view answer,
                                std::string_view baseline,
                                const XmlCompareRules& rules, std::size_t cap);

}  // namespace platform
