// SPDX-License-Identifier: GPL-3.0-or-later
#include "reports/line_chart.h"

#include <algorithm>
#include <cstdio>

#include "collection/collection_statistics.h"
#include "text/cp1252.h"
#include "text/std_date.h"
#include "reports/layouts.h"

namespace glimra::reports {
namespace {

// The chart's frame on the page, in thousandths of an inch.
constexpr std::int32_t LEFT = 1400;
constexpr std::int32_t RIGHT = 7900;
constexpr std::int32_t TOP = 1500;
constexpr std::int32_t BOTTOM = 5500;
constexpr std::int32_t DOT = 50;
constexpr int GRID_LINES = 4;

// A round amount at or above `amount` for the top of the scale: 1, 2 or 5
// times a power of ten.
std::int64_t roundedUp(std::int64_t amount) {
  std::int64_t step = 1'000'000;  // one unit
  for (;;) {
    for (const std::int64_t factor : {1, 2, 5})
      if (step * factor >= amount) return step * factor;
    step *= 10;
  }
}

std::string dayText(std::int32_t day) {
  const collection::CalendarDate d = collection::daysToDate(day);
  char text[16];
  std::snprintf(text, sizeof text, "%d/%d/%04d", d.month, d.day, d.year);
  return text;
}

class PageWriter {
 public:
  PageWriter(PageList& list, const TextMeasure& measure) : list_(list), measure_(measure) {
    list_.pages.emplace_back();
  }
  void text(const std::string& utf8, std::int32_t x, std::int32_t y, const LayoutFont& font, Colour colour,
            bool alignRight = false) {
    Page& page = list_.pages.back();
    PageItem item;
    item.kind = ItemKind::Text;
    ItemStyle style;
    style.font = font;
    style.colour = colour;
    item.style = list_.styleIndex(style);
    const int width = measure_.width(utf8, font);
    item.textX = alignRight ? x - width : x;
    item.box = Rect{item.textX, y, width, measure_.line(font).height};
    item.textStart = static_cast<std::uint32_t>(page.text.size());
    item.textSize = static_cast<std::uint32_t>(utf8.size());
    page.text += utf8;
    page.items.push_back(item);
  }
  void line(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2, Colour colour, std::int32_t width) {
    ItemStyle style;
    style.colour = colour;
    style.lineWidth = width;
    PageItem item;
    item.kind = ItemKind::Line;
    item.style = list_.styleIndex(style);
    item.box = Rect{x1, y1, x2 - x1, y2 - y1};
    list_.pages.back().items.push_back(item);
  }
  void box(Rect at, Colour fill) {
    ItemStyle style;
    style.colour = fill;
    style.filled = true;
    style.fill = fill;
    PageItem item;
    item.kind = ItemKind::Box;
    item.style = list_.styleIndex(style);
    item.box = at;
    list_.pages.back().items.push_back(item);
  }

 private:
  PageList& list_;
  const TextMeasure& measure_;
};

}  // namespace

PageList lineChartPages(const std::string& title, const std::vector<ChartSeries>& series, std::int32_t lastDay,
                        const TextMeasure& measure) {
  PageList list;
  std::int32_t first = lastDay;
  std::int64_t largest = 0;
  bool any = false;
  for (const ChartSeries& s : series)
    for (const ChartPoint& p : s.points) {
      any = true;
      first = std::min(first, p.day);
      largest = std::max(largest, p.millionths);
    }
  if (!any) return list;
  const std::int32_t last = std::max(lastDay, first + 1);
  const std::int64_t top = roundedUp(std::max<std::int64_t>(largest, 1));
  auto xOf = [&](std::int32_t day) {
    return LEFT + static_cast<std::int32_t>(static_cast<std::int64_t>(day - first) * (RIGHT - LEFT) / (last - first));
  };
  auto yOf = [&](std::int64_t millionths) {
    const std::int64_t clamped = std::clamp<std::int64_t>(millionths, 0, top);
    return BOTTOM - static_cast<std::int32_t>(clamped * (BOTTOM - TOP) / top);
  };

  PageWriter page(list, measure);
  const LayoutFont titleFont{14, true, false};
  const LayoutFont labelFont{11, false, false};
  const Colour grey{190, 190, 190};
  page.text(title, LEFT, 500, titleFont, TITLE_COLOUR);
  std::int32_t legendX = LEFT;
  for (const ChartSeries& s : series) {
    page.box(Rect{legendX, 1000, 300, 120}, s.colour);
    page.text(s.name, legendX + 380, 940, labelFont, BLACK);
    legendX += 320 + measure.width(s.name, labelFont) + 400;
  }
  // The scale: grid lines with their amounts, the frame, the first and last day.
  for (int i = 0; i <= GRID_LINES; ++i) {
    const std::int64_t amount = top * i / GRID_LINES;
    const std::int32_t y = yOf(amount);
    page.line(LEFT, y, RIGHT, y, i == 0 ? BLACK : grey, i == 0 ? 10 : 5);
    page.text(collection::cp1252ToUtf8(collection::amountText(amount)), LEFT - 80, y - 100, labelFont, BLACK, true);
  }
  page.line(LEFT, TOP, LEFT, BOTTOM, BLACK, 10);
  page.text(dayText(first), LEFT, BOTTOM + 60, labelFont, BLACK);
  page.text(dayText(last), RIGHT, BOTTOM + 60, labelFont, BLACK, true);
  if (last - first > 60) page.text(dayText(first + (last - first) / 2), (LEFT + RIGHT) / 2 - 400, BOTTOM + 60, labelFont, BLACK);

  for (const ChartSeries& s : series) {
    for (std::size_t k = 0; k < s.points.size(); ++k) {
      const ChartPoint& p = s.points[k];
      const std::int32_t x = xOf(p.day), y = yOf(p.millionths);
      const std::int32_t nextX = k + 1 < s.points.size() ? xOf(s.points[k + 1].day) : xOf(last);
      page.line(x, y, nextX, y, s.colour, 25);
      if (k + 1 < s.points.size()) page.line(nextX, y, nextX, yOf(s.points[k + 1].millionths), s.colour, 25);
      page.box(Rect{x - DOT / 2, y - DOT / 2, DOT, DOT}, s.colour);
    }
  }
  return list;
}

}  // namespace glimra::reports
