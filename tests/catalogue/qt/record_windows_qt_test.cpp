// SPDX-License-Identifier: GPL-3.0-or-later
// The description and lending windows on the real toolkit: opened from their
// toolbar buttons, typed into and closed with OK; the ornament is saved with
// what was typed. GLIMRA_SCREENSHOT_DIR=dir keeps review-page.png and
// librarian-page.png.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QPlainTextEdit>
#include <QTimer>

#include "catalogue/qt/qt_session.h"

namespace catalogue_test {
namespace {

void pressOk(QWidget* window) {
  for (auto* button : window->findChildren<QAbstractButton*>())
    if (button->text() == "OK") QTest::mouseClick(button, Qt::LeftButton);
}

TEST_F(CatalogueTest, RecordWindowsOnTheRealToolkit) {
  writeCollection(path("Tree.GLM"), {{"Star", "Winter", "Glass"}, {"Bell", "Alpine", "Metal"}});
  remember(path("Tree.GLM"));
  QtSession session;
  bool reviewed = false, lent = false;
  session
      .act([&](User& user) {
        QTimer::singleShot(300, [&] {
          QWidget* page = shownWindow(glimra::catalogue::DESCRIPTION_WINDOW_TITLE);
          if (!page) return;
          auto* box = page->findChild<QPlainTextEdit*>();
          if (!box) return;
          QTest::keyClicks(box, "Blown glass, bought at the winter market.");
          QTest::keyClick(box, Qt::Key_Return);
          QTest::keyClicks(box, "The clapper rings.");
          keepPicture(page, "review-page.png");
          reviewed = true;
          pressOk(page);
        });
        user.clickButton(control::DESCRIPTION);
      })
      .act([&](User& user) {
        QTimer::singleShot(300, [&] {
          QWidget* page = shownWindow(glimra::catalogue::LIBRARIAN_WINDOW_TITLE);
          if (!page) return;
          const auto entries = page->findChildren<QLineEdit*>();
          if (entries.size() != 4) return;
          QTest::keyClicks(entries[0], "Anna Berg");
          QTest::keyClicks(entries[1], "1/2/24");
          QTest::keyClick(entries[1], Qt::Key_Tab);
          QTest::qWait(50);
          keepPicture(page, "librarian-page.png");
          lent = true;
          pressOk(page);
        });
        user.clickButton(control::LIBRARIAN);
      });
  session.run();
  EXPECT_TRUE(reviewed);
  EXPECT_TRUE(lent);
  const GlRecord bell = storedRecord(path("Tree.GLM"), "Bell");
  EXPECT_EQ(bell.DESCRIPTION.str(), "Blown glass, bought at the winter market.\r\nThe clapper rings.");
  EXPECT_EQ(bell.LENTTO.str(), "Anna Berg");
  EXPECT_FALSE(bell.DATELENT.isBlank());
}

}  // namespace
}  // namespace catalogue_test
