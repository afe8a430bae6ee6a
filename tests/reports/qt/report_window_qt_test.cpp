// SPDX-License-Identifier: GPL-3.0-or-later
// A report run on the real toolkit (offscreen): the progress window shows
// its caption, bar and percentage; the idle timer drives the batches; Cancel
// pressed between batches stops the run.
#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

#include <filesystem>

#include "reports/qt/qt_text_measure.h"
#include "reports/report_fixture.h"
#include "reports/report_procedure.h"
#include "runtime/qt/qt_runtime.h"
#include "runtime/qt/qt_application.h"

namespace glimra::reports {
namespace {

namespace F = collection::GlField;
using testing::CollectionFolder;
using testing::ornament;

// The progress window (shown, or closed but not yet disposed of), or null.
QWidget* progressWindow(bool shownOnly = true) {
  for (QWidget* w : QApplication::topLevelWidgets())
    if ((w->isVisible() || !shownOnly) && w->findChild<QProgressBar*>()) return w;
  return nullptr;
}

// What the progress window showed when the pages were handed over.
class SeenOutput final : public PageOutput {
 public:
  void present(const ReportDescriptor&, const PageList& pages) override {
    pageCount = pages.pages.size();
    if (QWidget* window = progressWindow(false)) {
      caption = window->windowTitle().toStdString();
      bar = window->findChild<QProgressBar*>()->value();
      for (QLabel* label : window->findChildren<QLabel*>())
        if (label->text().contains(QStringLiteral("Completed"))) percent = label->text().toStdString();
    }
  }
  std::size_t pageCount = 0;
  std::string caption;
  int bar = -1;
  std::string percent;
};

std::vector<collection::GlRecord> ornaments(int count) {
  std::vector<collection::GlRecord> out;
  for (int i = 0; i < count; ++i) out.push_back(ornament({{F::NAME, testing::numbered("Ornament ", 1000 + i)}}));
  return out;
}

// A collection of `count` ornaments and the program over it, on the real toolkit.
struct QtSession {
  explicit QtSession(int count) {
    testApplication();
    folder.write("c.GLM", ornaments(count));
    program.GLIMRA.setName(folder.path("c.GLM"));
  }
  void run(int report) { ReportProcedures(program, measure, output).run(report); }

  CollectionFolder folder;
  runtime::QtRuntime runtime;
  program::Program program{runtime};
  const QtTextMeasure measure;
  SeenOutput output;
};

TEST(ReportWindowQt, TheProgressWindowShowsTheRunAndHandsOverThePages) {
  QtSession s(120);
  s.run(0);
  EXPECT_EQ(s.output.pageCount, 8u);  // 17 bands a page
  EXPECT_EQ(s.output.caption, "Generating Report");
  EXPECT_EQ(s.output.bar, 100);
  EXPECT_EQ(s.output.percent, "100% Completed");
  EXPECT_EQ(s.program.GLOBALRESPONSE, 1);
  EXPECT_EQ(progressWindow(false), nullptr);
}

TEST(ReportWindowQt, CancelBetweenBatchesShowsNoPages) {
  QtSession s(2000);
  // The user presses Cancel as soon as the window is there.
  QTimer press;
  QObject::connect(&press, &QTimer::timeout, [&press] {
    if (QWidget* window = progressWindow()) {
      for (QPushButton* button : window->findChildren<QPushButton*>())
        if (button->text() == QStringLiteral("Cancel")) button->click();
      press.stop();
    }
  });
  press.start(0);
  s.run(9);  // all fields: about 2 pages per 10 records
  EXPECT_EQ(s.output.pageCount, 0u);
  EXPECT_EQ(s.program.GLOBALRESPONSE, 2);
  EXPECT_EQ(s.program.GLIMRA_USED, 0);
  EXPECT_FALSE(s.program.GLIMRA.isOpen());
}

}  // namespace
}  // namespace glimra::reports
