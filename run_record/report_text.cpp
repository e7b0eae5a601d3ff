#include "run_record/report_text.h"

#include <charconv>
#include <cstdint>

#include "platform/xml/xml_text_check.h"
#include "secrets/secret_mask.h"

namespace {

void appendShown(std::string& out, const SecretMask* secrets,
                 const std::string& text, bool asText) {
  if (secrets == nullptr || !secrets->appearsInMarkup(text)) {
    platform::appendXmlEscaped(out, text.data(), text.size(), asText);
  } else {
    // An answer's text may spell a secret in references or CDATA.
    const std::string shown = secrets->hiddenInMarkup(text);
    platform::appendXmlEscaped(out, shown.data(), shown.size(), asText);
  }
}

}  // namespace

ReportText& ReportText::escaped(const std::string& text) {
  appendShown(text_, secrets_, text, false);
  return *this;
}

ReportText& ReportText::escapedText(const std::string& text) {
  appendShown(text_, secrets_, text, true);
  return *this;
}

ReportText& ReportText::number(long value) {
  char digits[24];
  const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  text_.append(digits, end);
  return *this;
}

ReportText& ReportText::seconds(double value) {
  const auto micros =
      static_cast<std::int64_t>(value < 0 ? 0 : value * 1e6 + 0.5);
  number(static_cast<long>(micros / 1000000));
  char fraction[7];
  std::int64_t rest = micros % 1000000;
  for (int i = 5; i >= 0; --i, rest /= 10) {
    fraction[i] = static_cast<char>('0' + rest % 10);
  }
  text_ += '.';
  text_.append(fraction, 6);
  return *this;
}
