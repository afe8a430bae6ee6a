// SPDX-License-Identifier: GPL-3.0-or-later
// What a collection is worth, and where: the live ornaments grouped by
// category, manufacturer, year made, location or series, with per group the
// count, the sum of values, the sum of purchase prices and the difference
// (gain, or loss when negative), and the grand totals.
//
// Amounts are read as the value report reads them (readAmountMillionths):
// blank is 0, and text that is not a number counts as 0 too; such texts are
// counted, so a screen can say how many it met. Groups fold case as the
// file's case-insensitive keys do ("Tree" and "TREE" are one group, shown in
// the spelling met first in record order); the blank group holds the
// ornaments whose field is empty. The header record (the first in record
// order) and retired versions are left out. Sums are exact, in millionths.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "collection/gl_record.h"
#include "datafile/datafile.h"

namespace glimra::collection {

enum class Grouping : std::uint8_t { Category, Manufacturer, Year, Location, Series };
inline constexpr std::size_t GROUPING_COUNT = 5;

struct GroupingName {
  Grouping grouping;
  const char* option;   // the command line's name: "category"
  const char* heading;  // the column's heading: "Category"
};
// The groupings in the order the window and the tool list them.
const std::array<GroupingName, GROUPING_COUNT>& groupingNames();
// The grouping of a command-line name, or false.
bool findGrouping(std::string_view option, Grouping* grouping);

struct GroupTotals {
  std::string name;  // Windows-1252, without trailing blanks; empty for the blank group
  std::int64_t count = 0;
  std::int64_t value = 0;  // millionths
  std::int64_t paid = 0;   // millionths
  std::int64_t gain() const { return value - paid; }
};

// The columns a table of groups sorts by.
enum class GroupColumn : std::uint8_t { Name, Count, Value, Paid, Gain };

struct CollectionStatistics {
  // Per grouping (indexed by Grouping), the groups in name order (folded,
  // the blank group first).
  std::array<std::vector<GroupTotals>, GROUPING_COUNT> groups;
  GroupTotals total;          // every live ornament; name empty
  std::int64_t notNumbers = 0;  // values and prices that are not numbers (counted as 0)

  const std::vector<GroupTotals>& of(Grouping g) const { return groups[static_cast<std::size_t>(g)]; }
};

// Adds ornaments one at a time; records that are no live ornament
// (isLiveOrnament) are left out.
class StatisticsTally {
 public:
  void add(const GlRecord& record);
  CollectionStatistics result() const;

 private:
  struct Group {
    GroupTotals totals;
    std::string folded;
  };
  std::array<std::vector<Group>, GROUPING_COUNT> groups_;
  std::array<std::vector<std::pair<std::string, std::size_t>>, GROUPING_COUNT> index_;  // sorted by folded name
  GroupTotals total_;
  std::int64_t notNumbers_ = 0;
};

// Calls visit for every record after the header record, in record order,
// retired ones included (the caller decides). Returns the file's error code:
// 0 when the end was reached. file is open and declared with the collection
// record, whose buffer visit receives.
int forEachStoredOrnament(datafile::DataFile& file, const GlRecord& buffer,
                          const std::function<void(const GlRecord&)>& visit);

// The statistics of an open collection file; returns its error code.
int readCollectionStatistics(datafile::DataFile& file, const GlRecord& buffer, CollectionStatistics* statistics);

// Orders groups by a column (ties by folded name); descending reverses it.
void sortGroups(std::vector<GroupTotals>& groups, GroupColumn column, bool descending);

// An amount in millionths as the tables show it: "$1,234.50", "-$12.00".
std::string amountText(std::int64_t millionths);

}  // namespace glimra::collection
