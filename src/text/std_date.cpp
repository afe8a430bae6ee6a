// SPDX-License-Identifier: GPL-3.0-or-later
#include "text/std_date.h"

#include <chrono>
#include <ctime>

namespace glimra::collection {
namespace {

// Days since 1970-01-01 of a proleptic Gregorian date, and back.
constexpr std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

constexpr CalendarDate civilFromDays(std::int64_t z) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const auto doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t y = static_cast<std::int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  const unsigned d = doy - (153 * mp + 2) / 5 + 1;
  const unsigned m = mp < 10 ? mp + 3 : mp - 9;
  return CalendarDate{static_cast<int>(y + (m <= 2)), static_cast<int>(m), static_cast<int>(d)};
}

// Day 0 of the standard calendar: December 28, 1800.
constexpr std::int64_t DAY_ZERO = daysFromCivil(1800, 12, 28);

std::tm localNow(int* hundredths) {
  const auto clock = std::chrono::system_clock::now();
  const std::time_t seconds = std::chrono::system_clock::to_time_t(clock);
  const auto sinceSecond = clock - std::chrono::system_clock::from_time_t(seconds);
  int h = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(sinceSecond).count() / 10);
  if (h < 0 || h > 99) h = 0;  // to_time_t may round rather than truncate
  if (hundredths) *hundredths = h;
  std::tm local{};
  localtime_r(&seconds, &local);
  return local;
}

}  // namespace

bool isLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int daysInMonth(int year, int month) {
  static constexpr int DAYS[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return month == 2 && isLeapYear(year) ? 29 : DAYS[month - 1];
}

bool isValidCalendarDate(int year, int month, int day) {
  return month >= 1 && month <= 12 && day >= 1 && day <= daysInMonth(year, month);
}

std::int32_t dateToDays(const CalendarDate& date) {
  return static_cast<std::int32_t>(daysFromCivil(date.year, static_cast<unsigned>(date.month),
                                                 static_cast<unsigned>(date.day)) -
                                   DAY_ZERO);
}

CalendarDate daysToDate(std::int32_t days) { return civilFromDays(DAY_ZERO + days); }

std::optional<std::int32_t> timeToNumber(const TimeOfDay& t) {
  if (t.hour < 0 || t.hour > 23 || t.minute < 0 || t.minute > 59 || t.second < 0 ||
      t.second > 59 || t.hundredths < 0 || t.hundredths > 99)
    return std::nullopt;
  return ((t.hour * 60 + t.minute) * 60 + t.second) * 100 + t.hundredths + 1;
}

std::optional<TimeOfDay> numberToTime(std::int32_t number) {
  if (number < FIRST_STANDARD_TIME || number > LAST_STANDARD_TIME) return std::nullopt;
  std::int32_t n = number - 1;
  TimeOfDay t;
  t.hundredths = n % 100;
  n /= 100;
  t.second = n % 60;
  n /= 60;
  t.minute = n % 60;
  t.hour = n / 60;
  return t;
}

std::int32_t today() {
  const std::tm local = localNow(nullptr);
  return dateToDays({local.tm_year + 1900, local.tm_mon + 1, local.tm_mday});
}

std::int32_t now() {
  int hundredths = 0;
  const std::tm local = localNow(&hundredths);
  // A leap second (tm_sec 60) is held at the last hundredth of the minute.
  const int second = local.tm_sec > 59 ? 59 : local.tm_sec;
  return *timeToNumber({local.tm_hour, local.tm_min, second, local.tm_sec > 59 ? 99 : hundredths});
}

}  // namespace glimra::collection
