#include "platform/core/decimal_number.h"

#include <climits>

namespace platform {

namespace {

bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' ||
         c == '\r';
}

}  // namespace

int decimalToInt(const char* text) {
  if (text == nullptr) return 0;
  while (isBlank(*text)) ++text;
  bool negative = false;
  if (*text == '+' || *text == '-') negative = (*text++ == '-');
  // Accumulate towards the limit of the sign; once past it, the digits that
  // follow cannot bring the value back.
  const long long limit = negative ? -static_cast<long long>(INT_MIN) : INT_MAX;
  long long value = 0;
  for (; *text >= '0' && *text <= '9'; ++text) {
    if (value <= limit) value = value * 10 + (*text - '0');
  }
  if (value > limit) value = limit;
  return static_cast<int>(negative ? -value : value);
}

}  // namespace platform
