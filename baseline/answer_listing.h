#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "baseline/tree_comparison.h"

// An answer's normal form as lines, one element, attribute or text a line,
// indented by depth, attributes sorted, the children of an unordered
// element sorted so that both sides list a set alike. Made a line at a
// time: a listing is never held whole.
class FormListing {
 public:
  FormListing(const ComparedForm& form, const platform::XmlNameTable& names);
  ~FormListing();
  // False at the end.
  bool next(std::string& line);

 private:
  struct Walk;
  std::unique_ptr<Walk> walk_;
};

// The lines of both listings around where they first differ: from
// `context` lines before, at most `most` of each; `first` is the number of
// the first line shown, from 0; `cut` when more follow.
struct ListingWindow {
  std::size_t first = 0;
  std::vector<std::string> answer;
  std::vector<std::string> baseline;
  bool cut = false;
};
ListingWindow listingWindow(const ComparedForm& answer,
                            const ComparedForm& baseline,
                            const platform::XmlNameTable& names,
                            std::size_t context, std::size_t most);
