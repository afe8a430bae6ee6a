// SPDX-License-Identifier: GPL-3.0-or-later
#include "reports/layouts.h"

#include <span>

#include "collection/glimra_file.h"

namespace glimra::reports {
namespace {

namespace F = collection::GlField;
namespace K = collection::GlKey;

constexpr LayoutFont ARIAL_8{8, false, false};
constexpr LayoutFont ARIAL_8_ITALIC{8, false, true};
constexpr LayoutFont ARIAL_9{9, false, false};
constexpr LayoutFont ARIAL_9_BOLD{9, true, false};
constexpr LayoutFont ARIAL_9_ITALIC{9, false, true};
constexpr LayoutFont ARIAL_14{14, false, false};
constexpr LayoutFont TITLE_FONT{20, true, true};

constexpr Align L = Align::Left;
constexpr Align R = Align::Right;
constexpr std::int32_t S = SIZED;

const std::array<ReportDescriptor, 16> REPORTS = {{
    {"JUSTNAMEREPORT", "Print Sorted by Name", "name", K::NAMEKEYKEY, F::NAME, "By Name", 1104, Family::Standard,
     F::NAME, false},
    {"JUSTSERIESREPORT", "Print Sorted by Series", "series", K::SERIESKEYKEY, F::SERIES, "By Series", 1177,
     Family::Standard, F::SERIES, false},
    {"JUSTCATEGORYREPORT", "Print Sorted by Category", "category", K::CATEGORYKEY, F::CATEGORY, "By Category", 1177,
     Family::Standard, F::CATEGORY, false},
    {"JUSTMANUFREPORT", "Print Sorted by Manufacturer", "manufacturer", K::MANUFKEY, F::MANUF, "By Manufacturer",
     1698, Family::Standard, F::MANUF, false},
    {"JUSTYEARREPORT", "Print Sorted by Year", "year", K::YEARKEY, F::YEAR, "By Year", 1177, Family::Standard,
     F::YEAR, false},
    {"JUSTLOCATIONREPORT", "Print Sorted by Location", "location", K::LOCATIONKEY, F::LOCATION, "By Location", 1177,
     Family::StandardPlusField, F::LOCATION, false},
    {"JUSTCUSTOM1REPORT", "Print Sorted by Stock #", "stock", K::CUSTOM1KEY, F::CUSTOM1, "By Stock Number", 1698,
     Family::StandardPlusField, F::CUSTOM1, false},
    {"JUSTCUSTOM2REPORT", "Print Sorted by Custom1", "custom1", K::CUSTOM2KEY, F::CUSTOM2, "By Custom1", 1177,
     Family::StandardPlusField, F::CUSTOM2, false},
    {"JUSTCUSTOM3REPORT", "Print Sorted by Custom2", "custom2", K::CUSTOM3KEY, F::CUSTOM3, "By Custom2", 1177,
     Family::StandardPlusField, F::CUSTOM3, false},
    {"NAMEREPORT", "Print Sorted by Name - All Fields Included", "name-all", K::NAMEKEYKEY, F::NAME, "By Name", 1104,
     Family::AllFields, F::NAME, false},
    {"NAMEREVIEWREPORT", "Print Sorted by Name - Description Included", "name-description", K::NAMEKEYKEY, F::NAME,
     "By Name", 1104, Family::StandardPlusDescription, F::NAME, false},
    {"JUSTVALUEREPORT", "Print Sorted by Value - Totals", "value", K::VALUEKEY, F::VALUE, "By Value", 1177,
     Family::Value, F::VALUE, true},
    {"JUSTLENTTOREPORT", "Print Sorted by Lent To", "lent-to", K::LENTOKEY, F::LENTTO, "By Who Lent To", 1521,
     Family::Lending, F::LENTTO, false},
    {"JUSTLENTDATEREPORT", "Print Sorted by Date Lent", "date-lent", K::DATELENTKEY, F::DATELENT, "By Date Lent",
     1240, Family::Lending, F::DATELENT, false},
    {"JUSTGIVENTOREPORT", "Print Sorted by Given To", "given-to", K::GIVENTOKEY, F::GIVENTO, "By Who Given To", 1688,
     Family::Giving, F::GIVENTO, false},
    {"JUSTGIVENDATEREPORT", "Print Sorted by Date Given", "date-given", K::DATEGIVENKEY, F::DATEGIVEN,
     "By Date Given", 1688, Family::Giving, F::DATEGIVEN, false},
}};

using Heading = ColumnHeading;
using FieldRow = ColumnField;

// The page frame of a family: detail area, page header, title and subtitle
// places, heading box, detail band height.
struct Frame {
  Rect detailArea;
  Rect header;
  Rect title;
  Rect subtitle;  // its width comes from the report
  Rect headingBox;
  std::int32_t detailHeight;
};

Control label(const char* text, Rect rect, LayoutFont font, Align align = L) {
  Control c;
  c.kind = ControlKind::Label;
  c.text = text;
  c.rect = rect;
  c.font = font;
  c.align = align;
  return c;
}

Control heading(const Heading& h) {
  Control c = label(h.text, h.rect, ARIAL_9_BOLD, h.align);
  c.filled = true;
  c.fill = HEADING_FILL;
  return c;
}

Control field(const FieldRow& f, LayoutFont font = ARIAL_9) {
  Control c;
  c.kind = ControlKind::Field;
  c.field = f.field;
  c.picture = f.picture;
  c.rect = f.rect;
  c.font = font;
  c.align = f.align;
  return c;
}

Control description(Rect rect) {
  Control c;
  c.kind = ControlKind::Description;
  c.field = F::DESCRIPTION;
  c.rect = rect;
  c.font = ARIAL_8_ITALIC;
  return c;
}

Control sum(int fieldNumber, Rect rect) {
  Control c;
  c.kind = ControlKind::Sum;
  c.field = fieldNumber;
  c.picture = "N$9.2B";
  c.rect = rect;
  c.font = ARIAL_9_BOLD;
  c.align = R;
  return c;
}

Control separator() {
  Control c;
  c.kind = ControlKind::Line;
  c.rect = Rect{10, 10, 5979, 0};
  c.lineWidth = SEPARATOR_WIDTH;
  return c;
}

// The frame, headings and detail fields every layout is built from.
Layout frameLayout(const char* subtitleText, std::int32_t subtitleWidth, int boldField, const Frame& frame,
                   std::span<const Heading> headings, std::span<const FieldRow> fields) {
  Layout layout;
  layout.detailArea = frame.detailArea;
  layout.header = frame.header;
  layout.footer = Rect{1000, 10005, 6000, 167};

  Control title = label("Glimra - ", frame.title, TITLE_FONT);
  title.colour = TITLE_COLOUR;
  layout.headerControls.push_back(title);
  Rect subtitle = frame.subtitle;
  subtitle.w = subtitleWidth;
  layout.headerControls.push_back(label(subtitleText, subtitle, ARIAL_14));
  Control box;
  box.kind = ControlKind::Box;
  box.rect = frame.headingBox;
  box.filled = true;
  box.fill = HEADING_FILL;
  box.lineWidth = HEADING_BOX_BORDER;
  layout.headerControls.push_back(box);
  for (const Heading& h : headings) layout.headerControls.push_back(heading(h));

  layout.footerControls.push_back(label("Page #", Rect{5177, 21, S, S}, ARIAL_8));
  Control number;
  number.kind = ControlKind::PageNumber;
  number.picture = "s5";
  number.rect = Rect{5552, 10, 375, 208};
  number.font = ARIAL_9;
  number.align = R;
  layout.footerControls.push_back(number);

  layout.detail.height = frame.detailHeight;
  layout.detail.controls.push_back(separator());
  for (const FieldRow& f : fields)
    layout.detail.controls.push_back(field(f, f.field == boldField ? ARIAL_9_BOLD : ARIAL_9));
  return layout;
}

Layout frameLayout(const ReportDescriptor& report, const Frame& frame, std::initializer_list<Heading> headings,
                   std::initializer_list<FieldRow> fields) {
  return frameLayout(report.subtitle, report.subtitleWidth, report.boldField, frame,
                     std::span<const Heading>(headings.begin(), headings.size()),
                     std::span<const FieldRow>(fields.begin(), fields.size()));
}

Layout allFieldsLayout(const ReportDescriptor& report) {
  Layout layout = frameLayout(
      report,
      Frame{{1000, 2500, 6000, 8000}, {1000, 600, 6000, 1760}, {760, 63, 2969, 406}, {3740, 146, 0, 323},
            {10, 542, 5979, 1167}, 1365},
      {
          {"Name", {63, 563, S, S}, L},
          {"Series", {2583, 563, S, S}, L},
          {"Series Number", {4813, 552, 1125, 208}, R},
          {"Category", {63, 750, 667, 208}, L},
          {"Manufacturer", {2583, 750, 938, 208}, L},
          {"Year", {5667, 760, 271, 188}, R},
          {"Location", {63, 938, S, S}, L},
          {"Stock Number", {2583, 938, 1083, 198}, L},
          {"Purchased From", {4854, 938, 1083, 198}, R},
          {"Condition", {63, 1135, S, S}, L},
          {"Custom1", {2583, 1135, S, S}, L},
          {"Purchased Date", {4542, 1135, 1396, 198}, R},
          {"Artist", {63, 1333, S, S}, L},
          {"Custom2", {2583, 1333, S, S}, L},
          {"Purchased Price", {4604, 1333, 1333, 198}, R},
          {"Value", {5604, 1521, 333, 167}, R},
      },
      {
          {F::NAME, "s45", {63, 73, 2417, 208}, L},
          {F::SERIES, "s35", {2583, 73, 2146, 167}, L},
          {F::SERIESNUM, "s15", {4833, 73, 1104, 167}, R},
          {F::CATEGORY, "s30", {63, 250, 2406, 208}, L},
          {F::MANUF, "s35", {2583, 250, 2135, 167}, L},
          {F::YEAR, "s20", {4844, 250, 1094, 208}, R},
          {F::LOCATION, "s18", {63, 427, S, S}, L},
          {F::CUSTOM1, "s35", {2583, 427, 1813, 198}, L},
          {F::PURFROM, "s35", {4469, 427, 1469, 198}, R},
          {F::CONDITION, "s18", {63, 594, S, S}, L},
          {F::CUSTOM2, "s35", {2583, 594, 1823, 198}, L},
          {F::PURDATE, "d1", {4990, 594, 948, 198}, R},
          {F::ARTIST, "s30", {63, 760, S, S}, L},
          {F::CUSTOM3, "s35", {2583, 771, 1844, 198}, L},
          {F::PURPRICE, "N$9.2B", {5156, 760, 781, 198}, R},
          {F::VALUE, "N$9.2B", {5313, 938, S, S}, R},
      });
  layout.detail.controls.push_back(label("Description:", Rect{208, 1073, S, S}, ARIAL_9_ITALIC));
  layout.detail.controls.push_back(description(Rect{208, 1260, 5615, 52}));
  return layout;
}

const Frame STANDARD_FRAME{{1000, 2000, 6000, 8000}, {1000, 600, 6000, 802}, {760, 63, 2969, 406},
                           {3740, 146, 0, 323},      {10, 521, 5979, 448},   458};

Layout standardLayout(const ReportDescriptor& report) {
  return frameLayout(report, STANDARD_FRAME,
                     {
                         {"Name", {63, 563, S, S}, L},
                         {"Series", {2583, 563, S, S}, L},
                         {"Series Number", {4813, 563, 1125, 208}, R},
                         {"Category", {63, 740, 667, 208}, L},
                         {"Manufacturer", {2583, 740, 938, 208}, L},
                         {"Year", {5667, 740, S, S}, R},
                     },
                     {
                         {F::NAME, "s45", {63, 73, 2417, 208}, L},
                         {F::SERIES, "s35", {2583, 73, 2146, 208}, L},
                         {F::SERIESNUM, "s15", {4833, 73, 1104, 208}, R},
                         {F::CATEGORY, "s30", {63, 250, 2406, 208}, L},
                         {F::MANUF, "s35", {2583, 250, 2135, 208}, L},
                         {F::YEAR, "s20", {4844, 250, 1094, 208}, R},
                     });
}

Layout standardPlusDescriptionLayout(const ReportDescriptor& report) {
  Layout layout = standardLayout(report);
  layout.detail.height = 760;
  layout.detail.controls.push_back(label("Description:", Rect{135, 490, 865, 177}, ARIAL_9_ITALIC));
  layout.detail.controls.push_back(description(Rect{135, 688, 5698, 52}));
  return layout;
}

// The third row of the standard-plus-field reports: the sort field and its heading.
struct ThirdRow {
  int field;
  Heading heading;
  FieldRow row;
  std::int32_t categoryHeadingHeight;
};

const ThirdRow THIRD_ROWS[] = {
    {F::LOCATION, {"Location", {73, 906, 656, 156}, L}, {F::LOCATION, "s18", {73, 448, 1531, 198}, L}, 208},
    {F::CUSTOM1, {"Stock Number", {73, 917, 917, 156}, L}, {F::CUSTOM1, "s35", {73, 448, 2625, 198}, L}, 177},
    {F::CUSTOM2, {"Custom1", {73, 917, 656, 156}, L}, {F::CUSTOM2, "s35", {73, 448, 2625, 198}, L}, 177},
    {F::CUSTOM3, {"Custom2", {73, 917, 656, 156}, L}, {F::CUSTOM3, "s35", {73, 448, 2625, 198}, L}, 177},
};

Layout standardPlusFieldLayout(const ReportDescriptor& report) {
  const ThirdRow* third = &THIRD_ROWS[0];
  for (const ThirdRow& t : THIRD_ROWS)
    if (t.field == report.sortField) third = &t;
  Frame frame = STANDARD_FRAME;
  frame.header.h = 1219;
  frame.headingBox.h = 573;
  frame.detailHeight = 635;
  return frameLayout(report, frame,
                     {
                         {"Name", {73, 563, S, S}, L},
                         {"Series", {2583, 563, S, S}, L},
                         {"Series Number", {4813, 563, 1125, 208}, R},
                         {"Category", {73, 740, 667, third->categoryHeadingHeight}, L},
                         {"Manufacturer", {2583, 740, 938, 208}, L},
                         {"Year", {5667, 740, S, S}, R},
                         third->heading,
                     },
                     {
                         {F::NAME, "s45", {73, 73, 2417, 208}, L},
                         {F::SERIES, "s35", {2583, 73, 2146, 208}, L},
                         {F::SERIESNUM, "s15", {4833, 73, 1104, 208}, R},
                         {F::CATEGORY, "s30", {73, 260, 2406, 208}, L},
                         {F::MANUF, "s35", {2583, 250, 2135, 208}, L},
                         {F::YEAR, "s20", {4844, 250, 1094, 208}, R},
                         third->row,
                     });
}

Layout valueLayout(const ReportDescriptor& report) {
  Layout layout = frameLayout(
      report,
      Frame{{1000, 2000, 6000, 8000}, {1000, 600, 6000, 1219}, {969, 63, 2969, 406}, {3948, 146, 0, 323},
            {10, 521, 5979, 573}, 635},
      {
          {"Name", {73, 563, S, S}, L},
          {"Series", {2583, 563, S, S}, L},
          {"Series Number", {4813, 563, 1125, 208}, R},
          {"Category", {73, 740, 667, 177}, L},
          {"Manufacturer", {2583, 740, 938, 208}, L},
          {"Value", {5281, 740, 656, 156}, R},
          {"Year", {73, 906, 396, 156}, L},
          {"Purchase Price", {4958, 896, 979, 167}, R},
      },
      {
          {F::NAME, "s45", {73, 73, 2417, 208}, L},
          {F::SERIES, "s35", {2583, 73, 2146, 208}, L},
          {F::SERIESNUM, "s15", {4833, 73, 1104, 208}, R},
          {F::CATEGORY, "s30", {73, 260, 2406, 208}, L},
          {F::MANUF, "s35", {2583, 250, 2135, 208}, L},
          {F::VALUE, "N$9.2B", {4844, 250, 1094, 208}, R},
          {F::YEAR, "s20", {73, 448, 1844, 198}, L},
          {F::PURPRICE, "N$9.2B", {5313, 427, S, S}, R},
      });
  // The labels end where the totals' column begins; the totals stand right-
  // aligned under the value column, with room for thirteen digits.
  layout.totals.height = 573;
  layout.totals.controls = {
      label("Total Value of Collection:", Rect{2600, 94, 2100, 208}, ARIAL_9_BOLD, R),
      sum(F::VALUE, Rect{4760, 94, 1178, 208}),
      label("Total Purchase Price of Collection:", Rect{2600, 271, 2100, 208}, ARIAL_9_BOLD, R),
      sum(F::PURPRICE, Rect{4760, 271, 1178, 208}),
  };
  return layout;
}

Layout lendingLayout(const ReportDescriptor& report, bool giving) {
  return frameLayout(report,
                     Frame{{1000, 2000, 6000, 8000}, {1000, 600, 6000, 1073}, {719, 73, 2979, 406},
                           {3698, 156, 0, 250}, {10, 521, 5979, 521}, 510},
                     {
                         {"Name", {63, 583, S, S}, L},
                         {"Category", {5375, 583, S, S}, L},
                         {giving ? "Given To" : "Lent To", {63, 813, 625, 208}, L},
                         {giving ? "Date Given" : "Date Lent", {5000, 813, 906, 208}, R},
                     },
                     {
                         {F::NAME, "s45", {63, 73, 3385, 208}, L},
                         {F::CATEGORY, "s24", {3896, 73, 2010, 208}, R},
                         {giving ? F::GIVENTO : F::LENTTO, "s35", {63, 281, 3010, 198}, L},
                         {giving ? F::DATEGIVEN : F::DATELENT, "d1", {4229, 271, 1677, 208}, R},
                     });
}

}  // namespace

const std::array<ReportDescriptor, 16>& reportDescriptors() { return REPORTS; }

const ReportDescriptor* findReport(std::string_view name) {
  for (const ReportDescriptor& r : REPORTS)
    if (name == r.name) return &r;
  return nullptr;
}

Layout reportLayout(const ReportDescriptor& report) {
  switch (report.family) {
    case Family::Standard: return standardLayout(report);
    case Family::StandardPlusField: return standardPlusFieldLayout(report);
    case Family::StandardPlusDescription: return standardPlusDescriptionLayout(report);
    case Family::AllFields: return allFieldsLayout(report);
    case Family::Value: return valueLayout(report);
    case Family::Lending: return lendingLayout(report, false);
    case Family::Giving: return lendingLayout(report, true);
  }
  return standardLayout(report);
}

Layout listLayout(const ListStyle& style) {
  Frame frame = STANDARD_FRAME;
  frame.header.h = 521 + style.headingBoxHeight + 40;
  frame.headingBox.h = style.headingBoxHeight;
  frame.detailArea.y = frame.header.y + frame.header.h + 100;
  frame.detailArea.h = 10000 - frame.detailArea.y;
  frame.detailHeight = style.detailHeight;
  Layout layout = frameLayout(style.subtitle, style.subtitleWidth, style.boldField, frame, style.headings, style.fields);
  return layout;
}

Control sumControl(int fieldNumber, const char* picture, Rect rect) {
  Control c = sum(fieldNumber, rect);
  c.picture = picture;
  return c;
}

Control descriptionControl(int fieldNumber, Rect rect) {
  Control c = description(rect);
  c.field = fieldNumber;
  return c;
}

Control labelControl(const char* text, Rect rect, bool bold, Align align) {
  return label(text, rect, bold ? ARIAL_9_BOLD : ARIAL_9, align);
}

}  // namespace glimra::reports
