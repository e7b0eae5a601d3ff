// review BASELINE RECORDING [RULES]: each difference in turn at a terminal,
// accepted or skipped; what was accepted is written at the end.

#include <iostream>

#include "baseline/recording_comparison.h"
#include "baseline_tool/baseline_commands.h"
#include "platform/os/console.h"
#include "platform/os/interruption.h"

namespace {

using Kind = RecordingStep::Kind;

// a, s or q (Ctrl-D, or the end of the input, stops too); another key asks
// again. Ctrl-C ends the review: nothing is written.
char answer() {
  for (;;) {
    std::cout << "a accepts it, s skips it, q stops: " << std::flush;
    const int key = _getch();
    if (platform::interruptionRequested()) {
      std::cout << "\nInterrupted: nothing is written" << std::endl;
      platform::endAsInterrupted();
    }
    if (key < 0 || key == 4) return 'q';
    const char c = static_cast<char>(key);
    std::cout << (c >= ' ' && c < 0x7F ? c : '?') << '\n';
    if (c == 'a' || c == 's' || c == 'q') return c;
  }
}

}  // namespace

int reviewCommand(const Words& words) {
  if (words.size() < 2 || words.size() > 3) return usage();
  if (!platform::conversingAtTerminal()) {
    return refuse(
        "mdprovider_baseline review asks at a terminal: run it there, or use "
        "diff and accept");
  }
  const std::string& baseline = words[0];
  const std::string& recording = words[1];
  // Ctrl-C at a question ends the wait for the key, the terminal as it was.
  platform::watchForInterruption();
  std::vector<Kind> steps;
  std::vector<char> accepted;
  SeqRange range;
  {
    RecordingComparison comparison;
    std::string problem;
    if (!comparison.open(baseline, recording, words.size() == 3 ? words[2] : "",
                         problem)) {
      return refuse(problem);
    }
    bool stopped = false;
    bool blockTaken = false;  // the decision on a run of removed records
    unsigned long shown = 0;
    comparison.walk([&](const RecordingStep& step, const Verdict* verdict) {
      bool take = false;
      if (verdict != nullptr && !stopped) {
        std::cout << "\n[" << ++shown << "] " << verdict->line << '\n'
                  << verdict->details;
        const char key = answer();
        stopped = key == 'q';
        take = key == 'a';
        blockTaken = take;
      } else if (step.kind == Kind::kRemoved && verdict == nullptr) {
        take = blockTaken;
      }
      steps.push_back(step.kind);
      accepted.push_back(take ? 1 : 0);
    });
    range = comparison.baseline().range();
    if (shown == 0) {
      std::cout << "\"" << recording << "\" holds the answers of \"" << baseline
                << "\": nothing to review" << std::endl;
      return 0;
    }
  }
  return mergeAccepted(baseline, recording, steps, accepted, range);
}
