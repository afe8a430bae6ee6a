// SPDX-License-Identifier: GPL-3.0-or-later
// The report engine: pages, page numbers, growing and splitting bands,
// clipping, money pictures, cut categories and running sums.
#include "reports/report_engine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "report_fixture.h"
#include "reports/layouts.h"

namespace glimra::reports {
namespace {

namespace F = collection::GlField;
using testing::findText;
using testing::ornament;
using testing::texts;

PageList printAll(const char* report, const std::vector<collection::GlRecord>& records, bool totals = false) {
  static const FixedPitchMeasure measure;
  return testing::printReport(report, records, measure, totals);
}

std::vector<collection::GlRecord> named(int count, const std::string& description = "") {
  std::vector<collection::GlRecord> out;
  for (int i = 1; i <= count; ++i)
    out.push_back(ornament({{F::NAME, testing::numbered("Ornament ", i)}, {F::DESCRIPTION, description}}));
  return out;
}

int separators(const Page& page) {
  int n = 0;
  for (const PageItem& item : page.items) n += item.kind == ItemKind::Line ? 1 : 0;
  return n;
}

TEST(ReportEngine, BandsThatDoNotFitStartANewPageNumberedFromOne) {
  // 8000 / 458: seventeen standard bands fill a page.
  const PageList pages = printAll("name", named(35));
  ASSERT_EQ(pages.pages.size(), 3u);
  const int expected[] = {17, 17, 1};
  const FixedPitchMeasure measure;
  for (std::size_t i = 0; i < 3; ++i) {
    const Page& page = pages.pages[i];
    EXPECT_EQ(separators(page), expected[i]);
    // Each page has its header and its footer with its number, right-aligned in its box.
    EXPECT_NE(findText(page, "Glimra - "), nullptr);
    const std::string number = std::to_string(i + 1);
    const PageItem* shown = findText(page, number);
    ASSERT_NE(shown, nullptr) << number;
    EXPECT_EQ(shown->box, (Rect{6552, 10015, 375, 208}));
    EXPECT_EQ(shown->textX + measure.width(number, LayoutFont{9, false, false}), 6552 + 375);
  }
  EXPECT_NE(findText(pages.pages[1], "Ornament 18"), nullptr);
  EXPECT_NE(findText(pages.pages[2], "Ornament 35"), nullptr);
}

// The words of a page's description lines, joined with blanks.
std::string descriptionText(const PageList& pages, int descriptionLeft) {
  std::string text;
  for (const Page& page : pages.pages)
    for (const PageItem& item : page.items)
      if (item.kind == ItemKind::Text && item.box.x == descriptionLeft && page.textOf(item) != "Description:")
        text.append(text.empty() ? "" : " ").append(page.textOf(item));
  return text;
}

TEST(ReportEngine, ALongDescriptionGrowsItsBandAndMovesItToTheNextPage) {
  // Three paragraphs of 40 five-letter words wrap into three lines each at 113
  // characters a line: the description grows from 52 to 9 lines.
  std::string paragraph;
  for (int i = 0; i < 40; ++i) paragraph.append(i ? " words" : "words");
  const std::string description = paragraph + "\r\n" + paragraph + "\r\n" + paragraph;
  std::vector<collection::GlRecord> records = named(9);  // 9 * 760 = 6840 of 8000
  records.push_back(ornament({{F::NAME, "Long"}, {F::DESCRIPTION, description}}));
  records.push_back(ornament({{F::NAME, "After"}}));
  const PageList pages = printAll("name-description", records);

  ASSERT_EQ(pages.pages.size(), 2u);
  EXPECT_EQ(findText(pages.pages[0], "Long"), nullptr);
  const Page& second = pages.pages[1];
  ASSERT_NE(findText(second, "Long"), nullptr);
  EXPECT_EQ(findText(second, "Long")->box.y, 2000 + 73);
  const FixedPitchMeasure measure;
  const int lineHeight = measure.line(LayoutFont{8, false, true}).height;
  int lines = 0;
  for (const PageItem& item : second.items) {
    if (item.box.x != 1135 || second.textOf(item) == "Description:") continue;
    EXPECT_EQ(item.box.y, 2000 + 688 + lines * lineHeight);
    EXPECT_LE(measure.width(second.textOf(item), LayoutFont{8, false, true}), 5698);
    ++lines;
  }
  EXPECT_EQ(lines, 9);
  EXPECT_EQ(descriptionText(pages, 1135), paragraph + " " + paragraph + " " + paragraph);
  // The next band follows the grown one.
  ASSERT_NE(findText(second, "After"), nullptr);
  EXPECT_EQ(findText(second, "After")->box.y, 2000 + 760 + (9 * lineHeight - 52) + 73);
}

TEST(ReportEngine, ABandTallerThanAPageIsSplitAcrossPagesAndLosesNothing) {
  std::string description;
  std::string expected;
  for (int i = 1; i <= 150; ++i) {
    description.append(i > 1 ? "\r\n" : "").append(testing::numbered("Line ", i));
    expected.append(i > 1 ? " " : "").append(testing::numbered("Line ", i));
  }
  const PageList pages = printAll("name-all", {ornament({{F::NAME, "Huge"}, {F::DESCRIPTION, description}}),
                                               ornament({{F::NAME, "Next"}})});
  ASSERT_GE(pages.pages.size(), 3u);
  EXPECT_EQ(descriptionText(pages, 1208), expected);
  for (const Page& page : pages.pages)
    for (const PageItem& item : page.items)
      if (item.box.y >= 2500 && item.box.y < 10005) {
        EXPECT_LE(item.box.y + item.box.h, 2500 + 8000);
      }
  EXPECT_NE(findText(pages.pages.back(), "Next"), nullptr);
}

// A band that ends exactly at the bottom of the detail area stays on its
// page: in the flow (three bands of two rows fill an area of six) and where a
// band taller than the area is split between its rows (a row that ends
// exactly at the bottom stays above the cut). Rows are 100 high.
TEST(ReportEngine, ABandEndingExactlyAtTheBottomOfTheAreaStaysOnItsPage) {
  struct Case {
    const char* what;
    int rows;  // of each band
    std::int32_t area;
    int records;
    std::vector<std::size_t> rowsPerPage;
  };
  const Case cases[] = {
      {"three bands fill the area", 2, 600, 3, {6}},
      {"a fourth band starts a page", 2, 600, 4, {6, 2}},
      {"a band taller than the area, its second row ending at the bottom", 3, 200, 1, {2, 1}},
      {"a band taller than the area, cut where each page ends exactly", 4, 200, 1, {2, 2}},
  };
  static const FixedPitchMeasure measure;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Layout layout;
    layout.detailArea = {500, 500, 7000, c.area};
    layout.detail.height = 100 * c.rows;
    for (int row = 0; row < c.rows; ++row) {
      Control label;
      label.text = "Row";
      label.rect = {0, 100 * row, 1000, 100};
      layout.detail.controls.push_back(label);
    }
    collection::GlRecord buffer;
    ReportEngine engine(layout, buffer, measure);
    engine.open();
    for (int i = 0; i < c.records; ++i) engine.print(DETAIL_BAND);
    engine.endReport();
    std::vector<std::size_t> rows;
    for (const Page& page : engine.takePages().pages) {
      rows.push_back(page.items.size());
      for (const PageItem& item : page.items) EXPECT_LE(item.box.y + item.box.h, 500 + c.area);
    }
    EXPECT_EQ(rows, c.rowsPerPage);
  }
}

TEST(ReportEngine, TextWiderThanItsBoxIsCutAtTheBox) {
  // Fixed pitch: 9 point characters are 56 wide, bold ones 61.
  const struct { int field; std::string value; bool clipped; } cases[] = {
      {F::NAME, std::string(40, 'W'), true},  // 2440 in a box of 2417
      {F::NAME, std::string(39, 'W'), false},
      {F::YEAR, std::string(20, '9'), true},  // right-aligned, 1120 in 1094: shown from its start
      {F::YEAR, std::string(19, '9'), false},
  };
  const FixedPitchMeasure measure;
  for (const auto& c : cases) {
    const PageList pages = printAll("name", {ornament({{c.field, c.value}})});
    const PageItem* item = findText(pages.pages[0], c.value);
    ASSERT_NE(item, nullptr) << c.value;
    EXPECT_EQ(item->clipped, c.clipped) << c.value;
    const int right = item->textX + measure.width(c.value, pages.styles.at(item->style).font);
    if (c.clipped) {
      EXPECT_EQ(item->textX, item->box.x) << c.value;
    } else {
      EXPECT_LE(right, item->box.x + item->box.w) << c.value;
    }
  }
}

TEST(ReportEngine, BlankAndZeroMoneyPrintNothing) {
  collection::GlRecord zero = ornament({{F::NAME, "Zero"}, {F::VALUE, "0"}});
  zero.PURPRICE = "0";  // as an older file stores it
  const PageList pages = printAll("value", {zero, ornament({{F::NAME, "Blank"}})});
  for (const std::string& text : texts(pages.pages[0])) EXPECT_EQ(text.find('$'), std::string::npos) << text;
}

TEST(ReportEngine, TheCategoryIsCutTo24InTheLendingLayoutsOnly) {
  const std::string category = "Glass Ornaments From Abroad!";  // 28 characters
  const collection::GlRecord r =
      ornament({{F::NAME, "A"}, {F::CATEGORY, category}, {F::LENTTO, "Bob"}, {F::GIVENTO, "Cy"}});
  for (const char* report : {"name", "name-all", "location", "value"})
    EXPECT_NE(findText(printAll(report, {r}).pages[0], category), nullptr) << report;
  for (const char* report : {"lent-to", "date-lent", "given-to", "date-given"})
    EXPECT_NE(findText(printAll(report, {r}).pages[0], category.substr(0, 24)), nullptr) << report;
}

TEST(ReportEngine, TotalsSumTheAmountsOfThePrintedBands) {
  collection::GlRecord odd = ornament({{F::NAME, "Odd"}, {F::VALUE, "15.5"}});
  odd.PURPRICE = "about 3 dollars";  // not a number: counts as 0
  const std::vector<collection::GlRecord> records = {
      ornament({{F::NAME, "Ten"}, {F::VALUE, "10"}, {F::PURPRICE, "4"}}), odd,
      ornament({{F::NAME, "Blank"}, {F::PURPRICE, "1.25"}})};
  const PageList pages = printAll("value", records, true);
  const Page& page = pages.pages.back();
  const PageItem* label = findText(page, "Total Value of Collection:");
  const PageItem* sum = findText(page, "$25.50");
  ASSERT_NE(label, nullptr);
  ASSERT_NE(sum, nullptr);
  EXPECT_EQ(sum->box.y, label->box.y);
  // Right-aligned under the value column, clear of its label.
  EXPECT_EQ(sum->box.x + sum->box.w, 1000 + 4844 + 1094);
  EXPECT_LE(label->box.x + label->box.w, sum->box.x);
  const PageItem* purchase = findText(page, "$5.25");
  ASSERT_NE(purchase, nullptr);
  EXPECT_EQ(purchase->box.y, findText(page, "Total Purchase Price of Collection:")->box.y);
  EXPECT_TRUE(pages.styles.at(sum->style).font.bold);
}

TEST(ReportEngine, NothingPrintsBeforeOpenOrAfterClose) {
  const FixedPitchMeasure measure;
  const collection::GlRecord record = ornament({{F::NAME, "A"}, {F::VALUE, "1"}});
  ReportEngine engine(reportLayout(*findReport("value")), record, measure);
  engine.print(DETAIL_BAND);
  engine.print(TOTALS_BAND);
  engine.endReport();
  EXPECT_TRUE(engine.takePages().pages.empty());
  engine.open();
  for (int i = 0; i < 30; ++i) engine.print(DETAIL_BAND);
  EXPECT_EQ(engine.finishedPages(), 2u);
  engine.close();
  engine.endReport();
  EXPECT_TRUE(engine.takePages().pages.empty());
}

}  // namespace
}  // namespace glimra::reports
