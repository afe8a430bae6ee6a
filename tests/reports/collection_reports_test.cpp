// SPDX-License-Identifier: GPL-3.0-or-later
// The wanted list and the statistics as report pages: what they print, in
// which style, across how many pages, and the chart's bars.
#include <gtest/gtest.h>

#include "reports/report_fixture.h"
#include "reports/statistics_report.h"
#include "reports/wanted_list.h"

namespace glimra::reports {
namespace {

using testing::findText;
using testing::texts;

const FixedPitchMeasure MEASURE;

collection::SeriesCompleteness series(const char* name, std::vector<std::int32_t> owned, std::int32_t entered = 0) {
  collection::SeriesTally tally;
  for (std::int32_t n : owned) {
    collection::GlRecord r;
    r.NAME = "Ornament";
    r.SERIES = name;
    r.SERIESNUM = std::to_string(n);
    tally.add(r);
  }
  collection::SeriesSizeMap sizes;
  if (entered) sizes[collection::seriesKey(name)] = entered;
  return tally.result(sizes).at(0);
}

TEST(WantedList, ListsTheMissingNumbersOfEachIncompleteSeriesInTheReportsStyle) {
  const std::vector<collection::SeriesCompleteness> all = {series("Bells", {1, 3, 7}), series("Drums", {1, 2}),
                                                           series("Stars", {2}, 5)};
  const PageList pages = wantedListPages(all, MEASURE);
  ASSERT_EQ(pages.pages.size(), 1u);
  const Page& page = pages.pages[0];
  for (const char* shown : {"Glimra - ", "Wanted", "Series", "Missing Numbers", "Page #", "1", "Bells", "3 of 7",
                            "42%", "2, 4-6", "Stars", "1 of 5", "20%", "1, 3-5"})
    EXPECT_NE(findText(page, shown), nullptr) << shown;
  EXPECT_EQ(findText(page, "Drums"), nullptr) << "a complete series wants nothing";
  EXPECT_TRUE(pages.styles[findText(page, "Bells")->style].font.bold);

  // Many series run over several numbered pages; nothing missing prints nothing.
  std::vector<collection::SeriesCompleteness> many(40, series("Tins", {2, 9}));
  const PageList long_ = wantedListPages(many, MEASURE);
  ASSERT_GT(long_.pages.size(), 1u);
  EXPECT_NE(findText(long_.pages.back(), std::to_string(long_.pages.size())), nullptr);
  EXPECT_TRUE(wantedListPages({series("Drums", {1, 2})}, MEASURE).pages.empty());
}

TEST(StatisticsReport, TheChartNumberedFromOneThenTheTableWithItsTotalsAndBarsToScale) {
  std::vector<collection::GroupTotals> groups = {
      {"Tree", 3, 100'000'000, 50'000'000}, {"", 1, 25'000'000, 0}, {"Table", 2, 0, 10'000'000}};
  const StatisticsPages s = statisticsPages(groups, collection::Grouping::Category, MEASURE);
  ASSERT_EQ(s.chartPages(), 1u);
  ASSERT_EQ(s.pages.pages.size(), 2u);
  const Page& chart = s.pages.pages[0];
  const Page& table = s.pages.pages[1];
  for (const char* shown : {"Statistics", "Category", "Count", "Purchase Price", "Gain", "Tree", "(none)", "$100.00",
                            "$50.00", "-$10.00", "Total", "6", "$125.00", "$60.00", "$65.00"})
    EXPECT_NE(findText(table, shown), nullptr) << shown;
  // The chart's first page is the report's first; the table's follow on.
  EXPECT_NE(findText(chart, "1"), nullptr);
  EXPECT_EQ(findText(chart, "2"), nullptr);
  EXPECT_NE(findText(table, "2"), nullptr);
  std::vector<std::int32_t> barWidths;
  for (const PageItem& item : chart.items)
    if (item.kind == ItemKind::Box && s.pages.styles[item.style].fill != HEADING_FILL && item.box.y > 1500)
      barWidths.push_back(item.box.w);
  // Tree's value (the largest) and purchase price, (none)'s value, Table's
  // purchase price; no bar for an amount of 0.
  ASSERT_EQ(barWidths.size(), 4u);
  EXPECT_NEAR(barWidths[0], 2 * barWidths[1], 10);
  EXPECT_NEAR(barWidths[0], 4 * barWidths[2], 10);
  EXPECT_NEAR(barWidths[0], 10 * barWidths[3], 10);
  EXPECT_TRUE(statisticsPages({}, collection::Grouping::Year, MEASURE).pages.pages.size() == 1u)
      << "an empty collection prints its totals of 0";
}

}  // namespace
}  // namespace glimra::reports
