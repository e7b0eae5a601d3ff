#pragma once

#include <cstddef>
#include <string>
#include <unordered_map>
#include <vector>

#include "baseline/difference.h"

// Every kind of difference of a run once, by its place without positions,
// with the number of answers it occurs in. Holds at most kGroups kinds,
// whatever the run's length.
class DifferenceDigest {
 public:
  static constexpr std::size_t kGroups = 10000;

  // The differences of one differing answer (or of one removal).
  void add(const std::vector<Difference>& differences);
  bool empty() const { return groups_.empty(); }

  struct Line {
    std::string text;  // "/answer/@version is "2.2" where the baseline has ..."
    unsigned long answers = 0;
  };
  // The most frequent first, at most `most`.
  std::vector<Line> lines(std::size_t most) const;

 private:
  struct Group {
    Difference first;
    bool answersVary = false;
    bool baselinesVary = false;
    unsigned long answers = 0;
    std::size_t order = 0;
  };
  std::unordered_map<std::string, Group> groups_;
};

// "Differences by place: 180 answers: <text>".
std::string digestLine(const DifferenceDigest::Line& line);
