#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "baseline/answer_listing.h"

// A unified diff of a window of two listings, from the baseline to the
// answer, of at most `most` lines; empty when they are the same.
std::string unifiedDiff(const ListingWindow& window, std::size_t most);

// A unified diff of two bodies from a few lines before the byte
// `firstDifference`, of at most `most` lines.
std::string textDiff(std::string_view answer, std::string_view baseline,
                     std::size_t firstDifference, std::size_t most);
