// SPDX-License-Identifier: GPL-3.0-or-later
// QtTextMeasure: text measured in the face the layouts' Arial is printed in
// (Liberation Sans, with Arial's metrics), for laying out report pages.
//
// Fonts are sized in ten-thousandths of an inch (a font's pixel size is its
// point size in those units), never in screen points, and are unhinted: the
// widths are those of the outlines, so a line wraps and is cut at the same
// character on screen, in a PDF and on a printer. The page painter draws with
// the same fonts, scaled to the device.
#pragma once

#include <QFont>
#include <QFontMetricsF>
#include <map>
#include <memory>

#include "reports/text_measure.h"

namespace glimra::reports {

// Font pixels per thousandth of an inch.
inline constexpr double FONT_UNITS_PER_LAYOUT_UNIT = 10.0;

class QtTextMeasure final : public TextMeasure {
 public:
  int width(std::string_view utf8, const LayoutFont& font) const override;
  LineMetrics line(const LayoutFont& font) const override;

  // The font of a layout font, sized in font units.
  static QFont qFont(const LayoutFont& font);
  const QFontMetricsF& metrics(const LayoutFont& font) const;

 private:
  mutable std::map<int, std::unique_ptr<QFontMetricsF>> metrics_;
};

}  // namespace glimra::reports
