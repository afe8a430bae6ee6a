// SPDX-License-Identifier: GPL-3.0-or-later
#include "collection/series_completeness.h"

#include <gtest/gtest.h>

#include "hand_made_collection.h"

namespace glimra::collection {
namespace {

using testing::Ornament;

std::string joined(const std::vector<std::string>& texts) {
  std::string out;
  for (const auto& t : texts) out += (out.empty() ? "" : "|") + t;
  return out;
}

TEST(SeriesCompleteness, GapsDuplicatesOddNumbersAndEnteredSizes) {
  const std::vector<Ornament> ornaments = {
      {"a", "", "Bells", "1"},    {"b", "", "bells", " 3 "},  {"c", "", "BELLS", "3"},     // a duplicate
      {"d", "", "Bells", "7"},    {"e", "", "Bells", "7a"},   {"f", "", "Bells", ""},      // not a whole number, blank
      {"g", "", "Bells", "0"},    {"h", "", "Bells", "2", "", "", "", "", "", true},      // 0; a retired version
      {"i", "", "Drums", "2"},    {"j", "", "Drums", "4"},                                // entered larger
      {"k", "", "Stars", "1"},    {"l", "", "Stars", "2"},    {"m", "", "Stars", "9"},     // entered smaller
      {"n", "", "Tins", "x"},     {"o", "", "", "5"},                                      // no whole number; no series
  };
  SeriesTally tally;
  for (const Ornament& o : ornaments) tally.add(testing::recordOf(o));
  const SeriesSizeMap entered = {{"DRUMS", 6}, {"STARS", 3}, {"NONE", 4}};
  const std::vector<SeriesCompleteness> all = tally.result(entered);

  const struct {
    const char* series;
    const char* owned;
    const char* missing;
    const char* other;
    std::int32_t unnumbered, duplicates, size, entered, beyond;
    int percent;
  } cases[] = {
      {"Bells", "1, 3, 7", "2, 4-6", "7a|0", 1, 1, 7, 0, 0, 42},
      {"Drums", "2, 4", "1, 3, 5-6", "", 0, 0, 6, 6, 0, 33},
      {"Stars", "1-2, 9", "3", "", 0, 0, 3, 3, 1, 66},
      {"Tins", "", "", "x", 0, 0, 0, 0, 0, -1},
  };
  ASSERT_EQ(all.size(), std::size(cases));
  for (std::size_t i = 0; i < all.size(); ++i) {
    const auto& s = all[i];
    const auto& c = cases[i];
    SCOPED_TRACE(c.series);
    EXPECT_EQ(s.series, c.series);
    EXPECT_EQ(rangesText(rangesOf(s.owned)), c.owned);
    EXPECT_EQ(rangesText(s.missing), c.missing);
    EXPECT_EQ(joined(s.otherNumbers), c.other);
    EXPECT_EQ(s.unnumbered, c.unnumbered);
    EXPECT_EQ(s.duplicates, c.duplicates);
    EXPECT_EQ(s.size, c.size);
    EXPECT_EQ(s.enteredSize, c.entered);
    EXPECT_EQ(s.beyondSize, c.beyond);
    EXPECT_EQ(s.percent(), c.percent);
    EXPECT_EQ(s.missingCount + s.ownedWithinSize, s.size);
  }
}

TEST(SeriesCompleteness, SeriesNumbersAreWholeNumbersOnly) {
  const struct {
    const char* stored;
    std::int32_t number;
  } cases[] = {{"7", 7}, {"  007 ", 7}, {"99999", 99999}, {"100000", 0}, {"0", 0}, {"-3", 0},
               {"3.5", 0}, {"#3", 0},   {"", 0},          {"3 4", 0}};
  for (const auto& c : cases) EXPECT_EQ(seriesNumberOf(c.stored), c.number) << "'" << c.stored << "'";
}

}  // namespace
}  // namespace glimra::collection
