// SPDX-License-Identifier: GPL-3.0-or-later
// Collection files under names the file system spells in UTF-8 — accented
// letters, a folder with one, Cyrillic, spaces — through the whole life of a
// file on the real toolkit: created with the file dialog, an ornament added,
// remembered in Glimra.INI, opened again when the program restarts and
// reopened with File › Open. The caption names the file as it is spelled.
#include "catalogue/qt/qt_session.h"

namespace catalogue_test {
namespace {

using namespace glimra::catalogue::control;

TEST_F(CatalogueTest, CollectionFilesUnderAnyNameTheFileSystemAllows) {
  const char* names[] = {"Plain.GLM", "Kügel.GLM", "Söhne/Tree.GLM", "Ёлка.GLM", "My Tree.GLM"};
  fs::create_directories(path("Söhne"));
  for (const char* name : names) {
    SCOPED_TRACE(name);
    const std::string file = path(name).string();
    const QString captionEnd = QString::fromUtf8(" (" + file + ")");

    // First start: nothing remembered, so the program offers to create a file.
    fs::remove(path("Glimra.INI"));
    QString captionAfterCreate;
    {
      QtSession session;
      session.chooseFile(file)
          .act([&](User& user) {
            captionAfterCreate = session.window->frame()->windowTitle();
            user.clickButton(NEW);
          })
          .act([](User& user) {
            user.type(GL_NAME, "Star");
            user.clickButton(SAVE);
          });
      session.run();
    }
    EXPECT_TRUE(captionAfterCreate.startsWith("'Glimra'") && captionAfterCreate.endsWith(captionEnd))
        << captionAfterCreate.toStdString();
    ASSERT_TRUE(fs::exists(fs::u8path(file))) << "the file carries the name as chosen";
    EXPECT_EQ(remembered(), file);
    EXPECT_EQ(storedRecord(file, "Star").NAME.str(), "Star");

    // Restart: the remembered file opens; File › Open opens it again.
    QString captionAfterRestart;
    QStringList rowsAfterRestart, rowsAfterReopen;
    {
      QtSession session;
      session
          .act([&](User& user) {
            captionAfterRestart = session.window->frame()->windowTitle();
            rowsAfterRestart = user.rows();
            user.chooseMenu(FILEOPEN);
          })
          .chooseFile(file)
          .act([&](User& user) { rowsAfterReopen = user.rows(); });
      session.run();
    }
    EXPECT_TRUE(captionAfterRestart.endsWith(captionEnd)) << captionAfterRestart.toStdString();
    EXPECT_EQ(rowsAfterRestart, QStringList{"Star"});
    EXPECT_EQ(rowsAfterReopen, QStringList{"Star"});
    EXPECT_EQ(remembered(), file);
  }
}

}  // namespace
}  // namespace catalogue_test
