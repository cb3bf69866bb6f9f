#include "check/utc_time.h"

#include <cstdio>

namespace {

// Days since 1970-01-01 of a date of the proleptic Gregorian calendar, and
// back: the civil calendar counted in eras of 400 years, which repeat.
int64_t DaysFromCivil(int64_t year, int64_t month, int64_t day) {
  year -= month <= 2 ? 1 : 0;
  int64_t era = (year >= 0 ? year : year - 399) / 400;
  int64_t yearOfEra = year - era * 400;
  int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

void CivilFromDays(int64_t days, int64_t& year, int64_t& month, int64_t& day) {
  days += 719468;
  int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  int64_t dayOfEra = days - era * 146097;
  int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  int64_t shifted = (5 * dayOfYear + 2) / 153;
  day = dayOfYear - (153 * shifted + 2) / 5 + 1;
  month = shifted + (shifted < 10 ? 3 : -9);
  year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
}

// The number of `count` digits at `text`, or -1.
int64_t Digits(std::string_view text, size_t at, size_t count) {
  int64_t number = 0;
  for (size_t i = at; i < at + count; ++i) {
    if (text[i] < '0' || text[i] > '9') return -1;
    number = number * 10 + (text[i] - '0');
  }
  return number;
}

}  // namespace

std::string UtcTimeText(int64_t seconds) {
  int64_t days = (seconds >= 0 ? seconds : seconds - 86399) / 86400;
  int64_t inDay = seconds - days * 86400;
  int64_t year = 0, month = 0, day = 0;
  CivilFromDays(days, year, month, day);
  char text[128];  // room for any int64_t year the format could be given
  std::snprintf(text, sizeof text, "%04lld-%02lld-%02lldT%02lld:%02lld:%02lldZ", static_cast<long long>(year),
                static_cast<long long>(month), static_cast<long long>(day), static_cast<long long>(inDay / 3600),
                static_cast<long long>(inDay / 60 % 60), static_cast<long long>(inDay % 60));
  return text;
}

bool ParseUtcTime(std::string_view text, int64_t& seconds) {
  if (text.size() != 20 || text[4] != '-' || text[7] != '-' || text[10] != 'T' || text[13] != ':' ||
      text[16] != ':' || text[19] != 'Z') {
    return false;
  }
  int64_t year = Digits(text, 0, 4), month = Digits(text, 5, 2), day = Digits(text, 8, 2);
  int64_t hour = Digits(text, 11, 2), minute = Digits(text, 14, 2), second = Digits(text, 17, 2);
  if (year < 0 || month < 1 || month > 12 || day < 1 || hour < 0 || hour > 23 || minute < 0 || minute > 59 ||
      second < 0 || second > 60) {
    return false;
  }
  // The day must be one of its month.
  int64_t days = DaysFromCivil(year, month, day);
  int64_t y = 0, m = 0, d = 0;
  CivilFromDays(days, y, m, d);
  if (m != month || d != day) return false;
  seconds = days * 86400 + hour * 3600 + minute * 60 + second;
  return true;
}
