// SPDX-License-Identifier: GPL-3.0-or-later
#include "collection/collection_statistics.h"

#include <algorithm>

#include "collection/record_search.h"
#include "datafile/file_errors.h"
#include "text/picture.h"

namespace glimra::collection {
namespace {

const std::array<GroupingName, GROUPING_COUNT> GROUPINGS = {{
    {Grouping::Category, "category", "Category"},
    {Grouping::Manufacturer, "manufacturer", "Manufacturer"},
    {Grouping::Year, "year", "Year Made"},
    {Grouping::Location, "location", "Location"},
    {Grouping::Series, "series", "Series"},
}};

std::string_view groupField(const GlRecord& r, Grouping g) {
  switch (g) {
    case Grouping::Category: return r.CATEGORY.clipped();
    case Grouping::Manufacturer: return r.MANUF.clipped();
    case Grouping::Year: return r.YEAR.clipped();
    case Grouping::Location: return r.LOCATION.clipped();
    case Grouping::Series: return r.SERIES.clipped();
  }
  return {};
}

// Leading blanks are not part of a group's name either: " Tree" is "Tree".
std::string_view trimmedName(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  return text;
}

// The amount of a stored text; counts a text that is not a number.
std::int64_t amountOf(std::string_view stored, std::int64_t* notNumbers) {
  const std::string_view text = trimmedName(clipTrailingBlanks(stored));
  if (text.empty()) return 0;
  const auto millionths = readAmountMillionths(text);
  if (!millionths) ++*notNumbers;
  return millionths.value_or(0);
}

}  // namespace

const std::array<GroupingName, GROUPING_COUNT>& groupingNames() { return GROUPINGS; }

bool findGrouping(std::string_view option, Grouping* grouping) {
  for (const GroupingName& g : GROUPINGS)
    if (option == g.option) {
      *grouping = g.grouping;
      return true;
    }
  return false;
}

void StatisticsTally::add(const GlRecord& record) {
  if (!isLiveOrnament(record)) return;
  const std::int64_t value = amountOf(record.VALUE.raw(), &notNumbers_);
  const std::int64_t paid = amountOf(record.PURPRICE.raw(), &notNumbers_);
  ++total_.count;
  total_.value += value;
  total_.paid += paid;
  for (std::size_t g = 0; g < GROUPING_COUNT; ++g) {
    const std::string_view name = trimmedName(groupField(record, static_cast<Grouping>(g)));
    std::string folded = upperCp1252(name);
    auto& index = index_[g];
    auto at = std::lower_bound(index.begin(), index.end(), folded,
                               [](const auto& entry, const std::string& key) { return entry.first < key; });
    if (at == index.end() || at->first != folded) {
      groups_[g].push_back(Group{GroupTotals{std::string(name)}, folded});
      at = index.insert(at, {std::move(folded), groups_[g].size() - 1});
    }
    GroupTotals& totals = groups_[g][at->second].totals;
    ++totals.count;
    totals.value += value;
    totals.paid += paid;
  }
}

CollectionStatistics StatisticsTally::result() const {
  CollectionStatistics s;
  for (std::size_t g = 0; g < GROUPING_COUNT; ++g)
    for (const auto& [folded, position] : index_[g]) s.groups[g].push_back(groups_[g][position].totals);
  s.total = total_;
  s.notNumbers = notNumbers_;
  return s;
}

int forEachStoredOrnament(datafile::DataFile& file, const GlRecord& buffer,
                          const std::function<void(const GlRecord&)>& visit) {
  if (file.setFile() != 0) return file.errorCode();
  bool header = true;  // the first record in record order holds the file's settings
  while (file.next() == 0) {
    if (header) {
      header = false;
      continue;
    }
    visit(buffer);
  }
  return file.errorCode() == datafile::FileError::RECORD_NOT_AVAILABLE ? 0 : file.errorCode();
}

int readCollectionStatistics(datafile::DataFile& file, const GlRecord& buffer, CollectionStatistics* statistics) {
  StatisticsTally tally;
  const int error = forEachStoredOrnament(file, buffer, [&](const GlRecord& r) { tally.add(r); });
  *statistics = tally.result();
  return error;
}

void sortGroups(std::vector<GroupTotals>& groups, GroupColumn column, bool descending) {
  auto figure = [column](const GroupTotals& g) -> std::int64_t {
    switch (column) {
      case GroupColumn::Count: return g.count;
      case GroupColumn::Value: return g.value;
      case GroupColumn::Paid: return g.paid;
      case GroupColumn::Gain: return g.gain();
      case GroupColumn::Name: break;
    }
    return 0;
  };
  std::stable_sort(groups.begin(), groups.end(), [&](const GroupTotals& a, const GroupTotals& b) {
    const std::int64_t fa = figure(a), fb = figure(b);
    if (fa != fb) return descending ? fa > fb : fa < fb;
    const std::string ka = upperCp1252(a.name), kb = upperCp1252(b.name);
    if (column == GroupColumn::Name && descending) return kb < ka;
    return ka < kb;
  });
}

std::string amountText(std::int64_t millionths) {
  static const Picture picture = Picture::parse("N$18.2");
  std::string shown = picture.format(millionthsText(millionths));
  const std::size_t first = shown.find_first_not_of(' ');
  return first == std::string::npos ? std::string() : shown.substr(first);
}

}  // namespace glimra::collection
