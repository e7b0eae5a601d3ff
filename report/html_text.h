#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Text from anywhere (a provider's answer, a log, a baseline, the command
// line) made safe for the page: escaped for HTML text and quoted attribute
// values alike, and valid whatever it holds. Bytes that are not UTF-8, C1
// controls and noncharacters become U+FFFD; C0 controls and DEL show as
// their Control Pictures (U+2400...), since HTML allows none of them; CR LF
// is a line end, a lone CR shows as U+240D.
namespace html {

// The whole of `text`.
void appendEscaped(std::string& out, std::string_view text);
// At most `width` characters of it, then "…" when there was more.
void appendEscapedCut(std::string& out, std::string_view text,
                      std::size_t width);
// `text` cut to at most `width` characters, whole UTF-8 sequences kept, "…"
// added when cut: for what the page keeps of long texts as the run goes.
std::string cut(std::string_view text, std::size_t width);

}  // namespace html
