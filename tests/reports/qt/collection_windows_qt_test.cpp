// SPDX-License-Identifier: GPL-3.0-or-later
// The Statistics and Series windows on the real toolkit (offscreen), driven
// with real mouse clicks and key presses: a heading sorts the table, a
// grouping changes it and its chart; a size typed and set is kept in the
// collection file beside the open collection.
// GLIMRA_WINDOW_SHOTS=folder saves both windows as pictures for the README.
#include <QApplication>
#include <QLineEdit>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QtTest/QTest>
#include <gtest/gtest.h>

#include "collection/generator.h"
#include "collection/series_sizes.h"
#include "reports/qt/preview_devices.h"
#include "reports/qt/qt_text_measure.h"
#include "reports/report_fixture.h"
#include "reports/series_window.h"
#include "reports/statistics_window.h"
#include "runtime/qt/qt_application.h"
#include "runtime/qt/qt_page_images.h"
#include "runtime/qt/qt_runtime.h"

namespace glimra::reports {
namespace {

QWidget* windowTitled(const char* title) {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->isVisible() && w->windowTitle() == QString::fromUtf8(title)) return w;
  return nullptr;
}

template <class Widget>
Widget* withText(QWidget* window, const char* text) {
  for (Widget* w : window->findChildren<Widget*>())
    if (w->text() == QString::fromUtf8(text)) return w;
  return nullptr;
}

QString firstRow(QWidget* window) {
  const auto* list = window->findChild<QListView*>();
  return list && list->model()->rowCount() > 0 ? list->model()->index(0, 0).data().toString() : QString();
}

// What a page does not leave white.
int darkPixels(const QImage& image) {
  int dark = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) dark += qGray(image.pixel(x, y)) < 160 ? 1 : 0;
  return dark;
}

// A generated collection, open as the main window keeps it.
struct Session {
  Session() {
    testApplication();
    std::vector<collection::GlRecord> records{collection::generatedHeaderRecord(9)};
    for (const auto& r : collection::generateOrnaments(400, 9)) records.push_back(r);
    folder.write("c.GLM", records);
    program.GLIMRA.setName(folder.path("c.GLM"));
    EXPECT_EQ(program.GLIMRA.open(datafile::READ_WRITE_DENY_WRITE), 0);
  }
  // Runs step after step on a timer until one returns true, then stops.
  void drive(std::function<bool(int step)> step) {
    QObject::connect(&driver, &QTimer::timeout, [this, step, n = 0]() mutable {
      settle(30);
      if (step(n++)) driver.stop();
    });
    driver.start(120);
  }

  testing::CollectionFolder folder;
  runtime::QtRuntime runtime;
  program::Program program{runtime};
  const QtTextMeasure measure;
  QtPreviewDevices devices;
  PreviewOutput output{program, devices};
  QTimer driver;
  const QString shots = qEnvironmentVariable("GLIMRA_WINDOW_SHOTS");
};

TEST(CollectionWindowsQt, StatisticsSortByAHeadingAndGroupAnotherWayWithTheChartBeside) {
  Session s;
  StatisticsWindow window(s.program, s.measure, s.output, &s.devices);
  QString byName, byValue, byYear;
  int chartInk = -1;
  double chartDotsPerInch = 0;
  s.drive([&](int step) {
    QWidget* w = windowTitled(STATISTICS_WINDOW_TITLE);
    if (!w) return false;
    switch (step) {
      case 0:
        byName = firstRow(w);
        QTest::mouseClick(withText<QPushButton>(w, "Value"), Qt::LeftButton);
        return false;
      case 1:
        byValue = firstRow(w);
        QTest::mouseClick(withText<QRadioButton>(w, "&Year Made"), Qt::LeftButton);
        return false;
      case 2: {
        byYear = firstRow(w);
        for (QLabel* label : w->findChildren<QLabel*>())
          if (auto* view = dynamic_cast<runtime::PageView*>(label); view && view->pages()) {
            chartInk = darkPixels(view->grab().toImage());
            chartDotsPerInch = view->width() * 1000.0 / view->pages()->pageWidth();
          }
        if (!s.shots.isEmpty()) w->grab().save(s.shots + QStringLiteral("/statistics.png"));
        QTest::mouseClick(withText<QPushButton>(w, "Cl&ose"), Qt::LeftButton);
        return true;
      }
    }
    return true;
  });
  window.run();
  // The generated collection has ornaments without a category: "(none)" sorts first by name.
  EXPECT_TRUE(byName.startsWith(QStringLiteral("(none)"))) << byName.toStdString();
  ASSERT_FALSE(window.shown.empty());
  EXPECT_EQ(window.sortColumn, collection::GroupColumn::Value);
  EXPECT_TRUE(window.descending);
  for (std::size_t i = 1; i < window.shown.size(); ++i) EXPECT_GE(window.shown[i - 1].value, window.shown[i].value);
  EXPECT_NE(byValue, byName);
  EXPECT_EQ(window.GROUPING, 3);  // year made, still sorted by value
  EXPECT_EQ(byYear.toStdString(), statisticsRow(window.shown[0], false));
  EXPECT_GT(chartInk, 100) << "the chart page is drawn beside the table";
  // Cut to its area and as wide as the room: its 9-point text at least 9 pixels high.
  EXPECT_GE(chartDotsPerInch, 72);
  EXPECT_GE(window.pages().chartPages(), 1u);
}

TEST(CollectionWindowsQt, SeriesASizeTypedAndSetIsKeptInTheCollectionFile) {
  Session s;
  SeriesWindow window(s.program, s.measure, s.output);
  std::string chosenSeries;
  s.drive([&](int step) {
    QWidget* w = windowTitled(SERIES_WINDOW_TITLE);
    if (!w) return false;
    switch (step) {
      case 0: {
        chosenSeries = window.SERIES.at(0).series;
        auto* size = w->findChild<QLineEdit*>();
        size->selectAll();
        QTest::keyClicks(size, QStringLiteral("40"));
        QTest::mouseClick(withText<QPushButton>(w, "&Set Size"), Qt::LeftButton);
        return false;
      }
      case 1:
        QTest::mouseClick(withText<QPushButton>(w, "&Mark for List"), Qt::LeftButton);
        return false;
      case 2:
        if (!s.shots.isEmpty()) w->grab().save(s.shots + QStringLiteral("/series.png"));
        QTest::mouseClick(withText<QPushButton>(w, "&Close"), Qt::LeftButton);
        return true;
    }
    return true;
  });
  window.run();
  ASSERT_FALSE(chosenSeries.empty());
  EXPECT_EQ(window.SERIES.at(0).enteredSize, 40);
  EXPECT_EQ(window.SERIES.at(0).size, 40);
  EXPECT_EQ(window.MARKED.count(collection::seriesKey(chosenSeries)), 1u);
  // Stored in the file: read back by another reader after the window closed.
  s.program.GLIMRA.close();
  std::vector<collection::SeriesCompleteness> read;
  std::string error;
  ASSERT_EQ(collection::readSeriesCompleteness(datafile::posixFileSystem(), s.folder.path("c.GLM"), &read, &error), 0)
      << error;
  EXPECT_EQ(read.at(0).enteredSize, 40);
}

}  // namespace
}  // namespace glimra::reports
