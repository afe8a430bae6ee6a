// SPDX-License-Identifier: GPL-3.0-or-later
#include "reports/wanted_list.h"

#include "collection/glimra_file.h"
#include "reports/report_engine.h"

namespace glimra::reports {
namespace {

namespace F = collection::GlField;
constexpr std::int32_t S = SIZED;

const ReportDescriptor WANTED = {"WANTEDLIST", "Print &Wanted List", "wanted", -1, F::SERIES, "Wanted", 900,
                                 Family::Standard, F::SERIES, false};

Layout wantedLayout() {
  Layout layout = listLayout(ListStyle{
      WANTED.subtitle,
      WANTED.subtitleWidth,
      F::SERIES,
      448,
      500,
      {
          {"Series", {63, 563, S, S}, Align::Left},
          {"Owned", {3600, 563, 1300, 208}, Align::Right},
          {"Complete", {5000, 563, 938, 208}, Align::Right},
          {"Missing Numbers", {63, 740, S, S}, Align::Left},
      },
      {
          {F::SERIES, "s35", {63, 73, 3400, 208}, Align::Left},
          {F::CUSTOM1, "s35", {3600, 73, 1300, 208}, Align::Right},
          {F::CUSTOM2, "s35", {5000, 73, 938, 208}, Align::Right},
      },
  });
  layout.detail.controls.push_back(descriptionControl(F::DESCRIPTION, Rect{135, 290, 5800, 180}));
  return layout;
}

// The missing numbers as they fit the description field: cut after the last
// whole range, with an ellipsis, in the rare series too long to list.
std::string missingText(const collection::SeriesCompleteness& s) {
  std::string text = collection::rangesText(s.missing);
  constexpr std::size_t room = sizeof(collection::GlRecord::DESCRIPTION) - 5;
  if (text.size() > room) text = text.substr(0, text.rfind(", ", room)) + ", \x85";
  return text;
}

}  // namespace

const ReportDescriptor& wantedListReport() { return WANTED; }

PageList wantedListPages(const std::vector<collection::SeriesCompleteness>& series, const TextMeasure& measure) {
  collection::GlRecord row;
  ReportEngine engine(wantedLayout(), row, measure);
  engine.open();
  bool printed = false;
  for (const collection::SeriesCompleteness& s : series) {
    if (s.missingCount <= 0) continue;
    row.clear();
    row.SERIES = s.series;
    row.CUSTOM1 = std::to_string(s.ownedWithinSize) + " of " + std::to_string(s.size);
    row.CUSTOM2 = std::to_string(s.percent()) + "%";
    row.DESCRIPTION = missingText(s);
    engine.print(DETAIL_BAND);
    printed = true;
  }
  if (!printed) {
    engine.close();
    return PageList{};
  }
  engine.endReport();
  return engine.takePages();
}

}  // namespace glimra::reports
