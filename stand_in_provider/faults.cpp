#include "stand_in_provider/faults.h"

#include <cstdlib>

namespace {

// "N:V" into its two numbers.
bool pair(const std::string& text, long& first, long& second) {
  const std::size_t colon = text.find(':');
  if (colon == std::string::npos) return false;
  first = std::atol(text.substr(0, colon).c_str());
  second = std::atol(text.substr(colon + 1).c_str());
  return first > 0;
}

}  // namespace

bool Faults::take(const std::string& flag, const std::string& value) {
  long n = std::atol(value.c_str());
  long v = 0;
  if (flag == "--status" && pair(value, n, v)) {
    status[n] = static_cast<int>(v);
  } else if (flag == "--delay" && pair(value, n, v)) {
    delayMs[n] = v;
  } else if (flag == "--drop" && n > 0) {
    drop[n] = true;
  } else if (flag == "--garbage" && n > 0) {
    garbage[n] = true;
  } else if (flag == "--close-after" && n > 0) {
    closeAfter[n] = true;
  } else if (flag == "--differ" && n > 0) {
    differ[n] = true;
  } else if (flag == "--basic") {
    basic = value;
  } else {
    return false;
  }
  return true;
}
