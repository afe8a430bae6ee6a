// SPDX-License-Identifier: GPL-3.0-or-later
// Report layouts as data: where on the page the detail area, the page header
// and the page footer lie, and which controls each band holds, each placed in
// thousandths of an inch from its band's top-left corner and bound to a field
// of the collection record.
//
// A width or height of SIZED means the control takes the size of its content.
// Detail and totals bands have only a height: they take the detail area's
// left edge and width.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "reports/page.h"

namespace glimra::reports {

inline constexpr std::int32_t SIZED = -1;

enum class ControlKind : std::uint8_t {
  Label,        // fixed text
  Field,        // one record field through a display picture
  Description,  // the record's description, wrapped, growing its band downward
  PageNumber,   // the current page number through a display picture
  Sum,          // the running sum of a record field over the detail bands printed
  Line,         // a straight line
  Box,          // a filled rectangle with a border
};

enum class Align : std::uint8_t { Left, Right };

struct Control {
  ControlKind kind = ControlKind::Label;
  Rect rect;
  std::string text;     // Label: the text (Windows-1252)
  int field = -1;       // Field, Description, Sum: the field's position (collection::GlField)
  std::string picture;  // Field, PageNumber, Sum
  LayoutFont font;
  Align align = Align::Left;
  Colour colour = BLACK;
  bool filled = false;  // Box always; a label drawn on a background
  Colour fill;
  std::int32_t lineWidth = 0;  // Line, and a Box's border
};

struct Band {
  std::int32_t height = 0;
  std::vector<Control> controls;
};

struct Layout {
  Rect detailArea;  // from the page's top-left corner
  Rect header;
  Rect footer;
  std::vector<Control> headerControls;
  std::vector<Control> footerControls;
  Band detail;
  Band totals;  // height 0: the layout has no totals band
};

}  // namespace glimra::reports
