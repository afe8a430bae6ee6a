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

// Elements every layout shares.
inline constexpr Colour TITLE_COLOUR = fromColourReference(0x000080);
inline constexpr Colour HEADING_FILL = fromColourReference(0x0080FFFF);
inline constexpr std::int32_t SEPARATOR_WIDTH = 3;
inline constexpr std::int32_t HEADING_BOX_BORDER = 10;

}  // namespace glimra::reports
