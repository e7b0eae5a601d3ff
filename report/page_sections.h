#pragma once

// Internal to the page's writer: its sections, one file each concern.

#include <cstdint>
#include <string>

class HtmlOut;
class RunPage;

extern const char* const kPageStyle;
extern const char* const kPageScript;

// What a section may add to the page before it stops listing and says how
// many more there are: the page stays under 5 MB whatever the texts hold.
inline constexpr std::uint64_t kListedBudget = 1500 * 1024;
inline constexpr std::uint64_t kBaselineBudget = 3000 * 1024;

// How the run ended: the badge, the sentence that says why, and the exit
// status.
struct PageVerdict {
  const char* badge;
  std::string why;
  const char* exitStatus;
};
PageVerdict verdictOf(const RunPage& page);

void writeRunSection(HtmlOut& out, const RunPage& page,
                     const PageVerdict& verdict);
void writeTimesSection(HtmlOut& out, const RunPage& page);
void writeSlowestSection(HtmlOut& out, const RunPage& page);
void writeListedSection(HtmlOut& out, const RunPage& page);
// Only for a run compared with a baseline.
void writeBaselineSection(HtmlOut& out, const RunPage& page);
void writeBaselineTimesSection(HtmlOut& out, const RunPage& page);
