// SPDX-License-Identifier: GPL-3.0-or-later
// The collection's value over time: for every month or year from the first
// purchase to today, the number of ornaments owned at its end, their total
// value and the total paid for them.
//
// An ornament counts from its purchase date (without one, from the first
// point of its history, or its created date) until the date it was given
// away or sold; its value at a date is the latest point of its history on or
// before that date (valuations.h: its purchase, its valuations, or for an
// ornament without valuations its Value as of its last change). The last
// period ends today. Retired versions and the header record are left out.
// Sums are exact, in millionths.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "collection/gl_record.h"
#include "collection/valuations.h"
#include "datafile/datafile.h"

namespace glimra::collection {

enum class Period : std::uint8_t { Month, Year };

struct PeriodTotals {
  int year = 0;
  int month = 0;           // 1 … 12; 0 for a year
  std::int32_t end = 0;    // its last day (today for the last period)
  std::int64_t count = 0;  // ornaments owned at its end
  std::int64_t value = 0;  // millionths
  std::int64_t paid = 0;   // millionths
  // "2024-03" or "2024".
  std::string label() const;
};

// One ornament as the tally needs it.
struct OwnedOrnament {
  std::int32_t from = 0;   // owned from this day
  std::int32_t until = 0;  // no longer from this day; 0: still owned
  std::int64_t paid = 0;
  std::vector<HistoryPoint> history;  // date order
};
OwnedOrnament ownedOrnament(const GlRecord& record, const std::vector<Valuation>& valuations);

// The periods from the one of the earliest `from` to the one of `today`;
// none when no ornament is owned before today.
std::vector<PeriodTotals> valueOverTime(const std::vector<OwnedOrnament>& ornaments, Period period,
                                        std::int32_t today);

// Reads the live ornaments of the open collection file (declared with the
// collection record `buffer`) and their valuations from `valuations` (open on
// the same file; absent means none) and tallies them. Returns the error code.
int readValueOverTime(datafile::DataFile& file, const GlRecord& buffer, ValuationTable& valuations, Period period,
                      std::int32_t today, std::vector<PeriodTotals>* periods);

}  // namespace glimra::collection
