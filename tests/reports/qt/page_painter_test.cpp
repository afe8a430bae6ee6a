// SPDX-License-Identifier: GPL-3.0-or-later
// The reports' Qt side: text measured in the report font, pages painted on an
// image as they were laid out, PDFs written whole or not at all, and the
// report command of glimra-file.
#include "reports/qt/page_painter.h"

#include <QApplication>
#include <QFontInfo>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "collection/generator.h"
#include "datafile/run_tool.h"
#include "reports/report_fixture.h"
#include "reports/layouts.h"
#include "reports/qt/qt_text_measure.h"
#include "reports/report_engine.h"
#include "runtime/qt/qt_application.h"

namespace glimra::reports {
namespace {

namespace F = collection::GlField;
using testing::CollectionFolder;
using testing::findText;
using testing::ornament;

// What a command-line program prints about a PDF (pdfinfo, pdftotext).
std::string pdfTool(const std::string& program, const std::string& pdf, const std::string& folder) {
  const std::string out = folder + "/pdf-tool.txt";
  const std::string command = program + " '" + pdf + "'" + (program == "pdftotext" ? " '" + out + "'" : " > '" + out + "'");
  if (std::system(command.c_str()) != 0) return {};
  return datafile::testing::fileBytes(out);
}

TEST(ReportsQt, ArialIsMeasuredInLiberationSansAtAnySize) {
  testApplication();
  const QtTextMeasure measure;
  EXPECT_EQ(QFontInfo(QtTextMeasure::qFont(LayoutFont{9, false, false})).family(), "Liberation Sans");
  // Arial's advance widths: "W" is 0.944 of the size, a digit 0.556; bold "W" 0.944 too, bold "a" 0.556.
  const struct { const char* text; LayoutFont font; double ems; } cases[] = {
      {"WWWWWWWWWW", {9, false, false}, 9.44}, {"0123456789", {9, false, false}, 5.56},
      {"aaaaaaaaaa", {9, true, false}, 5.56},  {"0000000000", {20, true, true}, 5.56},
  };
  for (const auto& c : cases) {
    const double expected = c.ems * c.font.points * 1000.0 / 72.0;
    EXPECT_NEAR(measure.width(c.text, c.font), expected, 2.0) << c.text << " " << c.font.points;
  }
  // A 9 point line fits the 167 to 208 high boxes of the layouts.
  EXPECT_LE(measure.line(LayoutFont{9, true, false}).height, 167);
}

// Dark pixels of an image within columns [left, right) and rows [top, bottom).
int darkPixels(const QImage& image, int left, int right, int top, int bottom) {
  int n = 0;
  for (int y = std::max(0, top); y < std::min(image.height(), bottom); ++y)
    for (int x = std::max(0, left); x < std::min(image.width(), right); ++x) n += qGray(image.pixel(x, y)) < 128;
  return n;
}

TEST(ReportsQt, APageIsPaintedWhereItWasLaidOutAndCutAtItsBoxes) {
  testApplication();
  const QtTextMeasure measure;
  const std::string longName(45, 'W');
  const PageList pages = testing::printReport("name", {ornament({{F::NAME, longName}, {F::YEAR, "1999"}})}, measure);
  const Page& page = pages.pages.at(0);
  const PageItem* name = findText(page, longName);
  ASSERT_NE(name, nullptr);
  EXPECT_TRUE(name->clipped);
  for (int dpi : {96, 300}) {
    const QImage image = renderPage(pages, 0, dpi);
    EXPECT_EQ(image.width(), 8500 * dpi / 1000);
    auto px = [dpi](int units) { return units * dpi / 1000; };
    const int top = px(name->box.y), bottom = px(name->box.y + name->box.h);
    // The name shows up to its box's right edge and not beyond (the series starts at 3583).
    EXPECT_GT(darkPixels(image, px(name->box.x), px(name->box.x + name->box.w), top, bottom), 0) << dpi;
    EXPECT_EQ(darkPixels(image, px(name->box.x + name->box.w) + 1, px(3583), top, bottom), 0) << dpi;
    // The right-aligned year ends at its box's right edge.
    const PageItem* year = findText(page, "1999");
    ASSERT_NE(year, nullptr);
    const int yearTop = px(year->box.y), yearBottom = px(year->box.y + year->box.h);
    EXPECT_GT(darkPixels(image, px(year->box.x + year->box.w) - px(60), px(year->box.x + year->box.w), yearTop,
                         yearBottom), 0) << dpi;
    EXPECT_EQ(darkPixels(image, px(year->box.x + year->box.w) + 2, image.width(), yearTop, yearBottom), 0) << dpi;
    // The title is in colour 128, 0, 0.
    const PageItem* title = findText(page, "Glimra - ");
    bool red = false;
    for (int y = px(title->box.y); y < px(title->box.y + title->box.h) && !red; ++y)
      for (int x = px(title->box.x); x < px(title->box.x + title->box.w) && !red; ++x)
        red = image.pixelColor(x, y) == QColor(128, 0, 0);
    EXPECT_TRUE(red) << dpi;
  }
}

// The pages stand unchanged on A4 and on Letter, each PDF on its own paper;
// on a smaller paper they are scaled down to stay inside its margins.
TEST(ReportsQt, ReportsUseThePaperGivenAndShrinkOnlyWhereTheyWouldNotFit) {
  testApplication();
  const QtTextMeasure measure;
  CollectionFolder folder;
  const PageList pages = testing::printReport("name", {ornament({{F::NAME, "Angel"}})}, measure);
  const Paper letter{8500, 11000}, a4{8268, 11693}, a5{5827, 8268};
  EXPECT_EQ(PaperPlacement(pages, letter).scale(), 1.0);
  EXPECT_EQ(PaperPlacement(pages, a4).scale(), 1.0);
  const double small = PaperPlacement(pages, a5).scale();
  EXPECT_LT(small, 0.85);
  EXPECT_GT(small, 0.7);

  // Where "Angel" stands, in points from the paper's corner, and the paper's name.
  auto angelAndPaper = [&](const Paper& paper, const char* name) {
    const std::string pdf = folder.path(std::string(name) + ".pdf");
    EXPECT_EQ(writePdf(pages, pdf, {}, paper), "");
    const std::string info = pdfTool("pdfinfo", pdf, folder.path(""));
    const std::string size = info.substr(info.find("Page size:"), info.find('\n', info.find("Page size:")) -
                                                                     info.find("Page size:"));
    std::system(("pdftotext -bbox '" + pdf + "' '" + folder.path("bbox.html") + "'").c_str());
    const std::string boxes = datafile::testing::fileBytes(folder.path("bbox.html"));
    const std::size_t word = boxes.find(">Angel<");
    const std::size_t xMin = boxes.rfind("xMin=\"", word);
    return std::make_pair(word == std::string::npos ? -1.0 : std::stod(boxes.substr(xMin + 6)), size);
  };
  const auto [onLetter, letterSize] = angelAndPaper(letter, "letter");
  const auto [onA4, a4Size] = angelAndPaper(a4, "a4");
  const auto [onA5, a5Size] = angelAndPaper(a5, "a5");
  EXPECT_NE(letterSize.find("letter"), std::string::npos) << letterSize;
  EXPECT_NE(a4Size.find("A4"), std::string::npos) << a4Size;
  EXPECT_NE(a5Size.find("A5"), std::string::npos) << a5Size;
  EXPECT_GT(onLetter, 0);
  EXPECT_NEAR(onA4, onLetter, 0.01);       // placed unchanged
  EXPECT_NEAR(onA5, onLetter * small, 0.5);  // scaled from the corner
}

TEST(ReportsQt, APdfIsWrittenWholeWithItsTextOrNotAtAll) {
  testApplication();
  const QtTextMeasure measure;
  CollectionFolder folder;
  std::vector<collection::GlRecord> records;
  for (int i = 0; i < 30; ++i)
    records.push_back(ornament({{F::NAME, testing::numbered("Ornament ", i)}, {F::VALUE, std::to_string(i)}}));
  const PageList pages = testing::printReport("value", records, measure, true);
  ASSERT_EQ(pages.pages.size(), 3u);
  const std::string pdf = folder.path("report.pdf");
  std::size_t reported = 0;
  EXPECT_EQ(writePdf(pages, pdf, [&](std::size_t done) { reported = done; }), "");
  EXPECT_EQ(reported, 3u);
  const std::string info = pdfTool("pdfinfo", pdf, folder.path(""));
  EXPECT_NE(info.find("Pages:"), std::string::npos) << info;
  EXPECT_EQ(std::stoi(info.substr(info.find("Pages:") + 6)), 3) << info;
  const std::string text = pdfTool("pdftotext", pdf, folder.path(""));
  for (const char* shown : {"Glimra", "By Value", "Ornament 29", "Total Value of Collection:", "$435.00", "Page #"})
    EXPECT_NE(text.find(shown), std::string::npos) << shown;
  EXPECT_EQ(std::filesystem::status(pdf).permissions() & std::filesystem::perms::others_read,
            std::filesystem::perms::others_read);

  // A folder that is not there: an error naming it, and no file left.
  const std::string error = writePdf(pages, folder.path("missing/report.pdf"), {});
  EXPECT_NE(error.find("missing"), std::string::npos) << error;
  EXPECT_FALSE(std::filesystem::exists(folder.path("missing")));
  // A folder as the target: refused, the folder untouched.
  EXPECT_NE(writePdf(pages, folder.path(""), {}), "");
  // No temporary file left behind.
  for (const auto& entry : std::filesystem::directory_iterator(folder.path("")))
    EXPECT_EQ(entry.path().filename().string().rfind("report.pdf.", 0), std::string::npos) << entry.path();
}

// In the report font, the largest totals a collection reaches stand clear of
// their labels.
TEST(ReportsQt, TheValueTotalsStandClearOfTheirLabels) {
  testApplication();
  const QtTextMeasure measure;
  std::vector<collection::GlRecord> records;
  for (int i = 0; i < 40; ++i)  // $3,999,999.60 and $3,999,599.60
    records.push_back(ornament({{F::NAME, "N"}, {F::VALUE, "99999.99"}, {F::PURPRICE, "99989.99"}}));
  const PageList pages = testing::printReport("value", records, measure, true);
  const Page& last = pages.pages.back();
  const struct { const char* label; const char* total; } totals[] = {
      {"Total Value of Collection:", "$3,999,999.60"},
      {"Total Purchase Price of Collection:", "$3,999,599.60"},
  };
  for (const auto& t : totals) {
    const PageItem* label = testing::findText(last, t.label);
    const PageItem* total = testing::findText(last, t.total);
    ASSERT_TRUE(label && total) << t.label;
    const int labelEnd = label->textX + measure.width(t.label, pages.styles.at(label->style).font);
    const int totalEnd = total->textX + measure.width(t.total, pages.styles.at(total->style).font);
    EXPECT_LT(labelEnd + 50, total->textX) << t.label;  // a space's width between them at least
    EXPECT_LE(totalEnd, total->box.x + total->box.w) << t.total;
    EXPECT_FALSE(total->clipped) << t.total;
  }
}

TEST(ReportsQt, TheReportCommandMakesAPdfOrSaysWhyNot) {
  CollectionFolder folder;
  const std::string file = folder.path("c.GLM");
  ASSERT_EQ(collection::generateCollectionFile(file, 60, 7, nullptr), 0);
  int code = -1;
  std::string out = datafile::testing::runTool("report '" + file + "' value --pdf '" + folder.path("v.pdf") + "'", &code);
  EXPECT_EQ(code, 0) << out;
  EXPECT_NE(out.find("Print Sorted by Value - Totals"), std::string::npos) << out;
  EXPECT_NE(pdfTool("pdftotext", folder.path("v.pdf"), folder.path("")).find("Total Purchase Price of Collection:"),
            std::string::npos);

  const struct { std::string arguments; int code; const char* said; } failures[] = {
      {"report '" + file + "' colour --pdf x.pdf", 2, "no report named 'colour'"},
      {"report '" + file + "' name", 2, "usage"},
      {"report '" + folder.path("none.GLM") + "' name --pdf '" + folder.path("n.pdf") + "'", 3, "none.GLM"},
      {"report '" + file + "' name --pdf '" + folder.path("no/n.pdf") + "'", 3, "cannot write"},
  };
  for (const auto& f : failures) {
    out = datafile::testing::runTool(f.arguments, &code);
    EXPECT_EQ(code, f.code) << f.arguments << "\n" << out;
    EXPECT_NE(out.find(f.said), std::string::npos) << out;
  }
  EXPECT_FALSE(std::filesystem::exists(folder.path("n.pdf")));

  // Retired versions the file still holds are not printed: each ornament
  // once, the totals over the live ones.
  CollectionFolder edited;
  collection::GlRecord saved = ornament({{F::NAME, "Bright Acorn"}, {F::VALUE, "84.39"}});
  saved.DELETED = 1;
  edited.write("c.GLM", {saved, ornament({{F::NAME, "Bright Acorn"}, {F::VALUE, "100"}}),
                         ornament({{F::NAME, "Drum"}, {F::VALUE, "15.5"}})});
  out = datafile::testing::runTool("report '" + edited.path("c.GLM") + "' value --pdf '" + edited.path("v.pdf") + "'",
                                   &code);
  EXPECT_EQ(code, 0) << out;
  EXPECT_NE(out.find("2 ornaments on 1 page"), std::string::npos) << out;
  const std::string text = pdfTool("pdftotext", edited.path("v.pdf"), edited.path(""));
  EXPECT_EQ(text.find("84.39"), std::string::npos) << text;
  EXPECT_NE(text.find("$115.50"), std::string::npos) << text;

  // A collection without any entry the report lists writes nothing.
  CollectionFolder emptyFolder;
  collection::GlRecord buffer;
  datafile::DataFile empty;
  emptyFolder.open(empty, buffer, {ornament({{F::NAME, "Only"}})});
  empty.close();
  out = datafile::testing::runTool("report '" + emptyFolder.path("c.GLM") + "' lent-to --pdf '" + emptyFolder.path("l.pdf") + "'",
            &code);
  EXPECT_EQ(code, 3) << out;
  EXPECT_NE(out.find("no ornament"), std::string::npos) << out;
  EXPECT_FALSE(std::filesystem::exists(emptyFolder.path("l.pdf")));
}

}  // namespace
}  // namespace glimra::reports
