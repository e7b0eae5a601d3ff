#include "stand_in_provider/answer_stamp.h"

#include <cstdio>

namespace {

struct CivilDate {
  long long year;
  long long month;
  long long day;
};

// The proleptic Gregorian date of a day counted from 1970-01-01, without
// the C library's gmtime, which is neither thread-safe nor the same
// everywhere.
CivilDate dateOf(long long days) {
  days += 719468;
  const long long era = (days >= 0 ? days : days - 146096) / 146097;
  const long long dayOfEra = days - era * 146097;
  const long long yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const long long dayOfYear =
      dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const long long shifted = (5 * dayOfYear + 2) / 153;
  const long long month = shifted < 10 ? shifted + 3 : shifted - 9;
  return {yearOfEra + era * 400 + (month <= 2 ? 1 : 0), month,
          dayOfYear - (153 * shifted + 2) / 5 + 1};
}

}  // namespace

AnswerStamp::AnswerStamp() {
  // The clock too, where the system's random device is weak.
  std::random_device device;
  const auto now = static_cast<unsigned long long>(
      std::chrono::steady_clock::now().time_since_epoch().count());
  std::seed_seq seed{device(), device(), static_cast<unsigned>(now),
                     static_cast<unsigned>(now >> 32)};
  random_.seed(seed);
}

std::string AnswerStamp::time() const {
  return isoTime(std::chrono::system_clock::now());
}

std::string AnswerStamp::id() {
  char text[17];
  std::snprintf(text, sizeof text, "%016llx",
                static_cast<unsigned long long>(random_()));
  return text;
}

std::string isoTime(std::chrono::system_clock::time_point when) {
  const long long ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                           when.time_since_epoch())
                           .count();
  const long long msPerDay = 86'400'000;
  long long days = ms / msPerDay;
  long long inDay = ms % msPerDay;
  if (inDay < 0) {
    inDay += msPerDay;
    --days;
  }
  const CivilDate date = dateOf(days);
  char text[40];
  std::snprintf(text, sizeof text,
                "%04lld-%02lld-%02lldT%02lld:%02lld:%02lld.%03lldZ", date.year,
                date.month, date.day, inDay / 3'600'000, inDay / 60'000 % 60,
                inDay / 1000 % 60, inDay % 1000);
  return text;
}
