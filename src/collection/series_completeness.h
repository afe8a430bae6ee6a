// SPDX-License-Identifier: GPL-3.0-or-later
// Which pieces of each series a collector owns and which are missing.
//
// Every series of the live ornaments is listed (case folded as the file's
// keys fold it, shown in the spelling met first): the numbers owned, read from
// Series # as whole numbers from 1 to MAX_SERIES_NUMBER where the text is one
// (blanks around it allowed); numbers that are not whole numbers, listed as
// they are; ornaments without a number; repeated numbers (a duplicate is
// counted, the number listed once). The size of a series is the number the
// collector entered for it (series_sizes.h) or else the highest number owned;
// the missing numbers are those from 1 to the size that nobody owns, and the
// completeness is the share of 1 … size owned. Numbers owned beyond an entered
// size stay listed as owned, and are named as lying beyond it.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "collection/gl_record.h"

namespace glimra::collection {

inline constexpr std::int32_t MAX_SERIES_NUMBER = 99999;

// Entered sizes by series, the key being the series folded to upper case.
using SeriesSizeMap = std::map<std::string, std::int32_t>;

// An inclusive range of numbers.
using NumberRange = std::pair<std::int32_t, std::int32_t>;

struct SeriesCompleteness {
  std::string series;  // Windows-1252
  std::vector<std::int32_t> owned;        // ascending, each once
  std::vector<std::string> otherNumbers;  // as stored, in record order
  std::int32_t unnumbered = 0;
  std::int32_t duplicates = 0;
  std::int32_t highestOwned = 0;
  std::int32_t enteredSize = 0;  // 0: none entered
  std::int32_t size = 0;         // entered, else the highest owned
  std::vector<NumberRange> missing;
  std::int32_t missingCount = 0;
  std::int32_t ownedWithinSize = 0;
  std::int32_t beyondSize = 0;  // owned numbers above an entered size

  // Owned share of 1 … size in whole percent (rounded down); -1 without a size.
  int percent() const { return size > 0 ? static_cast<int>(std::int64_t{ownedWithinSize} * 100 / size) : -1; }
};

// A Series # as a whole number of 1 … MAX_SERIES_NUMBER, or 0.
std::int32_t seriesNumberOf(std::string_view stored);

// The folded key of a series name, as the sizes are kept by.
std::string seriesKey(std::string_view series);

class SeriesTally {
 public:
  // Retired versions and ornaments without a series are left out.
  void add(const GlRecord& record);
  // Every series in folded name order, with the entered sizes applied.
  std::vector<SeriesCompleteness> result(const SeriesSizeMap& entered) const;

 private:
  struct Entry {
    std::string name;
    std::vector<std::int32_t> numbers;
    std::vector<std::string> other;
    std::int32_t unnumbered = 0;
  };
  std::map<std::string, Entry> series_;
};

// Ranges as a collector reads them: "1-4, 6, 9-12".
std::string rangesText(const std::vector<NumberRange>& ranges);
// Ascending numbers as ranges.
std::vector<NumberRange> rangesOf(const std::vector<std::int32_t>& ascending);

}  // namespace glimra::collection
