// The time a chat row shows for its last message: by the local calendar day, not by hours.
#include <gtest/gtest.h>
#include <time.h>

#include <cstdlib>
#include <string>

#include "app/qvnListTime.h"

namespace qvn::test {
namespace {

// Sets the process's time zone while it lives, then puts the previous one back.
class TZoneScope {
 public:
  explicit TZoneScope(const char* aZone) {
    if (const char* previous = std::getenv("TZ")) FPrevious = previous;
    setenv("TZ", aZone, 1);
    tzset();
  }
  ~TZoneScope() {
    if (FPrevious.empty()) {
      unsetenv("TZ");
    } else {
      setenv("TZ", FPrevious.c_str(), 1);
    }
    tzset();
  }

 private:
  std::string FPrevious;
};

// The Unix time of a local date and time.
int64_t Local(int aYear, int aMonth, int aDay, int aHour, int aMinute) {
  std::tm local{};
  local.tm_year = aYear - 1900;
  local.tm_mon = aMonth - 1;
  local.tm_mday = aDay;
  local.tm_hour = aHour;
  local.tm_min = aMinute;
  local.tm_isdst = -1;
  return static_cast<int64_t>(std::mktime(&local));
}

TEST(ListTime, TodayTheWeekBeforeAndOlder) {
  // Central European time: the clocks go forward on 2025-03-30, a day of 23 hours.
  const TZoneScope zone("CET-1CEST,M3.5.0,M10.5.0/3");
  const int64_t friday = Local(2025, 3, 14, 0, 10);       // Friday 00:10
  const int64_t afterChange = Local(2025, 3, 31, 0, 30);  // Monday, the day after the change
  const struct {
    const char* Name;
    int64_t Date;
    int64_t Now;
    const char* Text;
  } cases[] = {
      {"earlier today", Local(2025, 3, 14, 0, 0), friday, "00:00"},
      {"later today (a clock ahead)", Local(2025, 3, 14, 23, 59), friday, "23:59"},
      {"twenty minutes ago, yesterday", Local(2025, 3, 13, 23, 50), friday, "Thu"},
      {"six days before", Local(2025, 3, 8, 9, 0), friday, "Sat"},
      {"seven days before", Local(2025, 3, 7, 23, 59), friday, "2025-03-07"},
      {"tomorrow", Local(2025, 3, 15, 0, 5), friday, "2025-03-15"},
      {"a year before", Local(2024, 3, 14, 12, 0), friday, "2024-03-14"},
      {"23 hours before, across the change", Local(2025, 3, 30, 0, 30), afterChange, "Sun"},
      {"in summer time", Local(2025, 3, 31, 0, 5), afterChange, "00:05"},
      {"no message", 0, friday, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(ListTimeText(c.Date, c.Now), c.Text);
  }
}

}  // namespace
}  // namespace qvn::test
