// SPDX-License-Identifier: GPL-3.0-or-later
// A line chart of amounts over time as one report page: each series a line
// in its colour that holds its value until its next point (a value stands
// until another replaces it) and runs on to the chart's last day, a dot at
// every point, the amounts on the left (from 0), the dates below, a legend
// under the title. The value history window and the statistics draw their
// charts with it, so a window, a print and a PDF show the same picture.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "reports/page.h"
#include "reports/text_measure.h"

namespace glimra::reports {

struct ChartPoint {
  std::int32_t day = 0;          // standard date
  std::int64_t millionths = 0;   // the amount
};

struct ChartSeries {
  std::string name;  // UTF-8, for the legend
  Colour colour;
  std::vector<ChartPoint> points;  // date order
};

// The chart on one page (none when no series has a point). `lastDay`: where
// the lines end (today); the chart spans from the first point to it.
PageList lineChartPages(const std::string& title, const std::vector<ChartSeries>& series, std::int32_t lastDay,
                        const TextMeasure& measure);

}  // namespace glimra::reports
