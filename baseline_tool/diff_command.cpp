// diff BASELINE RECORDING [RULES]: what a run that compared with the
// baseline while it recorded would have said.

#include <iostream>

#include "baseline/difference_digest.h"
#include "baseline/recording_comparison.h"
#include "baseline_tool/baseline_commands.h"

namespace {

constexpr std::size_t kDigestLines = 20;

}  // namespace

int diffCommand(const Words& words) {
  if (words.size() < 2 || words.size() > 3) return usage();
  RecordingComparison comparison;
  std::string problem;
  if (!comparison.open(words[0], words[1], words.size() == 3 ? words[2] : "",
                       problem)) {
    return refuse(problem);
  }
  DifferenceDigest digest;
  unsigned long long records = 0;
  unsigned long long differing = 0;
  unsigned long long removed = 0;
  unsigned long long kept = 0;
  using Kind = RecordingStep::Kind;
  comparison.walk([&](const RecordingStep& step, const Verdict* verdict) {
    if (step.hasRecording()) ++records;
    if (step.kind == Kind::kKept) ++kept;
    if (step.kind == Kind::kRemoved) ++removed;
    if (verdict == nullptr) return;
    if (step.hasRecording()) ++differing;
    digest.add(verdict->differences);
    // Every one: a run shows the first few, a diff is asked for all.
    std::cout << verdict->line << '\n';
  });
  for (const DifferenceDigest::Line& line : digest.lines(kDigestLines)) {
    std::cout << digestLine(line) << '\n';
  }
  std::cout << "Compared \"" << words[1] << "\" with \"" << words[0]
            << "\": " << records << " records, " << differing << " differing, "
            << removed << " removed from the log, " << kept << " not reached"
            << std::endl;
  return differing + removed > 0 ? 1 : 0;
}
