#include "platform/http/answer_header.h"

#include "platform/core/ascii_case.h"

namespace platform {

namespace {

// "HTTP/1.1 401 Unauthorized": the status.
bool statusOf(std::string_view line, long& status) {
  if (!startsWithIgnoringCase(line, "HTTP/")) return false;
  const std::size_t space = line.find(' ');
  if (space == std::string_view::npos) return false;
  status = 0;
  for (std::size_t i = space + 1; i < line.size() && i < space + 4; ++i) {
    if (line[i] < '0' || line[i] > '9') return false;
    status = status * 10 + (line[i] - '0');
  }
  return true;
}

}  // namespace

AnswerHeaderLine readAnswerHeaderLine(std::string_view line) {
  AnswerHeaderLine read;
  constexpr std::string_view kChallenge = "WWW-Authenticate:";
  if (statusOf(line, read.status)) {
    read.kind = AnswerHeaderLine::Kind::kStatus;
  } else if (startsWithIgnoringCase(line, kChallenge)) {
    read.kind = AnswerHeaderLine::Kind::kChallenge;
    read.value = line.substr(kChallenge.size());
  } else if (line == "\r\n" || line == "\n") {
    read.kind = AnswerHeaderLine::Kind::kEnd;
  }
  return read;
}

}  // namespace platform
