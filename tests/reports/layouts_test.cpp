// SPDX-License-Identifier: GPL-3.0-or-later
// The page model of each layout family against the positions, fonts and
// alignments of the printed page: one page per family, one table.
#include "reports/layouts.h"

#include <gtest/gtest.h>

#include "report_fixture.h"
#include "reports/report_engine.h"

namespace glimra::reports {
namespace {

namespace F = collection::GlField;
using testing::findText;
using testing::ornament;

const collection::GlRecord& sample() {
  static const collection::GlRecord r = ornament({
      {F::NAME, "Angel"},      {F::SERIES, "Series A"}, {F::SERIESNUM, "7"},    {F::CATEGORY, "Glass"},
      {F::MANUF, "Maker"},     {F::YEAR, "1999"},       {F::LOCATION, "Attic"}, {F::CUSTOM1, "S-1"},
      {F::CUSTOM2, "C-2"},     {F::CUSTOM3, "C-3"},     {F::PURFROM, "Shop"},   {F::PURDATE, "78500"},
      {F::PURPRICE, "12.5"},   {F::VALUE, "20"},        {F::CONDITION, "Mint"}, {F::ARTIST, "Ann"},
      {F::LENTTO, "Bob"},      {F::DATELENT, "78501"},  {F::GIVENTO, "Cy"},     {F::DATEGIVEN, "78502"},
      {F::DESCRIPTION, "Old."},
  });
  return r;
}

// The page of a report over the sample record alone.
PageList onePage(const ReportDescriptor& report) {
  const FixedPitchMeasure measure;
  ReportEngine engine(reportLayout(report), sample(), measure);
  engine.open();
  engine.print(DETAIL_BAND);
  engine.endReport();
  PageList pages = engine.takePages();
  EXPECT_EQ(pages.pages.size(), 1u) << report.name;
  if (pages.pages.empty()) pages.pages.emplace_back();
  return pages;
}

enum Band : char { HEADER = 'H', DETAIL = 'D', FOOTER = 'F' };
enum Alignment : char { LEFT = 'L', RIGHT = 'R' };
constexpr std::int32_t S = SIZED;

struct Placed {
  const char* report;
  const char* text;
  Band band;
  Rect rect;  // from the band's top-left corner, as the layout gives it
  bool bold;
  Alignment align;
};

const Placed PLACED[] = {
    // Standard family.
    {"name", "Glimra - ", HEADER, {760, 63, 2969, 406}, true, LEFT},
    {"name", "By Name", HEADER, {3740, 146, 1104, 323}, false, LEFT},
    {"name", "Name", HEADER, {63, 563, S, S}, true, LEFT},
    {"name", "Series", HEADER, {2583, 563, S, S}, true, LEFT},
    {"name", "Series Number", HEADER, {4813, 563, 1125, 208}, true, RIGHT},
    {"name", "Category", HEADER, {63, 740, 667, 208}, true, LEFT},
    {"name", "Manufacturer", HEADER, {2583, 740, 938, 208}, true, LEFT},
    {"name", "Year", HEADER, {5667, 740, S, S}, true, RIGHT},
    {"name", "Angel", DETAIL, {63, 73, 2417, 208}, true, LEFT},
    {"name", "Series A", DETAIL, {2583, 73, 2146, 208}, false, LEFT},
    {"name", "7", DETAIL, {4833, 73, 1104, 208}, false, RIGHT},
    {"name", "Glass", DETAIL, {63, 250, 2406, 208}, false, LEFT},
    {"name", "Maker", DETAIL, {2583, 250, 2135, 208}, false, LEFT},
    {"name", "1999", DETAIL, {4844, 250, 1094, 208}, false, RIGHT},
    {"name", "Page #", FOOTER, {5177, 21, S, S}, false, LEFT},
    {"name", "1", FOOTER, {5552, 10, 375, 208}, false, RIGHT},
    {"manufacturer", "By Manufacturer", HEADER, {3740, 146, 1698, 323}, false, LEFT},
    // Standard plus one field.
    {"location", "By Location", HEADER, {3740, 146, 1177, 323}, false, LEFT},
    {"location", "Name", HEADER, {73, 563, S, S}, true, LEFT},
    {"location", "Category", HEADER, {73, 740, 667, 208}, true, LEFT},
    {"location", "Location", HEADER, {73, 906, 656, 156}, true, LEFT},
    {"location", "Angel", DETAIL, {73, 73, 2417, 208}, false, LEFT},
    {"location", "Glass", DETAIL, {73, 260, 2406, 208}, false, LEFT},
    {"location", "Maker", DETAIL, {2583, 250, 2135, 208}, false, LEFT},
    {"location", "Attic", DETAIL, {73, 448, 1531, 198}, true, LEFT},
    {"stock", "By Stock Number", HEADER, {3740, 146, 1698, 323}, false, LEFT},
    {"stock", "Category", HEADER, {73, 740, 667, 177}, true, LEFT},
    {"stock", "Stock Number", HEADER, {73, 917, 917, 156}, true, LEFT},
    {"stock", "S-1", DETAIL, {73, 448, 2625, 198}, true, LEFT},
    {"custom2", "Custom2", HEADER, {73, 917, 656, 156}, true, LEFT},
    {"custom2", "C-3", DETAIL, {73, 448, 2625, 198}, true, LEFT},
    // Standard plus description.
    {"name-description", "Description:", DETAIL, {135, 490, 865, 177}, false, LEFT},
    {"name-description", "Old.", DETAIL, {135, 688, 5698, S}, false, LEFT},
    // All fields.
    {"name-all", "Series Number", HEADER, {4813, 552, 1125, 208}, true, RIGHT},
    {"name-all", "Year", HEADER, {5667, 760, 271, 188}, true, RIGHT},
    {"name-all", "Purchased Date", HEADER, {4542, 1135, 1396, 198}, true, RIGHT},
    {"name-all", "Value", HEADER, {5604, 1521, 333, 167}, true, RIGHT},
    {"name-all", "Angel", DETAIL, {63, 73, 2417, 208}, true, LEFT},
    {"name-all", "Series A", DETAIL, {2583, 73, 2146, 167}, false, LEFT},
    {"name-all", "7", DETAIL, {4833, 73, 1104, 167}, false, RIGHT},
    {"name-all", "Glass", DETAIL, {63, 250, 2406, 208}, false, LEFT},
    {"name-all", "1999", DETAIL, {4844, 250, 1094, 208}, false, RIGHT},
    {"name-all", "Attic", DETAIL, {63, 427, S, S}, false, LEFT},
    {"name-all", "S-1", DETAIL, {2583, 427, 1813, 198}, false, LEFT},
    {"name-all", "Shop", DETAIL, {4469, 427, 1469, 198}, false, RIGHT},
    {"name-all", "Mint", DETAIL, {63, 594, S, S}, false, LEFT},
    {"name-all", "C-2", DETAIL, {2583, 594, 1823, 198}, false, LEFT},
    {"name-all", "12/01/15", DETAIL, {4990, 594, 948, 198}, false, RIGHT},
    {"name-all", "Ann", DETAIL, {63, 760, S, S}, false, LEFT},
    {"name-all", "C-3", DETAIL, {2583, 771, 1844, 198}, false, LEFT},
    {"name-all", "$12.50", DETAIL, {5156, 760, 781, 198}, false, RIGHT},
    {"name-all", "$20.00", DETAIL, {5313, 938, S, S}, false, RIGHT},
    {"name-all", "Description:", DETAIL, {208, 1073, S, S}, false, LEFT},
    {"name-all", "Old.", DETAIL, {208, 1260, 5615, S}, false, LEFT},
    // Value.
    {"value", "Glimra - ", HEADER, {969, 63, 2969, 406}, true, LEFT},
    {"value", "By Value", HEADER, {3948, 146, 1177, 323}, false, LEFT},
    {"value", "Category", HEADER, {73, 740, 667, 177}, true, LEFT},
    {"value", "Value", HEADER, {5281, 740, 656, 156}, true, RIGHT},
    {"value", "Year", HEADER, {73, 906, 396, 156}, true, LEFT},
    {"value", "Purchase Price", HEADER, {4958, 896, 979, 167}, true, RIGHT},
    {"value", "Angel", DETAIL, {73, 73, 2417, 208}, false, LEFT},
    {"value", "$20.00", DETAIL, {4844, 250, 1094, 208}, true, RIGHT},
    {"value", "1999", DETAIL, {73, 448, 1844, 198}, false, LEFT},
    {"value", "$12.50", DETAIL, {5313, 427, S, S}, false, RIGHT},
    // Lending and giving.
    {"lent-to", "Glimra - ", HEADER, {719, 73, 2979, 406}, true, LEFT},
    {"lent-to", "By Who Lent To", HEADER, {3698, 156, 1521, 250}, false, LEFT},
    {"lent-to", "Name", HEADER, {63, 583, S, S}, true, LEFT},
    {"lent-to", "Category", HEADER, {5375, 583, S, S}, true, LEFT},
    {"lent-to", "Lent To", HEADER, {63, 813, 625, 208}, true, LEFT},
    {"lent-to", "Date Lent", HEADER, {5000, 813, 906, 208}, true, RIGHT},
    {"lent-to", "Angel", DETAIL, {63, 73, 3385, 208}, false, LEFT},
    {"lent-to", "Glass", DETAIL, {3896, 73, 2010, 208}, false, RIGHT},
    {"lent-to", "Bob", DETAIL, {63, 281, 3010, 198}, true, LEFT},
    {"lent-to", "12/02/15", DETAIL, {4229, 271, 1677, 208}, false, RIGHT},
    {"date-given", "By Date Given", HEADER, {3698, 156, 1688, 250}, false, LEFT},
    {"date-given", "Given To", HEADER, {63, 813, 625, 208}, true, LEFT},
    {"date-given", "Date Given", HEADER, {5000, 813, 906, 208}, true, RIGHT},
    {"date-given", "Cy", DETAIL, {63, 281, 3010, 198}, false, LEFT},
    {"date-given", "12/03/15", DETAIL, {4229, 271, 1677, 208}, true, RIGHT},
};

TEST(ReportLayouts, EachFamilyPlacesItsTextsWhereTheLayoutSays) {
  const FixedPitchMeasure measure;
  for (const Placed& p : PLACED) {
    SCOPED_TRACE(std::string(p.report) + " ‹" + p.text + "›");
    const ReportDescriptor& report = *findReport(p.report);
    const Layout layout = reportLayout(report);
    const Rect origin = p.band == HEADER ? layout.header : p.band == FOOTER ? layout.footer : layout.detailArea;
    const PageList pages = onePage(report);
    const PageItem* item = findText(pages.pages[0], p.text);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->box.x, origin.x + p.rect.x);
    EXPECT_EQ(item->box.y, origin.y + p.rect.y);
    if (p.rect.w != S) {
      EXPECT_EQ(item->box.w, p.rect.w);
    }
    if (p.rect.h != S) {
      EXPECT_EQ(item->box.h, p.rect.h);
    }
    const ItemStyle& style = pages.styles.at(item->style);
    EXPECT_EQ(style.font.bold, p.bold);
    EXPECT_FALSE(item->clipped);
    if (p.align == RIGHT) {
      EXPECT_EQ(item->textX + measure.width(p.text, style.font), item->box.x + item->box.w);
    } else {
      EXPECT_EQ(item->textX, item->box.x);
    }
  }
}

// What every layout shares: the title's font and colour, the light-yellow
// heading box and headings, the separator at the top of each detail band, the
// footer's fonts; and its own heading box.
TEST(ReportLayouts, EveryLayoutHasTheCommonElements) {
  const struct { const char* report; Rect headingBox; } boxes[] = {
      {"name", {10, 521, 5979, 448}},   {"year", {10, 521, 5979, 448}},
      {"location", {10, 521, 5979, 573}}, {"custom1", {10, 521, 5979, 573}},
      {"name-description", {10, 521, 5979, 448}}, {"name-all", {10, 542, 5979, 1167}},
      {"value", {10, 521, 5979, 573}},  {"lent-to", {10, 521, 5979, 521}},
      {"given-to", {10, 521, 5979, 521}},
  };
  for (const auto& b : boxes) {
    SCOPED_TRACE(b.report);
    const ReportDescriptor& report = *findReport(b.report);
    const Layout layout = reportLayout(report);
    const PageList pages = onePage(report);
    const Page& page = pages.pages[0];
    const ItemStyle& title = pages.styles.at(findText(page, "Glimra - ")->style);
    EXPECT_EQ(title.font, (LayoutFont{20, true, true}));
    EXPECT_EQ(title.colour, (Colour{128, 0, 0}));
    EXPECT_EQ(pages.styles.at(findText(page, report.subtitle)->style).font, (LayoutFont{14, false, false}));
    const ItemStyle& heading = pages.styles.at(findText(page, "Name")->style);
    EXPECT_TRUE(heading.filled);
    EXPECT_EQ(heading.fill, (Colour{255, 255, 128}));
    EXPECT_EQ(heading.font, (LayoutFont{9, true, false}));
    EXPECT_EQ(pages.styles.at(findText(page, "Page #")->style).font, (LayoutFont{8, false, false}));
    EXPECT_EQ(pages.styles.at(findText(page, "1")->style).font, (LayoutFont{9, false, false}));

    std::vector<Rect> boxesSeen, linesSeen;
    for (const PageItem& item : page.items) {
      const ItemStyle& style = pages.styles.at(item.style);
      if (item.kind == ItemKind::Box) {
        boxesSeen.push_back(item.box);
        EXPECT_EQ(style.fill, (Colour{255, 255, 128}));
        EXPECT_EQ(style.colour, BLACK);
        EXPECT_GT(style.lineWidth, 0);
      } else if (item.kind == ItemKind::Line) {
        linesSeen.push_back(item.box);
        EXPECT_EQ(style.lineWidth, 3);
      }
    }
    const Rect box{layout.header.x + 10, layout.header.y + b.headingBox.y, 5979, b.headingBox.h};
    EXPECT_EQ(boxesSeen, std::vector<Rect>{box});
    const Rect separator{layout.detailArea.x + 10, layout.detailArea.y + 10, 5979, 0};
    EXPECT_EQ(linesSeen, std::vector<Rect>{separator});
  }
}

// In every report the sort field, and only it, prints in bold.
TEST(ReportLayouts, TheSortFieldAloneIsBold) {
  const auto& declared = collection::glimraDeclaration().fields;
  for (const ReportDescriptor& report : reportDescriptors()) {
    SCOPED_TRACE(report.name);
    EXPECT_EQ(report.boldField, report.sortField);
    EXPECT_EQ(report.totals, report.family == Family::Value);
    const Layout layout = reportLayout(report);
    int boldFields = 0;
    for (const Control& c : layout.detail.controls) {
      if (c.kind != ControlKind::Field) continue;
      EXPECT_EQ(c.font.bold, c.field == report.sortField) << declared.at(static_cast<std::size_t>(c.field)).name;
      boldFields += c.font.bold ? 1 : 0;
    }
    EXPECT_EQ(boldFields, 1);
  }
}

}  // namespace
}  // namespace glimra::reports
