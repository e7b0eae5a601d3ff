#include "secrets/secret_mask.h"

#include <algorithm>

#include "platform/core/utf8_text.h"
#include "platform/core/wipe.h"

namespace {

constexpr std::string_view kShown = "***";

// The secret as XML text or an attribute value would carry it.
std::string xmlEscaped(const std::string& text) {
  std::string escaped;
  for (const char c : text) {
    switch (c) {
      case '&':
        escaped += "&amp;";
        break;
      case '<':
        escaped += "&lt;";
        break;
      case '>':
        escaped += "&gt;";
        break;
      case '"':
        escaped += "&quot;";
        break;
      case '\'':
        escaped += "&apos;";
        break;
      default:
        escaped += c;
    }
  }
  return escaped;
}

// Markup with its references and CDATA sections resolved, each byte of it
// knowing the span of markup it came from.
struct Resolved {
  std::string text;
  std::vector<std::size_t> begin, end;

  void add(std::string_view bytes, std::size_t from, std::size_t to) {
    text.append(bytes);
    begin.insert(begin.end(), bytes.size(), from);
    end.insert(end.end(), bytes.size(), to);
  }
};

// The character a reference at `at` stands for, and where it ends; false when
// it is none.
bool readReference(std::string_view text, std::size_t at, std::string& out,
                   std::size_t& after) {
  const std::size_t semicolon = text.find(';', at);
  if (semicolon == std::string_view::npos || semicolon - at > 12) return false;
  const std::string_view name = text.substr(at + 1, semicolon - at - 1);
  static const std::pair<std::string_view, char> kEntities[] = {
      {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
  for (const auto& [entity, c] : kEntities) {
    if (name == entity) {
      out.assign(1, c);
      after = semicolon + 1;
      return true;
    }
  }
  if (name.size() < 2 || name[0] != '#') return false;
  const bool hex = name[1] == 'x';
  const std::string_view digits = name.substr(hex ? 2 : 1);
  if (digits.empty()) return false;
  char32_t code = 0;
  for (const char c : digits) {
    int digit = -1;
    if (c >= '0' && c <= '9') digit = c - '0';
    if (hex && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    if (hex && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    if (digit < 0) return false;
    code = code * (hex ? 16 : 10) + static_cast<char32_t>(digit);
    if (code > 0x10FFFF) return false;
  }
  out.clear();
  platform::appendUtf8(out, code);
  after = semicolon + 1;
  return true;
}

Resolved resolve(std::string_view markup) {
  constexpr std::string_view kOpen = "<![CDATA[";
  constexpr std::string_view kClose = "]]>";
  Resolved resolved;
  std::string character;
  std::size_t at = 0;
  while (at < markup.size()) {
    if (markup.compare(at, kOpen.size(), kOpen) == 0) {
      const std::size_t close = markup.find(kClose, at + kOpen.size());
      const std::size_t stop =
          close == std::string_view::npos ? markup.size() : close;
      for (std::size_t i = at + kOpen.size(); i < stop; ++i) {
        resolved.add(markup.substr(i, 1), i, i + 1);
      }
      at = close == std::string_view::npos ? stop : close + kClose.size();
      continue;
    }
    std::size_t after = 0;
    if (markup[at] == '&' && readReference(markup, at, character, after)) {
      resolved.add(character, at, after);
      at = after;
      continue;
    }
    resolved.add(markup.substr(at, 1), at, at + 1);
    ++at;
  }
  return resolved;
}

}  // namespace

SecretMask::~SecretMask() {
  for (std::string& secret : secrets_) platform::wipe(secret);
}

void SecretMask::add(const std::string& secret) {
  if (secret.empty()) return;
  keep(secret);
  std::string escaped = xmlEscaped(secret);
  keep(escaped);
  platform::wipe(escaped);
}

void SecretMask::keep(const std::string& secret) {
  if (std::find(secrets_.begin(), secrets_.end(), secret) != secrets_.end()) {
    return;
  }
  secrets_.push_back(secret);
  // The longest first, so that a secret inside another is hidden with it.
  std::sort(secrets_.begin(), secrets_.end(),
            [](const std::string& a, const std::string& b) {
              return a.size() > b.size();
            });
}

std::size_t SecretMask::next(std::string_view text, std::size_t from,
                             std::size_t& size) const {
  std::size_t first = std::string_view::npos;
  for (const std::string& secret : secrets_) {
    const std::size_t at = text.find(secret, from);
    if (at < first) {
      first = at;
      size = secret.size();
    }
  }
  return first;
}

bool SecretMask::appearsIn(std::string_view text) const {
  std::size_t size = 0;
  return next(text, 0, size) != std::string_view::npos;
}

std::string SecretMask::hidden(std::string_view text,
                               std::vector<std::size_t>* at) const {
  return hiddenHead(text, std::string::npos, at);
}

std::string SecretMask::hiddenHead(std::string_view text, std::size_t most,
                                   std::vector<std::size_t>* hiddenAt) const {
  std::string shown;
  std::size_t from = 0;
  while (shown.size() < most) {
    std::size_t size = 0;
    const std::size_t at = next(text, from, size);
    const std::string_view plain =
        text.substr(from, at == std::string_view::npos ? text.npos : at - from);
    // Plain text holds the start of no secret: it may be cut anywhere.
    if (shown.size() + plain.size() >= most) {
      shown.append(plain.substr(0, most - shown.size()));
      break;
    }
    shown.append(plain);
    if (at == std::string_view::npos) break;
    if (hiddenAt != nullptr && shown.size() + kShown.size() <= most) {
      hiddenAt->push_back(shown.size());
    }
    shown.append(
        kShown.substr(0, std::min(kShown.size(), most - shown.size())));
    from = at + size;
  }
  return shown;
}

std::string SecretMask::hiddenInMarkup(std::string_view text) const {
  const std::string plain = hidden(text);
  if (secrets_.empty() || (plain.find('&') == std::string::npos &&
                           plain.find("<![CDATA[") == std::string::npos)) {
    return plain;
  }
  Resolved resolved = resolve(plain);
  // The spans of markup that spell a secret, in order, joined where they meet.
  std::vector<std::pair<std::size_t, std::size_t>> spans;
  std::size_t from = 0;
  std::size_t size = 0;
  for (std::size_t at = next(resolved.text, from, size);
       at != std::string_view::npos; at = next(resolved.text, from, size)) {
    const std::size_t begin = resolved.begin[at];
    const std::size_t end = resolved.end[at + size - 1];
    if (!spans.empty() && begin <= spans.back().second) {
      spans.back().second = std::max(spans.back().second, end);
    } else {
      spans.emplace_back(begin, end);
    }
    from = at + size;
  }
  platform::wipe(resolved.text);
  if (spans.empty()) return plain;
  std::string shown;
  std::size_t kept = 0;
  for (const auto& [begin, end] : spans) {
    shown.append(plain, kept, begin - kept);
    shown.append(kShown);
    kept = end;
  }
  shown.append(plain, kept, std::string::npos);
  return shown;
}

bool SecretMask::appearsInMarkup(std::string_view text) const {
  if (appearsIn(text)) return true;
  if (secrets_.empty() || (text.find('&') == std::string_view::npos &&
                           text.find("<![CDATA[") == std::string_view::npos)) {
    return false;
  }
  Resolved resolved = resolve(text);
  const bool found = appearsIn(resolved.text);
  platform::wipe(resolved.text);
  return found;
}
