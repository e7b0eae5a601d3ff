#pragma once

#include <functional>
#include <string_view>

class RunPage;

// The page of `page` as one HTML document that needs nothing outside
// itself: inline style, drawings and script, and a Content-Security-Policy
// that lets nothing else load or run. Handed to `sink` in pieces.
void writeRunPage(const RunPage& page,
                  const std::function<void(std::string_view)>& sink);
