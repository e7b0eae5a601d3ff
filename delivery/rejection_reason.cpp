#include "delivery/rejection_reason.h"

#include <memory>

#include "platform/core/tov_exception.h"
#include "platform/xml/xml_document.h"
#include "secrets/secret_mask.h"

namespace {

// An error page larger than this is no reason a line can give; parsing it
// would cost more than the line is worth.
constexpr std::size_t kLargestParsed = 64 * 1024;
// A text answer longer than this is a page, not a reason.
constexpr std::size_t kLargestText = 1024;
constexpr std::size_t kMostCharacters = 200;

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// The text of the first `error` element at any depth, when the answer is
// XML and has one.
std::string errorElementText(const std::string& answer) {
  TOVIDOM_Document document =
      TOVIDOM_DOMImplementation::getInstance()->createDocument();
  try {
    TOVIDOM_Parser(0).parse(
        answer.c_str(), static_cast<unsigned long>(answer.size()), document);
  } catch (TOVException* notXml) {
    const std::unique_ptr<TOVException> owned(notXml);
    return "";
  }
  const TOVIDOM_NodeList errors = document->getElementsByTagName("error");
  if (errors->getLength() == 0) return "";
  const TOVIDOM_Node text = errors->item(0)->getFirstChild();
  return text != nullptr ? text->getNodeValue().str() : "";
}

// The first line that is not blank, without the blanks around it.
std::string firstLine(const std::string& text) {
  std::size_t start = 0;
  while (start < text.size() && isBlank(text[start])) ++start;
  std::size_t end = text.find_first_of("\r\n", start);
  if (end == std::string::npos) end = text.size();
  while (end > start && isBlank(text[end - 1])) --end;
  return text.substr(start, end - start);
}

// The length of the UTF-8 sequence at `at`, or 0 when none begins there.
std::size_t sequenceAt(const std::string& text, std::size_t at) {
  const auto byte = [&text](std::size_t i) {
    return static_cast<unsigned char>(text[i]);
  };
  const unsigned char lead = byte(at);
  if (lead < 0x80) return 1;
  const std::size_t length = lead >= 0xF0 && lead <= 0xF4   ? 4
                             : lead >= 0xE0                 ? 3
                             : lead >= 0xC2 && lead <= 0xDF ? 2
                                                            : 0;
  if (length == 0 || at + length > text.size()) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) return 0;
  }
  return length;
}

// Cut to the most characters a line shows; a character the console should
// not be handed (a control character, a byte that is not UTF-8) becomes
// one it can show.
std::string shown(const std::string& line) {
  std::string out;
  std::size_t characters = 0;
  std::size_t cut = 0;  // where "..." goes if the line is too long
  for (std::size_t at = 0; at < line.size(); ++characters) {
    if (characters == kMostCharacters - 3) cut = out.size();
    const std::size_t length = sequenceAt(line, at);
    const auto lead = static_cast<unsigned char>(line[at]);
    if (length == 0) {
      out += "\xEF\xBF\xBD";
      ++at;
    } else if (length == 1 && (lead < 0x20 || lead == 0x7F)) {
      out += ' ';
      ++at;
    } else {
      out.append(line, at, length);
      at += length;
    }
  }
  if (characters > kMostCharacters) out.resize(cut);
  return characters > kMostCharacters ? out + "..." : out;
}

}  // namespace

std::string rejectionReason(const std::string& answer,
                            const SecretMask& secrets) {
  std::size_t start = 0;
  while (start < answer.size() && isBlank(answer[start])) ++start;
  std::string reason;
  if (start < answer.size() && answer[start] == '<') {
    if (answer.size() <= kLargestParsed) reason = errorElementText(answer);
  } else if (answer.size() <= kLargestText &&
             answer.find('\0') == std::string::npos) {
    reason = answer;
  }
  // Hidden before the cut: a secret cut in two would show in part.
  reason = secrets.hidden(firstLine(reason));
  return shown(reason);
}
