#pragma once

#include <cstddef>
#include <string>
#include <vector>

// One row of two listings set side by side: the baseline's line on the
// left, the answer's on the right.
struct SideBySideRow {
  enum class Kind {
    kSame,     // both sides hold it
    kChanged,  // a line of each side, which differ
    kRemoved,  // only the baseline's
    kAdded,    // only the answer's
    kSkipped,  // `left` says how many lines the same are left out
  };
  Kind kind = Kind::kSame;
  std::size_t leftLine = 0;  // from 1; 0 where the side holds none
  std::size_t rightLine = 0;
  std::string left;
  std::string right;
};

// The two listings aligned line by line, the lines that differ marked,
// with `context` lines around each change and the runs of lines the same
// between changes left out. At most `rows` rows (a last skipped row says
// what is left out), each line cut to `width` characters. Changes are
// aligned where some 200 edits or fewer tell one listing from the other;
// past that the rest is shown as changed, line beside line.
std::vector<SideBySideRow> sideBySide(const std::vector<std::string>& baseline,
                                      const std::vector<std::string>& answer,
                                      std::size_t context, std::size_t rows,
                                      std::size_t width);
