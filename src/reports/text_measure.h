// SPDX-License-Identifier: GPL-3.0-or-later
// TextMeasure: how wide a text is and how tall a line is in a layout font, in
// thousandths of an inch. The report engine lays out pages with it; the Qt
// side measures with the real font, the tests with FixedPitchMeasure.
#pragma once

#include <string_view>

#include "reports/page.h"

namespace glimra::reports {

struct LineMetrics {
  int ascent = 0;   // from the top of a line to its baseline
  int height = 0;   // from one line's top to the next line's top
};

class TextMeasure {
 public:
  virtual ~TextMeasure() = default;
  // The advance of a UTF-8 text.
  virtual int width(std::string_view utf8, const LayoutFont& font) const = 0;
  virtual LineMetrics line(const LayoutFont& font) const = 0;
};

// Every character (UTF-8 code point) 0.45 times as wide as the font's size,
// bold ones a tenth wider; a line 1.15 times the size. Exact and the same on every
// machine, so tests can reckon where a text wraps or is cut.
class FixedPitchMeasure final : public TextMeasure {
 public:
  int width(std::string_view utf8, const LayoutFont& font) const override;
  LineMetrics line(const LayoutFont& font) const override;
  // The width of one character in the font.
  static int charWidth(const LayoutFont& font);
};

}  // namespace glimra::reports
