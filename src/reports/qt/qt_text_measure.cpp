// SPDX-License-Identifier: GPL-3.0-or-later
#include "reports/qt/qt_text_measure.h"

#include <QString>
#include <cmath>

namespace glimra::reports {

QFont QtTextMeasure::qFont(const LayoutFont& font) {
  QFont f(QStringLiteral("Liberation Sans"));
  f.setStyleHint(QFont::SansSerif);
  f.setPixelSize(static_cast<int>(std::lround(font.points * 1000.0 * FONT_UNITS_PER_LAYOUT_UNIT / 72.0)));
  f.setBold(font.bold);
  f.setItalic(font.italic);
  f.setHintingPreference(QFont::PreferNoHinting);
  f.setKerning(false);
  return f;
}

const QFontMetricsF& QtTextMeasure::metrics(const LayoutFont& font) const {
  const int key = font.points * 4 + (font.bold ? 2 : 0) + (font.italic ? 1 : 0);
  auto& slot = metrics_[key];
  if (!slot) slot = std::make_unique<QFontMetricsF>(qFont(font));
  return *slot;
}

int QtTextMeasure::width(std::string_view utf8, const LayoutFont& font) const {
  const QString text = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
  return static_cast<int>(std::ceil(metrics(font).horizontalAdvance(text) / FONT_UNITS_PER_LAYOUT_UNIT));
}

LineMetrics QtTextMeasure::line(const LayoutFont& font) const {
  const QFontMetricsF& m = metrics(font);
  return LineMetrics{static_cast<int>(std::lround(m.ascent() / FONT_UNITS_PER_LAYOUT_UNIT)),
                     static_cast<int>(std::ceil(m.height() / FONT_UNITS_PER_LAYOUT_UNIT))};
}

}  // namespace glimra::reports
