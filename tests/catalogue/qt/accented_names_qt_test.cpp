// SPDX-License-Identifier: GPL-3.0-or-later
// Names that begin with an accented letter on the real toolkit: listed with
// their base letter, reached from the letter bar, the bar follows them, and
// their rows are tall enough for the marks above the capitals.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QFontMetrics>

#include "catalogue/qt/qt_session.h"

namespace catalogue_test {
namespace {

TEST_F(CatalogueTest, AccentedInitialsAreListedAndReachedWithTheirBaseLetter) {
  // Windows-1252, as the file stores them: Äpfel, Öl, Église, Ørn.
  writeCollection(path("Tree.GLM"), {{"Zebra", "", ""},
                                     {"\xC4pfel", "", ""},
                                     {"Otter", "", ""},
                                     {"\xD6l", "", ""},
                                     {"\xC9glise", "", ""},
                                     {"Apple", "", ""},
                                     {"Egg", "", ""},
                                     {"\xD8rn", "", ""}});
  remember(path("Tree.GLM"));
  QtSession session;
  QStringList rows;
  int rowHeight = 0, lineHeight = 0;
  // The name shown after each letter is picked, and the letter the bar shows
  // for the row clicked.
  QStringList reached;
  bool aChecked = false;
  auto letter = [](User& user, int button) { qobject_cast<QAbstractButton*>(user.widget(button))->click(); };
  session
      .act([&](User& user) {
        rows = user.rows();
        rowHeight = user.list()->visualRect(user.list()->model()->index(0, 0)).height();
        lineHeight = QFontMetrics(user.list()->font()).height();
      })
      .act([&](User& user) { letter(user, control::O); })
      .act([&](User& user) { reached << user.shown(control::GL_NAME); })
      .act([&](User& user) { letter(user, control::E); })
      .act([&](User& user) { reached << user.shown(control::GL_NAME); })
      .act([&](User& user) { letter(user, control::P); })  // no P: the first entry after it
      .act([&](User& user) { reached << user.shown(control::GL_NAME); })
      .act([&](User& user) { user.clickRow(QString::fromUtf8("\xC3\x84pfel")); })
      .act([&](User& user) { aChecked = qobject_cast<QAbstractButton*>(user.widget(control::A))->isChecked(); });
  session.run();

  EXPECT_EQ(rows, QString::fromUtf8("\xC3\x84pfel|Apple|Egg|\xC3\x89glise|\xC3\x96l|\xC3\x98rn|Otter|Zebra").split('|'));
  EXPECT_EQ(reached, QString::fromUtf8("\xC3\x96l|Egg|Zebra").split('|'));
  EXPECT_TRUE(aChecked);
  EXPECT_GT(rowHeight, lineHeight) << "the dots of an Ä stand inside its row";
}

}  // namespace
}  // namespace catalogue_test
