#pragma once

// Reading a run's page in a test: the figures it shows by their ids.

#include <cstddef>
#include <regex>
#include <string>
#include <utility>

namespace test_support {

// The text of the element with this id as a reader sees it, markup left
// out and references resolved, or "<no ID>".
inline std::string pageText(const std::string& html, const std::string& id) {
  const std::size_t at = html.find("id=\"" + id + "\"");
  if (at == std::string::npos) return "<no " + id + ">";
  const std::size_t open = html.find('>', at) + 1;
  std::string text = html.substr(open, html.find("</", open) - open);
  text = std::regex_replace(text, std::regex("<[^>]*>"), "");
  for (const auto& [reference, character] :
       {std::pair<const char*, const char*>{"&quot;", "\""},
        {"&#39;", "'"},
        {"&lt;", "<"},
        {"&gt;", ">"},
        {"&amp;", "&"}}) {
    text = std::regex_replace(text, std::regex(reference), character);
  }
  return text;
}

inline std::size_t occurrences(const std::string& text,
                               const std::string& what) {
  std::size_t count = 0;
  for (std::size_t at = text.find(what); at != std::string::npos;
       at = text.find(what, at + 1)) {
    ++count;
  }
  return count;
}

}  // namespace test_support
