// SPDX-License-Identifier: GPL-3.0-or-later
#include "text/std_date.h"

#include <gtest/gtest.h>

namespace glimra::collection {
namespace {

TEST(StandardDate, KnownDays) {
  const struct { CalendarDate date; std::int32_t days; } cases[] = {
      {{1800, 12, 28}, 0},      {{1800, 12, 29}, 1},      {{1801, 1, 1}, 4},
      {{2015, 12, 1}, 78500},   {{1900, 3, 1}, 36222},    {{2000, 2, 29}, 72746},
      {{1970, 1, 1}, 61730},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(dateToDays(c.date), c.days) << c.date.year << "-" << c.date.month << "-" << c.date.day;
    EXPECT_EQ(daysToDate(c.days), c.date) << c.days;
  }
}

TEST(StandardDate, RoundTripsEveryDayFrom1801To9999) {
  CalendarDate expected{1800, 12, 29};
  const std::int32_t last = dateToDays({9999, 12, 31});
  for (std::int32_t day = 1; day <= last; ++day) {
    const CalendarDate date = daysToDate(day);
    ASSERT_EQ(date, expected) << day;
    ASSERT_EQ(dateToDays(date), day);
    // The next calendar day.
    if (++expected.day > daysInMonth(expected.year, expected.month)) {
      expected.day = 1;
      if (++expected.month > 12) {
        expected.month = 1;
        ++expected.year;
      }
    }
  }
}

TEST(StandardTime, KnownTimesAndLimits) {
  EXPECT_EQ(timeToNumber({0, 0, 0, 0}), 1);
  EXPECT_EQ(timeToNumber({23, 59, 59, 99}), 8'640'000);
  EXPECT_EQ(timeToNumber({12, 30, 15, 50}), 4'501'551);
  EXPECT_EQ(timeToNumber({24, 0, 0, 0}), std::nullopt);
  EXPECT_EQ(timeToNumber({10, 60, 0, 0}), std::nullopt);
  EXPECT_EQ(numberToTime(1), (TimeOfDay{0, 0, 0, 0}));
  EXPECT_EQ(numberToTime(8'640'000), (TimeOfDay{23, 59, 59, 99}));
  EXPECT_EQ(numberToTime(0), std::nullopt);
  EXPECT_EQ(numberToTime(8'640'001), std::nullopt);
  for (std::int32_t n = 1; n <= 8'640'000; n += 997) ASSERT_EQ(timeToNumber(*numberToTime(n)), n);
}

TEST(StandardDate, ClockGivesPlausibleValues) {
  const std::int32_t day = today();
  EXPECT_GT(day, dateToDays({2020, 1, 1}));
  EXPECT_LT(day, dateToDays({2200, 1, 1}));
  const std::int32_t time = now();
  EXPECT_GE(time, 1);
  EXPECT_LE(time, 8'640'000);
}

}  // namespace
}  // namespace glimra::collection
