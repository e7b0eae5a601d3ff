#include "stand_in_provider/faults.h"

namespace {

// A whole decimal number of at most nine digits, nothing else: "8o80" and
// "12abc" are none.
bool number(const std::string& text, long& value) {
  if (text.empty() || text.size() > 9) return false;
  value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  return true;
}

// "N:V" into its two numbers, N from 1.
bool pair(const std::string& text, long& first, long& second) {
  const std::size_t colon = text.find(':');
  return colon != std::string::npos && number(text.substr(0, colon), first) &&
         number(text.substr(colon + 1), second) && first > 0;
}

}  // namespace

bool Faults::take(const std::string& flag, const std::string& value) {
  long n = 0;
  long v = 0;
  const bool request = number(value, n) && n > 0;
  if (flag == "--status" && pair(value, n, v)) {
    status[n] = static_cast<int>(v);
  } else if (flag == "--delay" && pair(value, n, v)) {
    delayMs[n] = v;
  } else if (flag == "--drop" && request) {
    drop[n] = true;
  } else if (flag == "--garbage" && request) {
    garbage[n] = true;
  } else if (flag == "--close-after" && request) {
    closeAfter[n] = true;
  } else if (flag == "--differ" && request) {
    differ[n] = true;
  } else if (flag == "--basic") {
    // A login the client can give: a user and a password, neither empty.
    const std::size_t colon = value.find(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 == value.size())
      return false;
    basic = value;
  } else {
    return false;
  }
  return true;
}

bool portNumber(const std::string& text, int& port) {
  long value = 0;
  if (!number(text, value) || value > 65535) return false;
  port = static_cast<int>(value);
  return true;
}
