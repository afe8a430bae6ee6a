// SPDX-License-Identifier: GPL-3.0-or-later
// The notice of a wait for another program on the real toolkit: Save meets
// the writer lock of another open, the notice comes up in front of the main
// window, Cancel ends the save with a message, the edit stays in the form and
// a second Save, once the other program has let go, stores it.
// GLIMRA_SCREENSHOT_DIR=dir keeps a picture of the notice.
#include <gtest/gtest.h>

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>

#include "catalogue/qt/qt_session.h"
#include "datafile/locks.h"

namespace catalogue_test {
namespace {

TEST_F(CatalogueTest, CancellingTheWaitForAnotherProgramKeepsTheEdit) {
  writeCollection(path("Tree.GLM"), {{"Star", "Winter", "Glass"}, {"Bell", "Alpine", "Metal"}, {"Candle", "Winter", "Glass"}});
  remember(path("Tree.GLM"));
  int error = 0;
  auto other = glimra::datafile::posixFileSystem().open(path("Tree.GLM").string(), true, false, &error);
  ASSERT_TRUE(other);
  constexpr std::uint64_t writer = glimra::datafile::lock_bytes::kWriter;

  QtSession session;
  QString noticeText, noticeTitle, messageText, messageTitle, nameAfterCancel;
  QStringList rowsAfterRetry;
  bool noticeInFront = false;
  session
      .act([&](User& user) { user.clickRow("Candle"); })
      .act([&](User& user) {
        user.clickInto(control::GL_NAME);
        user.replaceText(control::GL_NAME, "Lantern");
      })
      .act([&](User& user) {
        ASSERT_EQ(other->lock(writer, 1, true), 0);  // another program starts to write
        user.clickButton(control::SAVE);
      })
      .onWaitNotice([&](QDialog& notice) {
        noticeTitle = notice.windowTitle();
        if (auto* label = notice.findChild<QLabel*>()) noticeText = label->text();
        noticeInFront = QApplication::activeModalWidget() == &notice;  // the main window takes no input
        QTest::qWait(300);  // mapped and painted
        keepPicture(&notice, "wait-notice.png");
        keepScreen("wait-notice-screen.png");
        QTest::mouseClick(notice.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel), Qt::LeftButton);
      })
      .answer([&](QMessageBox& box) {
        messageTitle = box.windowTitle();
        messageText = box.text().trimmed();
        box.button(QMessageBox::Ok)->click();
      })
      .act([&](User& user) {
        nameAfterCancel = user.shown(control::GL_NAME);
        other->unlock(writer, 1);  // the other program is done
        user.clickButton(control::SAVE);
      })
      .act([&](User& user) { rowsAfterRetry = user.rows(); });
  session.run();

  EXPECT_EQ(noticeTitle, glimra::program::LOCK_WAIT_CAPTION);
  EXPECT_EQ(noticeText, QString::fromStdString(glimra::program::lockWaitText(path("Tree.GLM").string())));
  EXPECT_TRUE(noticeInFront);
  EXPECT_EQ(messageTitle, "Can't Save Record");
  EXPECT_EQ(messageText, "File Is Already Locked (another program is using the file; nothing was changed)");
  EXPECT_EQ(nameAfterCancel, "Lantern");
  EXPECT_EQ(rowsAfterRetry, (QStringList{"Bell (Alpine)", "Lantern (Winter)", "Star (Winter)"}));
  EXPECT_EQ(recordsIn(path("Tree.GLM")), (std::vector<std::string>{"", "Star", "Bell", "Candle [deleted]", "Lantern"}));
}

}  // namespace
}  // namespace catalogue_test
