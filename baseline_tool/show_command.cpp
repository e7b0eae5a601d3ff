// show BASELINE [KEY]: the records of a baseline, or those a key names, as
// text.

#include <iostream>

#include "baseline/baseline_reader.h"
#include "baseline/difference_text.h"
#include "baseline_tool/baseline_commands.h"
#include "platform/xml/xml_text_check.h"

namespace {

// A body that is text shows as it is; any other, a line at a time, with
// what is not text escaped.
void showBody(const std::string& body) {
  const bool text = platform::xmlValueFault(body).empty();
  if (text) {
    std::cout << body;
    if (!body.empty() && body.back() != '\n') std::cout << '\n';
    return;
  }
  for (std::size_t at = 0; at < body.size();) {
    std::size_t end = body.find('\n', at);
    if (end == std::string::npos) end = body.size();
    std::cout << shownLine(std::string_view(body).substr(at, end - at),
                           static_cast<std::size_t>(-1))
              << '\n';
    at = end + 1;
  }
}

}  // namespace

int showCommand(const Words& words) {
  if (words.empty() || words.size() > 2) return usage();
  BaselineReader reader;
  std::string problem;
  if (!reader.open(words[0], problem)) return refuse(problem);
  if (!reader.range().whole()) {
    std::cout << "A recording of the transactions of -b"
              << reader.range().first;
    if (reader.range().last != -1) std::cout << " -e" << reader.range().last;
    std::cout << "\n\n";
  }
  unsigned long long shown = 0;
  BaselineRecord record;
  while (reader.ahead(0) != nullptr) {
    const baseline_file::RecordHeader& next = *reader.ahead(0);
    if (words.size() == 2 &&
        baseline_file::testcaseName(next.key) != words[1]) {
      reader.take(0, record, 0, [](const baseline_file::RecordHeader&) {});
      continue;
    }
    reader.take(0, record, static_cast<std::size_t>(-1),
                [](const baseline_file::RecordHeader&) {});
    const baseline_file::RecordHeader& header = record.header;
    std::cout << baseline_file::requestName(header.key) << ": HTTP "
              << header.status << ", "
              << (!header.mediaKnown         ? "media type not recorded"
                  : header.mediaType.empty() ? "no media type"
                                             : header.mediaType)
              << ", "
              << (header.milliseconds < 0
                      ? std::string("time not recorded")
                      : std::to_string(header.milliseconds) + " ms")
              << ", " << header.bodySize << " bytes\n";
    showBody(record.body);
    std::cout << '\n';
    ++shown;
  }
  std::cout << std::flush;
  if (words.size() == 2 && shown == 0) {
    return refuse("No record of \"" + words[0] + "\" is named \"" + words[1] +
                  "\"");
  }
  return 0;
}
