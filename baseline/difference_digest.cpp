#include "baseline/difference_digest.h"

#include <algorithm>
#include <unordered_set>

#include "baseline/difference_text.h"

void DifferenceDigest::add(const std::vector<Difference>& differences) {
  std::unordered_set<std::string> seen;
  for (const Difference& difference : differences) {
    std::string key = digestKey(difference);
    if (!seen.insert(key).second) continue;
    auto found = groups_.find(key);
    if (found == groups_.end()) {
      if (groups_.size() >= kGroups) continue;
      Group group;
      group.first = difference;
      group.order = groups_.size();
      found = groups_.emplace(std::move(key), std::move(group)).first;
    }
    Group& group = found->second;
    ++group.answers;
    const Difference& first = group.first;
    group.answersVary = group.answersVary ||
                        first.answer != difference.answer ||
                        first.to != difference.to;
    group.baselinesVary = group.baselinesVary ||
                          first.baseline != difference.baseline ||
                          first.from != difference.from;
  }
}

std::vector<DifferenceDigest::Line> DifferenceDigest::lines(
    std::size_t most) const {
  std::vector<const Group*> sorted;
  for (const auto& [key, group] : groups_) sorted.push_back(&group);
  std::sort(sorted.begin(), sorted.end(), [](const Group* x, const Group* y) {
    return x->answers != y->answers ? x->answers > y->answers
                                    : x->order < y->order;
  });
  std::vector<Line> lines;
  for (const Group* group : sorted) {
    if (lines.size() == most) break;
    lines.push_back(
        {describeGroup(group->first, group->answersVary, group->baselinesVary),
         group->answers});
  }
  return lines;
}

std::string digestLine(const DifferenceDigest::Line& line) {
  return "Differences by place: " + std::to_string(line.answers) +
         (line.answers == 1 ? " answer: " : " answers: ") + line.text;
}
