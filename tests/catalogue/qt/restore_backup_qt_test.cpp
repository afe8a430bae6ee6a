// SPDX-License-Identifier: GPL-3.0-or-later
// Restore from Backup on the real toolkit: chosen from the File menu, the
// older backup clicked in the list and Restore pressed, the question
// answered Yes; the list then shows the restored ornaments.
// GLIMRA_SCREENSHOT_DIR=dir keeps restore-backup.png.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QListView>
#include <QTimer>
#include <ctime>

#include "catalogue/qt/qt_session.h"
#include "collection/backups.h"

namespace catalogue_test {
namespace {

TEST_F(CatalogueTest, RestoreFromBackupOnTheRealToolkit) {
  const fs::path file = path("Tree.GLM");
  writeCollection(file, {{"Star", "Winter", "Glass"}, {"Angel", "", "Wood"}});
  remember(file);
  ASSERT_TRUE(glimra::collection::backUpCollection(file.string(), glimra::datafile::posixFileSystem(),
                                                   std::time(nullptr) - 24 * 3600)
                  .ok);
  writeCollection(file, {{"Star", "Winter", "Glass"}, {"Bell", "", "Metal"}, {"Candle", "", "Wax"}});
  QtSession session;
  QStringList listed, rows;
  QString question;
  session
      .act([&](User& user) {
        QTimer::singleShot(300, [&] {
          QWidget* window = shownWindow(glimra::catalogue::RESTORE_WINDOW_TITLE);
          if (!window) return;
          auto* list = window->findChild<QListView*>();
          if (!list) return;
          for (int row = 0; row < list->model()->rowCount(); ++row)
            listed << list->model()->index(row, 0).data().toString();
          if (listed.size() != 2) return;
          const QRect older = list->visualRect(list->model()->index(1, 0));
          QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, older.center());
          QTest::qWait(50);
          keepPicture(window, "restore-backup.png");
          keepScreen("restore-backup-screen.png");
          for (auto* button : window->findChildren<QAbstractButton*>())
            if (button->text() == "&Restore") QTest::mouseClick(button, Qt::LeftButton);
        });
        user.chooseMenu(control::FILERESTORE);
      })
      .answer([&](QMessageBox& box) {
        question = box.text();
        QTest::mouseClick(box.button(QMessageBox::Yes), Qt::LeftButton);
      })
      .answer([](QMessageBox& box) { QTest::mouseClick(box.button(QMessageBox::Ok), Qt::LeftButton); })
      .act([&](User& user) { rows = user.rows(); });
  session.run();
  ASSERT_EQ(listed.size(), 2);
  EXPECT_TRUE(listed[0].endsWith("3 ornaments")) << listed[0].toStdString();
  EXPECT_TRUE(listed[1].endsWith("2 ornaments")) << listed[1].toStdString();
  EXPECT_TRUE(question.contains("(2 ornaments)?")) << question.toStdString();
  EXPECT_EQ(rows, (QStringList{"Angel", "Star (Winter)"}));
  EXPECT_EQ(glimra::collection::listBackups(file.string()).size(), 3u);
}

}  // namespace
}  // namespace catalogue_test
