// SPDX-License-Identifier: GPL-3.0-or-later
// A collection's photos going elsewhere, on the real toolkit: File › Export
// Archive... with its file dialog and the message that says what was written,
// then File › Open Existing File... on the archive, the dialog that asks where
// to unpack it, and the unpacked collection opened with its photo; and File ›
// Export to CSV... asking whether to copy the photos beside the CSV file.
#include <gtest/gtest.h>

#include "catalogue/qt/qt_session.h"
#include "collection/photo_check.h"
#include "collection/photo_fixture.h"

namespace catalogue_test {
namespace {

// Shelf.GLM with Star, which has one photo.
void shelfWithAPhoto(const fs::path& shelf, const fs::path& photo) {
  writeCollection(shelf, {{"Star", "Winter", "Glass"}});
  photo_test::writeBytes(photo.string(), "IMG star");
  // Ornaments written as older files were get their own stamps at the first
  // open; the photo is added to the stamp Star has then.
  QtSession opened;
  opened.act([](User&) {});
  opened.run();
  photo_test::addPhotos(glimra::datafile::posixFileSystem(), shelf.string(),
                        glimra::collection::identityOf(storedRecord(shelf, "Star")), {photo.string()});
}

TEST_F(CatalogueTest, ExportArchiveAndOpenItOnTheRealToolkit) {
  remember(path("Shelf.GLM"));
  shelfWithAPhoto(path("Shelf.GLM"), path("star.jpg"));

  const std::string zip = path("Shelf.zip").string(), target = path("moved/Shelf.GLM").string();
  std::filesystem::create_directories(path("moved"));
  QtSession session;
  std::string written, caption;
  QStringList rows;
  session.act([](User& user) { user.chooseMenu(control::FILEEXPORTARCHIVE); })
      .chooseFile(zip)
      .answer([&](QMessageBox& box) {
        written = box.text().toStdString();
        box.button(QMessageBox::Ok)->click();
      })
      .act([](User& user) { user.chooseMenu(control::FILEOPEN); })
      .chooseFile(zip)
      .chooseFile(target)
      .act([&](User& user) {
        caption = session.window->caption();
        rows = user.rows();
      });
  session.run();

  EXPECT_EQ(written, "Shelf.GLM and its 1 photo were written to\n" + zip);
  EXPECT_NE(caption.find(target), std::string::npos) << caption;
  EXPECT_EQ(rows, QStringList{"Star (Winter)"});
  const auto report = glimra::collection::checkPhotos(glimra::datafile::posixFileSystem(), target);
  EXPECT_EQ(report.photos, 1u);
  EXPECT_TRUE(report.problems.empty());
}

TEST_F(CatalogueTest, ExportToCsvCopiesThePhotosBesideItWhenAskedOnTheRealToolkit) {
  remember(path("Shelf.GLM"));
  shelfWithAPhoto(path("Shelf.GLM"), path("star.jpg"));
  const std::string csv = path("wish list.csv").string();
  QtSession session;
  std::string question, done;
  session.act([](User& user) { user.chooseMenu(control::FILEEXPORTCSV); })
      .chooseFile(csv)
      .answer([&](QMessageBox& box) {
        question = box.text().toStdString();
        box.button(QMessageBox::Yes)->click();
      })
      .answer([&](QMessageBox& box) {
        done = box.text().toStdString();
        box.button(QMessageBox::Ok)->click();
      });
  session.run();
  EXPECT_EQ(question.rfind("Copy the photos into a folder beside the CSV file?", 0), 0u) << question;
  EXPECT_NE(question.find("\"wish list photos\""), std::string::npos) << question;
  EXPECT_NE(done.find("Their 1 photo was copied to\n" + path("wish list photos").string()), std::string::npos) << done;
  EXPECT_EQ(photo_test::bytesOf(path("wish list photos/Star 1.jpg").string()), "IMG star");
  EXPECT_NE(photo_test::bytesOf(csv).find(",wish list photos/Star 1.jpg\r\n"), std::string::npos);
}

}  // namespace
}  // namespace catalogue_test
