// SPDX-License-Identifier: GPL-3.0-or-later
// Opens the catalogue-like demo window with real data, lets it paint, and
// checks that it shows something. With GLIMRA_SCREENSHOT=path.png (run under
// Xvfb) it also saves what a user would see.
#include <gtest/gtest.h>

#include <QImage>
#include <QMainWindow>
#include <QPixmap>
#include <cstdlib>

#include "runtime/demo_window.h"
#include "runtime/qt/qt_application.h"
#include "runtime/qt/qt_runtime.h"
#include "runtime/qt/qt_window.h"

namespace {

using namespace demo;

#pragma pack(push, 1)
struct Category {
  FixedText<24> CATEGORY;
  void clear() { CATEGORY.clear(); }
};
#pragma pack(pop)

TEST(Demo, CatalogueWindowPaints) {
  testApplication();
  Model model;
  model.fill(400);
  Queue<Category> categories;
  for (const char* name : {"Glass", "Wood", "Santa", "Angels", "Lights"}) {
    categories.buffer.CATEGORY = name;
    categories.insertOrdered(&Category::CATEGORY);
  }

  QtRuntime runtime;
  auto window = runtime.open(model.declaration());
  auto& qt = static_cast<QtWindow&>(*window);
  window->setListSource(GLMLIST, model.ALLQUEUE.source(&Entry::NAMEKEY));
  window->setListSource(FIRSTFIELD + 3, categories.source(&Category::CATEGORY));
  for (int i = 1; i <= categories.count(); ++i) window->createTab(SHEET, ALL + i, categories.peek(i)->CATEGORY.str());
  window->disable(GLMUNDO);
  window->disable(UNDO);
  window->disable(GLMSAVE);
  window->disable(SAVE);

  const int row = 40;
  window->selectRow(GLMLIST, row);
  const Entry* entry = model.ALLQUEUE.peek(row);
  model.GL.NAME = entry->NAME.str();
  model.GL.CATEGORY = "Glass";
  model.GL.SERIES = "Nordic Glass";
  model.GL.SERIESNUM = "7";
  model.GL.MANUF = "Lauscha Works";
  model.GL.CONDITION = "Mint";
  model.GL.ARTIST = "E. S\xF8rensen";
  model.GL.VALUE = "45";
  model.GL.YEAR = "1998";
  model.GL.LOCATION = "Box 3";
  model.GL.PURDATE = "72000";
  model.GL.CUSTOM1 = "A-1042";
  model.GL.PURFROM = "Winter Fair";
  model.GL.PURPRICE = "12.5";
  model.LETTERVALUE = entry->NAMEKEY.raw()[0] - 64;
  window->display();
  ASSERT_EQ(window->accept().kind, EventKind::OpenWindow);
  settle(300);

  const QPixmap shot = qt.frame()->grab();
  ASSERT_FALSE(shot.isNull());
  const QImage image = shot.toImage();
  // Something is drawn: the picture is not one flat colour.
  const QRgb corner = image.pixel(image.width() / 2, image.height() / 2);
  bool varied = false;
  for (int y = 0; y < image.height() && !varied; y += 7)
    for (int x = 0; x < image.width() && !varied; x += 7) varied = image.pixel(x, y) != corner;
  EXPECT_TRUE(varied);

  if (const char* path = std::getenv("GLIMRA_SCREENSHOT")) {
    EXPECT_TRUE(shot.save(QString::fromLocal8Bit(path)));
  }
}

}  // namespace
