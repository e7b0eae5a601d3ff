#pragma once

// Every text a difference is told in: the console's line, the report's, the
// digest's and the listings'.

#include <string>
#include <string_view>

#include "baseline/difference.h"

// "/answer/object[2]/@caption is "Costs" where the baseline has "Sales"".
std::string describe(const Difference& difference);

// "Differs from the baseline: <name>: <first>" and " (and N more)".
std::string differenceLine(const std::string& name, const Difference& first,
                           unsigned long count);

// A value as a line shows it: quoted and cut, a masked one as (masked), a
// hidden password as ***.
std::string shownValue(std::string_view value, std::size_t width = 80);
// Text as a listing shows it, unquoted.
std::string shownLine(std::string_view text, std::size_t width);

// The place without positions or identities: "/answer/object/@caption".
std::string placeWithoutPositions(std::string_view place);

// The digest groups differences by kind and place without positions.
std::string digestKey(const Difference& difference);
// The digest's text of a group: its first difference at the place without
// positions, "(values vary)" for a side whose values differ in the group.
std::string describeGroup(const Difference& first, bool answersVary,
                          bool baselinesVary);
