// SPDX-License-Identifier: GPL-3.0-or-later
#include "collection/collection_statistics.h"

#include <gtest/gtest.h>

#include "collection/glimra_file.h"
#include "datafile/temp_dir.h"
#include "hand_made_collection.h"

namespace glimra::collection {
namespace {

using testing::Ornament;

constexpr std::int64_t M = 1'000'000;  // one currency unit in millionths

// Ornaments that trip the grouping: values blank, plain, aligned, with a
// currency sign and commas, not numbers; case variants of one category and
// one spelled with a leading blank; a retired version of a live ornament.
const std::vector<Ornament> ORNAMENTS = {
    {"Angel", "Tree", "Bells", "1", "               15.50", "10.00", "Otto", "1998", "Attic"},
    {"Bell", "TREE", "Bells", "2", "$1,000", "1200", "otto", "1998", "attic"},
    {"Candle", " tree", "", "", "", "", "", "", ""},
    {"Drum", "Table", "Bells", "3", "priceless", "5", "Otto", "2001", "Shelf"},
    {"Egg", "", "Drums", "1", "2.25", "n/a", "", "2001", "Shelf"},
    {"Egg", "", "Drums", "1", "999", "999", "", "2001", "Shelf", true},  // the retired version
};

CollectionStatistics tally(const std::vector<Ornament>& ornaments) {
  StatisticsTally t;
  for (const Ornament& o : ornaments) t.add(testing::recordOf(o));
  return t.result();
}

struct Expected {
  std::string name;
  std::int64_t count, value, paid;
};

TEST(CollectionStatistics, GroupsFoldCaseSumAmountsAndCountTextThatIsNotANumber) {
  const CollectionStatistics s = tally(ORNAMENTS);
  const struct {
    Grouping by;
    std::vector<Expected> groups;
  } cases[] = {
      {Grouping::Category,
       {{"", 1, 2'250'000, 0}, {"Table", 1, 0, 5 * M}, {"Tree", 3, 1'015'500'000, 1'210 * M}}},
      {Grouping::Manufacturer, {{"", 2, 2'250'000, 0}, {"Otto", 3, 1'015'500'000, 1'215 * M}}},
      {Grouping::Year, {{"", 1, 0, 0}, {"1998", 2, 1'015'500'000, 1'210 * M}, {"2001", 2, 2'250'000, 5 * M}}},
      {Grouping::Location,
       {{"", 1, 0, 0}, {"Attic", 2, 1'015'500'000, 1'210 * M}, {"Shelf", 2, 2'250'000, 5 * M}}},
      {Grouping::Series, {{"", 1, 0, 0}, {"Bells", 3, 1'015'500'000, 1'215 * M}, {"Drums", 1, 2'250'000, 0}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(groupingNames()[static_cast<std::size_t>(c.by)].option);
    const auto& groups = s.of(c.by);
    ASSERT_EQ(groups.size(), c.groups.size());
    for (std::size_t i = 0; i < groups.size(); ++i) {
      EXPECT_EQ(groups[i].name, c.groups[i].name);
      EXPECT_EQ(groups[i].count, c.groups[i].count) << groups[i].name;
      EXPECT_EQ(groups[i].value, c.groups[i].value) << groups[i].name;
      EXPECT_EQ(groups[i].paid, c.groups[i].paid) << groups[i].name;
    }
  }
  EXPECT_EQ(s.total.count, 5);
  EXPECT_EQ(s.total.value, 1'017'750'000);
  EXPECT_EQ(s.total.paid, 1'215 * M);
  EXPECT_EQ(s.total.gain(), -197'250'000);
  EXPECT_EQ(s.notNumbers, 2);  // "priceless" and "n/a"; blanks are not counted
}

TEST(CollectionStatistics, ReadFromTheFileLeavesOutTheHeaderRecordAndRetiredVersions) {
  datafile::testing::TempDir dir;
  const std::string path = dir.file("TREE.GLM");
  testing::writeCollection(path, ORNAMENTS);
  GlRecord buffer;
  datafile::DataFile file;
  file.declare(glimraDeclaration(), &buffer);
  file.setName(path);
  ASSERT_EQ(file.open(datafile::READ_ONLY_DENY_NONE), 0);
  CollectionStatistics fromFile;
  ASSERT_EQ(readCollectionStatistics(file, buffer, &fromFile), 0) << datafile::describeError(file);
  const CollectionStatistics inMemory = tally(ORNAMENTS);
  EXPECT_EQ(fromFile.total.count, 5);
  EXPECT_EQ(fromFile.total.value, inMemory.total.value);
  EXPECT_EQ(fromFile.of(Grouping::Series).size(), inMemory.of(Grouping::Series).size());
}

TEST(CollectionStatistics, SortsByEveryColumnBothWays) {
  std::vector<GroupTotals> groups = tally(ORNAMENTS).of(Grouping::Category);
  auto names = [&] {
    std::string out;
    for (const auto& g : groups) out += (g.name.empty() ? "-" : g.name) + " ";
    return out;
  };
  const struct {
    GroupColumn column;
    bool descending;
    const char* order;
  } cases[] = {
      {GroupColumn::Name, false, "- Table Tree "},  {GroupColumn::Name, true, "Tree Table - "},
      {GroupColumn::Count, true, "Tree - Table "},  {GroupColumn::Value, false, "Table - Tree "},
      {GroupColumn::Paid, true, "Tree Table - "},   {GroupColumn::Gain, false, "Tree Table - "},
      {GroupColumn::Gain, true, "- Table Tree "},
  };
  for (const auto& c : cases) {
    sortGroups(groups, c.column, c.descending);
    EXPECT_EQ(names(), c.order) << int(c.column) << (c.descending ? " descending" : "");
  }
}

TEST(CollectionStatistics, AmountsShowWithSignCurrencyAndCommas) {
  EXPECT_EQ(amountText(0), "$0.00");
  EXPECT_EQ(amountText(1'234'500'000), "$1,234.50");
  EXPECT_EQ(amountText(-12 * M), "-$12.00");
}

}  // namespace
}  // namespace glimra::collection
