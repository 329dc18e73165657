#include "app/qvnListTime.h"

#include <array>
#include <cstdio>
#include <ctime>

namespace qvn {
namespace {

std::tm LocalTime(int64_t aTime) {
  const std::time_t time = static_cast<std::time_t>(aTime);
  std::tm local{};
  localtime_r(&time, &local);
  return local;
}

// Days since 1970-01-01 of a calendar date: days apart, whatever the clock changes between.
int64_t DayNumber(const std::tm& aLocal) {
  const int64_t month = aLocal.tm_mon + 1;
  const int64_t year = aLocal.tm_year + 1900 - (month <= 2 ? 1 : 0);
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const int64_t yearOfEra = year - era * 400;
  const int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + aLocal.tm_mday - 1;
  const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

constexpr std::array<const char*, 7> kWeekdays = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};

}  // namespace

std::string ListTimeText(int64_t aDate, int64_t aNow) {
  if (aDate == 0) return {};
  const std::tm date = LocalTime(aDate);
  const int64_t daysAgo = DayNumber(LocalTime(aNow)) - DayNumber(date);
  char text[32];
  if (daysAgo == 0) {
    std::snprintf(text, sizeof text, "%02d:%02d", date.tm_hour, date.tm_min);
  } else if (daysAgo > 0 && daysAgo <= 6) {
    return kWeekdays[static_cast<size_t>(date.tm_wday)];
  } else {
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", date.tm_year + 1900, date.tm_mon + 1,
                  date.tm_mday);
  }
  return text;
}

}  // namespace qvn
