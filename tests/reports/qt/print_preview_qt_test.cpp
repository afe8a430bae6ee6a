// SPDX-License-Identifier: GPL-3.0-or-later
// The print preview on the real toolkit (offscreen, or a real screen under
// Xvfb): pages drawn in the thumbnails and the zoomed page at the size shown,
// mouse clicks on a thumbnail and on the zoomed page,
// and the print path writing the chosen pages, fitted, to a PDF file.
// GLIMRA_PREVIEW_SHOTS=folder saves the two views as pictures for the README.
#include <QAction>
#include <QLabel>
#include <QApplication>
#include <QMainWindow>
#include <QPageSize>
#include <QPrinter>
#include <QScreen>
#include <QSpinBox>
#include <QTest>
#include <QElapsedTimer>
#include <QTimer>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>

#include "reports/print_preview.h"
#include "reports/qt/preview_devices.h"
#include "reports/qt/qt_text_measure.h"
#include "reports/report_fixture.h"
#include "reports/report_procedure.h"
#include "runtime/qt/qt_application.h"
#include "runtime/qt/qt_page_images.h"
#include "runtime/qt/qt_runtime.h"

namespace glimra::reports {
namespace {

namespace F = collection::GlField;
using testing::ornament;

std::string run(const std::string& command) {
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  std::string out;
  char buffer[4096];
  std::size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  pclose(pipe);
  return out;
}

PageList namedOrnaments(int count) {
  static const QtTextMeasure measure;
  std::vector<collection::GlRecord> records;
  for (int i = 0; i < count; ++i)
    records.push_back(ornament({{F::NAME, testing::numbered("Bauble ", 1000 + i)}, {F::YEAR, "1987"}}));
  return testing::printReport("name", records, measure);
}

int darkPixels(const QImage& image) {
  int n = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) n += qGray(image.pixel(x, y)) < 128;
  return n;
}

QWidget* previewWindow() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->isVisible() && w->windowTitle() == QStringLiteral("Report Preview")) return w;
  return nullptr;
}

std::vector<runtime::PageView*> shownPages(QWidget* window) {
  std::vector<runtime::PageView*> views;
  for (QLabel* label : window->findChildren<QLabel*>())
    if (auto* view = dynamic_cast<runtime::PageView*>(label); view && view->isVisible() && view->page() > 0)
      views.push_back(view);
  return views;
}

void trigger(QWidget* window, const char* text) {
  for (QAction* action : window->findChildren<QAction*>())
    if (action->text() == QString::fromLatin1(text)) return action->trigger();
  ADD_FAILURE() << "no action " << text;
}

TEST(PrintPreviewQt, ThumbnailsAndTheZoomedPageAreDrawnAtTheSizeShown) {
  testApplication();
  const PageList pages = namedOrnaments(60);  // 17 bands a page: 4 pages
  ASSERT_EQ(pages.pages.size(), 4u);
  runtime::QtRuntime runtime;
  QtPreviewDevices devices;
  ReportPreview preview(runtime, devices.images(pages), {}, "r.pdf");
  const QString shots = qEnvironmentVariable("GLIMRA_PREVIEW_SHOTS");
  int step = 0;
  std::vector<int> thumbnailInk;
  int clickedPage = 0;
  int pagesAfterClickBack = 0;
  QSize zoomedSize;
  int zoomedInk = 0;
  QTimer driver;
  QObject::connect(&driver, &QTimer::timeout, [&] {
    QWidget* window = previewWindow();
    if (!window) return;
    settle(50);
    if (step == 0) {
      for (QSpinBox* spin : window->findChildren<QSpinBox*>())
        if (spin->toolTip().startsWith(QStringLiteral("Select the number"))) spin->setValue(2);
    } else if (step == 1) {
      for (runtime::PageView* view : shownPages(window)) thumbnailInk.push_back(darkPixels(view->grab().toImage()));
      if (!shots.isEmpty()) window->grab().save(shots + QStringLiteral("/preview-thumbnails.png"));
      const auto views = shownPages(window);
      if (views.size() == 4) QTest::mouseClick(views[2], Qt::LeftButton);  // page 3 at page width
    } else if (step == 2) {
      const auto views = shownPages(window);
      if (views.size() == 1) {
        clickedPage = views[0]->page();
        QTest::mouseClick(views[0], Qt::LeftButton);  // back to the thumbnails
      }
    } else if (step == 3) {
      pagesAfterClickBack = static_cast<int>(shownPages(window).size());
      trigger(window, "&100 Percent");
    } else if (step == 4) {
      const auto views = shownPages(window);
      if (views.size() == 1) {
        zoomedSize = views[0]->size();
        zoomedInk = darkPixels(views[0]->grab().toImage());
      }
      if (!shots.isEmpty()) window->grab().save(shots + QStringLiteral("/preview-zoom.png"));
      trigger(window, "E&xit");
      driver.stop();
    }
    ++step;
  });
  driver.start(150);
  EXPECT_EQ(preview.run(), 2);
  ASSERT_EQ(thumbnailInk.size(), 4u);
  for (int ink : thumbnailInk) EXPECT_GT(ink, 50);
  // Mouse clicks: the third thumbnail zooms to page 3; the zoomed page goes back.
  EXPECT_EQ(clickedPage, 3);
  EXPECT_EQ(pagesAfterClickBack, 2);  // the grid from page 3 of 4
  // 100 %: the page at the screen's resolution, drawn at that size, not enlarged.
  const double dotsPerInch = QApplication::primaryScreen()->logicalDotsPerInchX();
  EXPECT_NEAR(zoomedSize.width(), 8.5 * dotsPerInch, 8.5 * dotsPerInch * 0.03);
  EXPECT_GT(zoomedInk, thumbnailInk[0]);
  EXPECT_LE(runtime::pageCacheBytes(), runtime::PAGE_CACHE_BYTES);
}

