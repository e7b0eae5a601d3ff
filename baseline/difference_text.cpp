#include "baseline/difference_text.h"

#include "platform/xml/xml_normal_form.h"
#include "platform/xml/xml_text_check.h"

namespace {

constexpr std::size_t kExcerptWidth = 60;
constexpr std::string_view kVary = "(values vary)";

bool holdsPassword(std::string_view value) {
  return value.find(kHiddenPassword) != std::string_view::npos;
}

std::string withoutPassword(std::string_view value) {
  std::string shown(value);
  for (std::size_t at = 0;
       (at = shown.find(kHiddenPassword, at)) != std::string::npos; at += 3) {
    shown.replace(at, kHiddenPassword.size(), "***");
  }
  return shown;
}

std::string excerpt(const Difference& difference, std::string_view text) {
  return (difference.from != 0 ? "..." : "") + shownValue(text, kExcerptWidth);
}

std::string valueText(const std::string& place, std::string_view answer,
                      std::string_view baseline) {
  if (holdsPassword(answer) && !holdsPassword(baseline)) {
    return place + " holds the run's password where the baseline has " +
           shownValue(baseline);
  }
  if (holdsPassword(baseline) && !holdsPassword(answer)) {
    return place + " is " + shownValue(answer) +
           " where the baseline holds a hidden password";
  }
  return place + " is " + shownValue(answer) + " where the baseline has " +
         shownValue(baseline);
}

std::string describeAt(const Difference& d, const std::string& place,
                       const std::string& answer, const std::string& baseline) {
  using Kind = Difference::Kind;
  std::string text;
  switch (d.kind) {
    case Kind::kValue:
      text = valueText(place, answer, baseline);
      break;
    case Kind::kAdded:
      text = place + " is not in the baseline";
      break;
    case Kind::kMissing:
      text = place + " is missing (the baseline has it)";
      break;
    case Kind::kMoved:
      text = place + " moved from position " + std::to_string(d.from) + " to " +
             std::to_string(d.to);
      break;
    case Kind::kOrder:
      text = place + " has its children in another order: " +
             platform::shownText(answer, 80, true) +
             " where the baseline has " +
             platform::shownText(baseline, 80, true);
      break;
    case Kind::kStatus:
      text = "HTTP " + answer + " where the baseline has HTTP " + baseline;
      break;
    case Kind::kMediaType:
      text = "the media type is " +
             (answer.empty() ? std::string("none") : shownValue(answer)) +
             " where the baseline has " +
             (baseline.empty() ? std::string("none") : shownValue(baseline));
      break;
    case Kind::kEmpty:
      text = "the body is empty where the baseline has " +
             shownValue(baseline, kExcerptWidth);
      break;
    case Kind::kBaselineEmpty:
      text = "the body is " + shownValue(answer, kExcerptWidth) +
             " where the baseline's is empty";
      break;
    case Kind::kNotXml:
      text = "the body is not well-formed XML (" + answer +
             ") where the baseline's is";
      break;
    case Kind::kBaselineNotXml:
      text = "the body is well-formed XML where the baseline's is not (" +
             baseline + ")";
      break;
    case Kind::kBytes:
      if (holdsPassword(answer) && !holdsPassword(baseline)) {
        text = "the body holds the run's password at " + place +
               " where the baseline has " + excerpt(d, baseline);
      } else if (holdsPassword(baseline) && !holdsPassword(answer)) {
        text = "the body differs at " + place + ": " + excerpt(d, answer) +
               " where the baseline holds a hidden password";
      } else {
        text = "the body differs at " + place + ": " + excerpt(d, answer) +
               " where the baseline has " + excerpt(d, baseline);
      }
      break;
    case Kind::kEndsEarly:
      text = "the body ends at " + place +
             " where the baseline goes on: " + excerpt(d, baseline);
      break;
    case Kind::kGoesOn:
      text = "the body goes on at " + place +
             " where the baseline ends: " + excerpt(d, answer);
      break;
    case Kind::kNotInBaseline:
      text = "not in the baseline";
      break;
    case Kind::kAddedToLog:
      text = "added to the log: not in the baseline";
      break;
    case Kind::kRemovedFromLog:
      text = "removed from the log: " + answer;
      break;
    case Kind::kRequestChanged:
      text =
          "the request differs from the recorded one: the log or script "
          "changed here";
      break;
  }
  if (!d.note.empty()) text += " " + d.note;
  return text;
}

}  // namespace

std::string shownValue(std::string_view value, std::size_t width) {
  if (value == platform::kMaskedValue) return "(masked)";
  return platform::shownText(withoutPassword(value), width, true);
}

std::string shownLine(std::string_view text, std::size_t width) {
  if (text == platform::kMaskedValue) return "(masked)";
  return platform::shownText(withoutPassword(text), width, false);
}

std::string describe(const Difference& difference) {
  return describeAt(difference, difference.place, difference.answer,
                    difference.baseline);
}

std::string differenceLine(const std::string& name, const Difference& first,
                           unsigned long count) {
  std::string line =
      "Differs from the baseline: " + name + ": " + describe(first);
  if (count > 1) line += " (and " + std::to_string(count - 1) + " more)";
  return line;
}

std::string placeWithoutPositions(std::string_view place) {
  std::string plain;
  int depth = 0;
  char quote = 0;
  bool escaped = false;
  for (const char c : place) {
    if (quote != 0) {
      // Values show a quote or a backslash of their own escaped.
      if (escaped) {
        escaped = false;
      } else if (c == '\\') {
        escaped = true;
      } else if (c == quote) {
        quote = 0;
      }
    } else if (depth > 0 && c == '"') {
      quote = c;
    } else if (c == '[') {
      ++depth;
    } else if (c == ']') {
      --depth;
    } else if (depth == 0) {
      plain += c;
    }
  }
  return plain;
}

namespace {

bool placed(Difference::Kind kind) {
  using Kind = Difference::Kind;
  return kind == Kind::kValue || kind == Kind::kAdded ||
         kind == Kind::kMissing || kind == Kind::kMoved || kind == Kind::kOrder;
}

}  // namespace

std::string digestKey(const Difference& difference) {
  std::string key = std::to_string(static_cast<int>(difference.kind));
  key += '\0';
  if (placed(difference.kind)) key += placeWithoutPositions(difference.place);
  return key;
}

std::string describeGroup(const Difference& first, bool answersVary,
                          bool baselinesVary) {
  using Kind = Difference::Kind;
  const std::string place =
      placed(first.kind) ? placeWithoutPositions(first.place) : "";
  if (first.kind == Kind::kMoved && (answersVary || baselinesVary)) {
    return place + " moved (positions vary)";
  }
  if (first.kind == Kind::kRemovedFromLog) {
    return answersVary ? "removed from the log (records vary)"
                       : describe(first);
  }
  if (first.kind == Kind::kBytes || first.kind == Kind::kEndsEarly ||
      first.kind == Kind::kGoesOn) {
    return "the body differs byte for byte" +
           (first.note.empty() ? std::string() : " " + first.note);
  }
  if (first.kind == Kind::kValue && (answersVary || baselinesVary)) {
    return place + " is " +
           (answersVary ? std::string(kVary) : shownValue(first.answer)) +
           " where the baseline has " +
           (baselinesVary ? std::string(kVary) : shownValue(first.baseline));
  }
  Difference shown = first;
  shown.place = place;
  if (answersVary) shown.answer = std::string(kVary);
  if (baselinesVary) shown.baseline = std::string(kVary);
  return describe(shown);
}
