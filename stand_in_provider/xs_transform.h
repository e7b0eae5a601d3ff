#pragma once

#include <string>

// What applying a stylesheet gave: its output as the stylesheet writes it,
// or, when libxslt refused the stylesheet or failed to apply it, its reason.
struct TransformResult {
  bool applied = false;
  std::string text;
};

// Applies `stylesheet` to `input`, both XML texts. The stylesheet may read
// and write no file and reach no network.
TransformResult transform(const std::string& stylesheet,
                          const std::string& input);