// Esc where the keys go leaves the jump dialog without jumping and then the
// preview without printing, as Cancel and Exit do.
TEST(PrintPreviewQt, EscapeLeavesTheJumpDialogAndThePreview) {
  testApplication();
  const PageList pages = namedOrnaments(60);
  runtime::QtRuntime runtime;
  QtPreviewDevices devices;
  ReportPreview preview(runtime, devices.images(pages), {}, "r.pdf");
  auto pressEscape = [](QWidget* window) {
    QWidget* focus = QApplication::focusWidget();
    QTest::keyClick(focus && focus->window() == window ? focus : window, Qt::Key_Escape);
  };
  int step = 0;
  bool jumpShown = false, jumpClosed = false;
  QTimer driver;
  QObject::connect(&driver, &QTimer::timeout, [&] {
    QWidget* jump = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
      if (w->isVisible() && w->windowTitle() == QStringLiteral("Jump to a Report Page")) jump = w;
    QWidget* window = previewWindow();
    if (!window) return;
    if (step == 0) {
      trigger(window, "&Jump to a page");
      ++step;
    } else if (step == 1 && jump) {
      jumpShown = true;
      if (!jump->isActiveWindow()) return jump->activateWindow();
      pressEscape(jump);
      ++step;
    } else if (step == 2 && !jump) {
      jumpClosed = true;
      if (!window->isActiveWindow()) return window->activateWindow();
      pressEscape(window);
      driver.stop();
    }
  });
  driver.start(50);
  EXPECT_EQ(preview.run(), 2);
  EXPECT_TRUE(jumpShown);
  EXPECT_TRUE(jumpClosed);
}

TEST(PrintPreviewQt, AReportFromTheMenuOpensInThePreviewAndExitPrintsNothing) {
  testApplication();
  testing::CollectionFolder folder;
  folder.write("c.GLM", {ornament({{F::NAME, "Star"}}), ornament({{F::NAME, "Angel"}})});
  runtime::QtRuntime runtime;
  program::Program program(runtime);
  program.GLIMRA.setName(folder.path("c.GLM"));
  const QtTextMeasure measure;
  QtPreviewDevices devices;
  PreviewOutput output(program, devices);
  bool sawPageOne = false;
  QTimer driver;
  QElapsedTimer shown;
  QObject::connect(&driver, &QTimer::timeout, [&] {
    QWidget* window = previewWindow();
    if (!window) return;
    if (!shown.isValid()) shown.start();
    settle(50);
    for (QLabel* label : window->findChildren<QLabel*>())
      sawPageOne = sawPageOne || label->text() == QStringLiteral("Page 1 of 1");
    // On a busy machine the page label may come a few ticks after the
    // window: look again until it shows or five seconds have passed.
    if (!sawPageOne && shown.elapsed() < 5000) return;
    trigger(window, "E&xit");
    driver.stop();
  });
  driver.start(100);
  ReportProcedures(program, measure, output).run(0);
  EXPECT_TRUE(sawPageOne);
  EXPECT_EQ(program.GLOBALRESPONSE, 1);  // the records were read to the end
  EXPECT_EQ(program.GLIMRA_USED, 0);
}

TEST(PrintPreviewQt, ThePrintPathWritesTheChosenPagesFittedToAPdf) {
  testApplication();
  const PageList pages = namedOrnaments(60);
  const std::filesystem::path folder = std::filesystem::temp_directory_path() / "glimra-print-preview-test";
  std::filesystem::create_directories(folder);
  const std::string pdf = (folder / "printed.pdf").string();
  std::filesystem::remove(pdf);
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(QString::fromStdString(pdf));
  // A4 paper, narrower and taller than the pages: each page is shrunk to fit.
  printer.setPageSize(QPageSize(QPageSize::A4));
  std::vector<int> progress;
  ASSERT_TRUE(printPages(printer, pages, 2, 3, [&](int printed) {
    progress.push_back(printed);
    return true;
  }));
  EXPECT_EQ(progress, (std::vector<int>{1, 2}));
  const std::string info = run("pdfinfo '" + pdf + "'");
  const std::size_t pagesAt = info.find("Pages:");
  ASSERT_NE(pagesAt, std::string::npos) << info;
  EXPECT_EQ(std::stoi(info.substr(pagesAt + 6)), 2) << info;
  const std::string text = run("pdftotext -layout '" + pdf + "' -");
  // Page 2 holds baubles 1017-1033, page 3 1034-1050; page 1 is not printed.
  EXPECT_NE(text.find("Bauble 1017"), std::string::npos);
  EXPECT_NE(text.find("Bauble 1050"), std::string::npos);
  EXPECT_EQ(text.find("Bauble 1016"), std::string::npos);
  EXPECT_EQ(text.find("Bauble 1051"), std::string::npos);

  // Cancel after the first page: the job is abandoned.
  const std::string cancelled = (folder / "cancelled.pdf").string();
  printer.setOutputFileName(QString::fromStdString(cancelled));
  EXPECT_FALSE(printPages(printer, pages, 1, 4, [](int) { return false; }));
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace glimra::reports
