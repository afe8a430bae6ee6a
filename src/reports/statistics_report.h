// SPDX-License-Identifier: GPL-3.0-or-later
// The statistics as report pages: the bar chart of the chosen grouping
// followed by its table (count, value, purchase price and gain per group,
// with the totals), both laid out by the report engine in the style of the
// sixteen reports and numbered as one report, from the chart's first page
// on. The Statistics window shows the chart pages themselves, so the window,
// a print and a PDF show the same picture.
//
// The chart has one row per group, in the order given: the group's name, a
// bar for its value and one for its purchase price, scaled to the largest
// amount of all groups, and both amounts at the right. Negative amounts draw
// no bar.
#pragma once

#include <cstddef>
#include <vector>

#include "collection/collection_statistics.h"
#include "reports/layouts.h"
#include "reports/page.h"
#include "reports/text_measure.h"

namespace glimra::reports {

// The statistics as the preview names them.
const ReportDescriptor& statisticsReport();

struct StatisticsPages {
  PageList pages;                // the chart's pages, then the table's
  std::size_t chartPageCount = 0;  // the table starts at this index
  std::size_t chartPages() const { return chartPageCount; }
};

// The totals row sums the groups given (every group gives the grand totals).
StatisticsPages statisticsPages(const std::vector<collection::GroupTotals>& groups, collection::Grouping by,
                                const TextMeasure& measure);

// The fill colours of the chart's bars.
inline constexpr Colour VALUE_BAR = TITLE_COLOUR;
inline constexpr Colour PAID_BAR{150, 180, 230};

}  // namespace glimra::reports
