// SPDX-License-Identifier: GPL-3.0-or-later
// Standard dates and times, the form in which records keep when they were
// added and changed and in which date fields are stored.
//
// A standard date is a day number: December 28, 1800 is day 0, so December 29,
// 1800 is day 1, January 1, 1801 day 4 and December 1, 2015 day 78,500. A
// standard time is the time of day in hundredths of a second plus 1: midnight
// is 1 and 23:59:59.99 is 8,640,000; 0 means "no time".
//
// Invariants: dateToDays and daysToDate are exact inverses over the proleptic
// Gregorian calendar; numberToTime accepts only 1 … 8,640,000.
#pragma once

#include <cstdint>
#include <optional>

namespace glimra::collection {

struct CalendarDate {
  int year = 0;
  int month = 0;  // 1 … 12
  int day = 0;    // 1 … 31
  bool operator==(const CalendarDate&) const = default;
};

struct TimeOfDay {
  int hour = 0;        // 0 … 23
  int minute = 0;      // 0 … 59
  int second = 0;      // 0 … 59
  int hundredths = 0;  // 0 … 99
  bool operator==(const TimeOfDay&) const = default;
};

inline constexpr std::int32_t FIRST_STANDARD_TIME = 1;
inline constexpr std::int32_t LAST_STANDARD_TIME = 8'640'000;

bool isLeapYear(int year);
int daysInMonth(int year, int month);
bool isValidCalendarDate(int year, int month, int day);

// The day number of a calendar date (which must be valid).
std::int32_t dateToDays(const CalendarDate& date);
CalendarDate daysToDate(std::int32_t days);

// The time number of a time of day; nullopt when a part is out of range.
std::optional<std::int32_t> timeToNumber(const TimeOfDay& time);
// The time of day of a time number; nullopt outside 1 … 8,640,000.
std::optional<TimeOfDay> numberToTime(std::int32_t number);

// Today's date and the current time from the local clock.
std::int32_t today();
std::int32_t now();

}  // namespace glimra::collection
