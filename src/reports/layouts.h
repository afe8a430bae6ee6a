// SPDX-License-Identifier: GPL-3.0-or-later
// The sixteen reports: one descriptor each (procedure, menu text, the key it
// reads by, subtitle, layout family, bold field, totals) and, per family, one
// table of the page layout, with every position, font, colour, alignment and
// picture the printed page shows.
//
// Invariants: reportDescriptors() lists the reports in the order of the
// Reports menu; the bold field of a report is its sort field; only the value
// report has a totals band.
#pragma once

#include <array>
#include <string_view>
#include <vector>

#include "reports/layout.h"

namespace glimra::reports {

enum class Family : std::uint8_t {
  Standard,                 // name, series, category, manufacturer, year
  StandardPlusField,        // location, stock number, custom1, custom2: a third row with the sort field
  StandardPlusDescription,  // by name with the description
  AllFields,                // by name with every field
  Value,                    // by value, with totals
  Lending,                  // lent to, date lent
  Giving,                   // given to, date given
};

struct ReportDescriptor {
  const char* procedure;  // e.g. "JUSTNAMEREPORT"
  const char* menuText;   // e.g. "Print Sorted by Name"
  const char* name;       // the command-line name, e.g. "name"
  int key;                // collection::GlKey
  int sortField;          // collection::GlField: the key's field
  const char* subtitle;   // e.g. "By Name"
  int subtitleWidth;      // thousandths of an inch
  Family family;
  int boldField;  // collection::GlField printed in bold
  bool totals;
};

// The sixteen reports in menu order.
const std::array<ReportDescriptor, 16>& reportDescriptors();
// The report of a command-line name (as listed), or null.
const ReportDescriptor* findReport(std::string_view name);

// The layout a report prints.
Layout reportLayout(const ReportDescriptor& report);

// A column heading of the heading box and a field of the detail band.
struct ColumnHeading {
  const char* text;
  Rect rect;
  Align align;
};
struct ColumnField {
  int field;  // collection::GlField
  const char* picture;
  Rect rect;
  Align align;
};

// A list in the style of the sixteen reports, for lists that are not
// ornaments (the wanted list, the statistics): the title "Glimra - " with the
// subtitle, the light-yellow heading box with the headings (of the given
// height, rows from 563 down as in the reports), a separator line above each
// detail band, and "Page #" with the number in the footer. The detail band
// reads the fields of the record buffer the engine is given.
struct ListStyle {
  const char* subtitle;
  std::int32_t subtitleWidth;
  int boldField;
  std::int32_t headingBoxHeight;
  std::int32_t detailHeight;
  std::vector<ColumnHeading> headings;
  std::vector<ColumnField> fields;
};
Layout listLayout(const ListStyle& style);
// A running sum of a field for a totals band, shown through picture, bold
// and right-aligned; a label of the 9-point face.
Control sumControl(int field, const char* picture, Rect rect);
Control labelControl(const char* text, Rect rect, bool bold, Align align = Align::Left);
// A text field wrapped in 8-point italic that grows its band downward.
Control descriptionControl(int field, Rect rect);

// Elements every layout shares.
inline constexpr Colour TITLE_COLOUR = fromColourReference(0x000080);
inline constexpr Colour HEADING_FILL = fromColourReference(0x0080FFFF);
inline constexpr std::int32_t SEPARATOR_WIDTH = 3;
inline constexpr std::int32_t HEADING_BOX_BORDER = 10;

}  // namespace glimra::reports
