// SPDX-License-Identifier: GPL-3.0-or-later
// The main window follows its size on the real toolkit: resized larger or
// maximised it lays the sheet out again in proportion, it shrinks no further
// than its design size, and no control is ever cut off.
#include <gtest/gtest.h>

#include <QMainWindow>

#include "catalogue/qt/qt_session.h"

namespace catalogue_test {
namespace {

// The controls the layout places: the sheet, the letter bar, the list, the
// form's panel, the check box and every prompt and field of the form.
std::vector<int> placedControls() {
  std::vector<int> controls{control::SHEET, control::GLMLIST, control::PANELUSE, control::LISTBYSERIES};
  for (int letter = control::A; letter <= control::Z; ++letter) controls.push_back(letter);
  for (int field = control::FIRSTFORMCONTROL; field <= control::LASTFORMCONTROL; ++field) controls.push_back(field);
  return controls;
}

struct Seen {
  QSize client;
  QRect sheet, list, panel;
  std::vector<int> cutOff;  // controls not wholly inside the client area
};

Seen look(QtWindow& window) {
  Seen seen;
  QWidget* client = window.frame()->centralWidget();
  seen.client = client->size();
  seen.sheet = window.widgetOf(control::SHEET)->geometry();
  seen.list = window.widgetOf(control::GLMLIST)->geometry();
  seen.panel = window.widgetOf(control::PANELUSE)->geometry();
  for (int number : placedControls())
    if (QWidget* w = window.widgetOf(number); w && !client->rect().contains(w->geometry())) seen.cutOff.push_back(number);
  return seen;
}

TEST_F(CatalogueTest, TheMainWindowIsLaidOutAgainAtEverySizeAndNeverCutOff) {
  writeCollection(path("Tree.GLM"), {{"Star", "Winter", "Glass"}, {"Bell", "", "Metal"}});
  remember(path("Tree.GLM"));
  QtSession session;
  std::vector<Seen> seen;  // at open, larger, shrunk far below the design, wide and low, maximised
  bool maximised = false;
  session.act([&](User&) {
           seen.push_back(look(*session.window));
           session.window->frame()->resize(1400, 1000);
         })
      .act([&](User&) {
        seen.push_back(look(*session.window));
        session.window->frame()->resize(200, 150);
      })
      .act([&](User&) {
        seen.push_back(look(*session.window));
        session.window->frame()->resize(1600, 700);
      })
      .act([&](User&) {
        seen.push_back(look(*session.window));
        session.window->frame()->showMaximized();
      })
      .act([&](User&) {
        maximised = session.window->frame()->isMaximized();
        seen.push_back(look(*session.window));
      });
  session.run();

  ASSERT_EQ(seen.size(), 5u);
  const Seen& open = seen[0];
  const Seen& larger = seen[1];
  const Seen& shrunk = seen[2];
  const Seen& low = seen[3];
  for (const Seen& s : seen) EXPECT_TRUE(s.cutOff.empty()) << "cut off: " << ::testing::PrintToString(s.cutOff);
  // Larger: everything grows by one factor.
  EXPECT_GT(larger.sheet.width(), open.sheet.width() * 3 / 2);
  EXPECT_NEAR(double(larger.list.width()) / larger.sheet.width(), 175.0 / 418, 0.01);
  EXPECT_NEAR(double(larger.panel.height()) / larger.sheet.height(), 158.0 / 249, 0.01);
  // Shrunk far below the design: the window stops at the design size, laid out as designed.
  EXPECT_GE(shrunk.client.width(), shrunk.sheet.right());
  EXPECT_LT(shrunk.sheet.width(), open.sheet.width() + 2);
  EXPECT_GT(shrunk.client.width(), 400);
  // Wide and low: the height sets the factor and the layout stands in the middle.
  EXPECT_LE(low.sheet.bottom(), low.client.height());
  EXPECT_NEAR(low.sheet.left(), low.client.width() - low.sheet.right(), low.client.width() / 50);
  EXPECT_TRUE(maximised);
}

}  // namespace
}  // namespace catalogue_test
