// SPDX-License-Identifier: GPL-3.0-or-later
// Find on the real toolkit: the toolbar button opens the dialog, the text is
// typed and OK pressed, the find tab appears after the categories with the
// matches, the found text is selected in the form's fields, and choosing
// another tab takes the find tab away. GLIMRA_SCREENSHOT_DIR=dir keeps
// find-dialog.png and find.png.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QLineEdit>
#include <QTabWidget>
#include <QTimer>

#include "catalogue/qt/qt_session.h"

namespace catalogue_test {
namespace {

TEST_F(CatalogueTest, FindOnTheRealToolkit) {
  writeCollection(path("Shelf.GLM"),
                  {{"Silver Bell", "Alpine", "Metal", false,
                    [](GlRecord& r) {
                      r.MANUF = "Bellwood Works";
                      r.ARTIST = "Anna Bell";
                      r.LOCATION = "Hall";
                    }},
                   {"Star", "Winter", "Glass"},
                   {"Bellflower", "", "Wood"}});
  remember(path("Shelf.GLM"));
  QtSession session;
  bool answered = false;
  QStringList tabs, rows, tabsAfter;
  QString manufacturerSelection, artistSelection, focusedName;
  bool saveEnabled = true, undoEnabled = true;
  session
      .act([&](User& user) {
        answerFindDialog("bell", true, &answered);
        user.clickButton(control::FIND);
      })
      .act([&](User& user) { user.clickRow("Silver Bell"); })
      .act([&](User& user) {
        auto* sheet = qobject_cast<QTabWidget*>(user.widget(control::SHEET));
        for (int i = 0; i < sheet->count(); ++i) tabs << sheet->tabText(i);
        rows = user.rows();
        manufacturerSelection = user.line(control::GL_MANUF)->selectedText();
        artistSelection = user.line(control::GL_ARTIST)->selectedText();
        focusedName = QApplication::focusWidget() == user.line(control::GL_ARTIST) ? "artist" : "other";
        saveEnabled = user.widget(control::SAVE)->isEnabled();
        undoEnabled = user.widget(control::UNDO)->isEnabled();
        keepPicture(user.widget(control::SHEET), "find.png");
        user.clickTab("Glass");
      })
      .act([&](User& user) {
        auto* sheet = qobject_cast<QTabWidget*>(user.widget(control::SHEET));
        for (int i = 0; i < sheet->count(); ++i) tabsAfter << sheet->tabText(i);
      });
  session.run();
  EXPECT_TRUE(answered);
  EXPECT_EQ(tabs, (QStringList{"ALL", "Glass", "Metal", "Wood", "Has \"bell\""}));
  EXPECT_EQ(rows, (QStringList{"Bellflower", "Silver Bell (Alpine)"}));
  EXPECT_EQ(manufacturerSelection, "Bell");
  EXPECT_EQ(artistSelection, "Bell");
  EXPECT_EQ(focusedName, "artist");
  EXPECT_FALSE(saveEnabled);
  EXPECT_FALSE(undoEnabled);
  EXPECT_EQ(tabsAfter, (QStringList{"ALL", "Glass", "Metal", "Wood"}));
}

}  // namespace
}  // namespace catalogue_test
