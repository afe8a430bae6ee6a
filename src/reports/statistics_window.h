// SPDX-License-Identifier: GPL-3.0-or-later
// The "Statistics" window: what the collection is worth, and where. The live
// ornaments grouped by category, manufacturer, year made, location or series,
// with per group the count, the sum of values, the sum of purchase prices and
// the gain, and the grand totals; the heading buttons sort by their column
// (pressed again, the other way round). Beside the table the bar chart of the
// grouping, in the order shown, drawn from the same report pages that Print
// (through the preview) and Save as PDF produce. Amounts that are not numbers
// count as 0, and the window says how many it met.
//
// The window reads the collection beside the main window (its own read-only
// open), so the main window's record buffer and lists stay as they were.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "collection/collection_statistics.h"
#include "program/program.h"
#include "reports/print_preview.h"
#include "reports/report_procedure.h"
#include "reports/statistics_report.h"
#include "reports/text_measure.h"
#include "reports/text_rows.h"

namespace glimra::reports {

// Control numbers of the Statistics window.
namespace statistics {
enum : int {
  GROUPBYPROMPT = 1,
  GROUPBY,  // option group: its radios follow, one per grouping
  BYCATEGORY,
  BYMANUFACTURER,
  BYYEAR,
  BYLOCATION,
  BYSERIES,
  NAMEHEADING,  // the heading buttons, in column order
  COUNTHEADING,
  VALUEHEADING,
  PAIDHEADING,
  GAINHEADING,
  GROUPLIST,
  TOTALS,
  NOTE,
  CHART,
  CHARTPAGEPROMPT,
  CHARTPAGE,
  PRINT,
  SAVEPDF,
  CLOSE,
};
}  // namespace statistics

inline constexpr const char* STATISTICS_WINDOW_TITLE = "Statistics";

// One row of the table, in the window's fixed-pitch columns.
std::string statisticsRow(const collection::GroupTotals& g, bool total);

class StatisticsWindow {
 public:
  StatisticsWindow(program::Program& program, const TextMeasure& measure, PageOutput& output,
                   PreviewDevices* devices);
  void run();

  // The window's state, for tests.
  std::uint8_t GROUPING = 1;  // the chosen radio, 1-based
  std::int32_t CHARTPAGENUMBER = 1;
  collection::GroupColumn sortColumn = collection::GroupColumn::Name;
  bool descending = false;
  collection::CollectionStatistics figures;
  std::vector<collection::GroupTotals> shown;  // the groups in the order shown
  const StatisticsPages& pages() const { return *pages_; }

 private:
  runtime::WindowDeclaration declaration();
  collection::Grouping grouping() const;
  void rebuild();
  void showChartPage();
  void sortBy(collection::GroupColumn column);
  void saveAsPdf();

  program::Program& program_;
  const TextMeasure& measure_;
  PageOutput& output_;
  PreviewDevices* devices_;
  std::shared_ptr<TextRows> rows_ = std::make_shared<TextRows>();
  std::shared_ptr<StatisticsPages> pages_ = std::make_shared<StatisticsPages>();
  std::shared_ptr<const runtime::PageImages> images_;
  runtime::Window* window_ = nullptr;
};

}  // namespace glimra::reports
