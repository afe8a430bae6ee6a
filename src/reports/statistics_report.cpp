// SPDX-License-Identifier: GPL-3.0-or-later
#include "reports/statistics_report.h"

#include <algorithm>

#include "collection/glimra_file.h"
#include "reports/report_engine.h"
#include "text/picture.h"

namespace glimra::reports {
namespace {

namespace F = collection::GlField;
constexpr std::int32_t S = SIZED;
constexpr Align L = Align::Left;
constexpr Align R = Align::Right;

const ReportDescriptor STATISTICS = {"STATISTICSREPORT", "&Statistics...", "statistics", -1, F::NAME,
                                     "Statistics", 1250, Family::Standard, F::NAME, false};

constexpr const char* AMOUNT = "N$15.2";
constexpr std::int32_t CHART_ROW = 340;
constexpr std::int32_t BAR_LEFT = 2050;
constexpr std::int32_t BAR_WIDTH = 2850;
constexpr std::int32_t BAR_HEIGHT = 110;

const char* headingOf(collection::Grouping by) {
  return collection::groupingNames()[static_cast<std::size_t>(by)].heading;
}

Layout tableLayout(collection::Grouping by) {
  Layout layout = listLayout(ListStyle{STATISTICS.subtitle,
                                       STATISTICS.subtitleWidth,
                                       F::NAME,
                                       260,
                                       290,
                                       {
                                           {headingOf(by), {63, 563, S, S}, L},
                                           {"Count", {2500, 563, 700, 208}, R},
                                           {"Value", {3250, 563, 850, 208}, R},
                                           {"Purchase Price", {4100, 563, 900, 208}, R},
                                           {"Gain", {5050, 563, 900, 208}, R},
                                       },
                                       {
                                           {F::NAME, "s45", {63, 73, 2400, 208}, L},
                                           {F::CUSTOM1, "n9", {2500, 73, 700, 208}, R},
                                           {F::VALUE, AMOUNT, {3250, 73, 850, 208}, R},
                                           {F::PURPRICE, AMOUNT, {4100, 73, 900, 208}, R},
                                           {F::CUSTOM2, AMOUNT, {5050, 73, 900, 208}, R},
                                       }});
  Control rule;
  rule.kind = ControlKind::Line;
  rule.rect = Rect{10, 30, 5979, 0};
  rule.lineWidth = 3 * SEPARATOR_WIDTH;
  layout.totals.height = 400;
  layout.totals.controls = {
      rule,
      labelControl("Total", Rect{63, 94, 1000, 208}, true),
      sumControl(F::CUSTOM1, "n9", Rect{2500, 94, 700, 208}),
      sumControl(F::VALUE, AMOUNT, Rect{3250, 94, 850, 208}),
      sumControl(F::PURPRICE, AMOUNT, Rect{4100, 94, 900, 208}),
      sumControl(F::CUSTOM2, AMOUNT, Rect{5050, 94, 900, 208}),
  };
  return layout;
}

Layout chartLayout(collection::Grouping by) {
  Layout layout = listLayout(ListStyle{STATISTICS.subtitle,
                                       STATISTICS.subtitleWidth,
                                       F::NAME,
                                       260,
                                       CHART_ROW,
                                       {
                                           {headingOf(by), {63, 563, S, S}, L},
                                           {"Value", {BAR_LEFT + 200, 563, S, S}, L},
                                           {"Purchase Price", {BAR_LEFT + 1300, 563, S, S}, L},
                                       },
                                       {
                                           {F::NAME, "s45", {63, 60, 1900, 208}, L},
                                           {F::VALUE, AMOUNT, {5000, 30, 950, 160}, R},
                                           {F::PURPRICE, AMOUNT, {5000, 180, 950, 160}, R},
                                       }});
  // The legend: a sample of each bar before its heading.
  for (const auto& [x, fill] : {std::pair{BAR_LEFT, VALUE_BAR}, std::pair{BAR_LEFT + 1100, PAID_BAR}}) {
    Control sample;
    sample.kind = ControlKind::Box;
    sample.rect = Rect{x, 590, 150, 130};
    sample.filled = true;
    sample.fill = fill;
    sample.lineWidth = 5;
    layout.headerControls.push_back(sample);
  }
  return layout;
}

void fillRow(collection::GlRecord& row, const collection::GroupTotals& g) {
  row.clear();
  row.NAME = g.name.empty() ? std::string("(none)") : g.name;
  row.CUSTOM1 = std::to_string(g.count);
  row.VALUE = collection::millionthsText(g.value);
  row.PURPRICE = collection::millionthsText(g.paid);
  row.CUSTOM2 = collection::millionthsText(g.gain());
}

// A bar of the chart: amount as a share of largest, from (x, y) of the page.
void addBar(PageList& pages, Page& page, std::int32_t x, std::int32_t y, std::int64_t amount, std::int64_t largest,
            Colour fill) {
  if (amount <= 0 || largest <= 0) return;
  ItemStyle style;
  style.filled = true;
  style.fill = fill;
  style.lineWidth = 5;
  PageItem bar;
  bar.kind = ItemKind::Box;
  bar.style = pages.styleIndex(style);
  const auto width = static_cast<std::int32_t>(static_cast<long double>(amount) * BAR_WIDTH / largest);
  bar.box = Rect{x, y, std::max<std::int32_t>(width, 10), BAR_HEIGHT};
  page.items.push_back(bar);
}

}  // namespace

const ReportDescriptor& statisticsReport() { return STATISTICS; }

StatisticsPages statisticsPages(const std::vector<collection::GroupTotals>& groups, collection::Grouping by,
                                const TextMeasure& measure) {
  StatisticsPages out;
  collection::GlRecord row;
  const Layout chart = chartLayout(by);
  ReportEngine engine(chart, row, measure);
  engine.open();
  for (const auto& g : groups) {
    fillRow(row, g);
    engine.print(DETAIL_BAND);
  }
  engine.endReport();
  // No group, no chart: the table alone shows the empty totals.
  PageList chartPages = groups.empty() ? PageList{} : engine.takePages();
  // Every row has the same height, so row i lies at a place known in
  // advance: the bars go there.
  std::int64_t largest = 0;
  for (const auto& g : groups) largest = std::max({largest, g.value, g.paid});
  const std::size_t perPage = static_cast<std::size_t>(std::max(1, chart.detailArea.h / CHART_ROW));
  for (std::size_t i = 0; i < groups.size(); ++i) {
    const std::size_t pageIndex = i / perPage;
    if (pageIndex >= chartPages.pages.size()) break;
    Page& page = chartPages.pages[pageIndex];
    const std::int32_t top = chart.detailArea.y + static_cast<std::int32_t>(i % perPage) * CHART_ROW;
    const std::int32_t left = chart.detailArea.x + BAR_LEFT;
    addBar(chartPages, page, left, top + 40, groups[i].value, largest, VALUE_BAR);
    addBar(chartPages, page, left, top + 190, groups[i].paid, largest, PAID_BAR);
  }
  out.pages = std::move(chartPages);
  out.chartPageCount = out.pages.pages.size();

  ReportEngine table(tableLayout(by), row, measure);
  table.open(static_cast<int>(out.chartPageCount) + 1);
  for (const auto& g : groups) {
    fillRow(row, g);
    table.print(DETAIL_BAND);
  }
  table.print(TOTALS_BAND);
  table.endReport();
  out.pages.append(table.takePages());
  return out;
}

}  // namespace glimra::reports
