// SPDX-License-Identifier: GPL-3.0-or-later
// The catalogue's flows on the real toolkit, with real keys and clicks: a
// command that would drop an edit asks first; the find tab shows its ornament
// read-only and says how to edit, and an empty find from there goes back to
// where the user was; a file that could not be opened is never offered as
// the name of a new one, and replacing a file says where its backup is;
// saving one of several ornaments of one name keeps that one shown; the
// damaged-file window. GLIMRA_SCREENSHOT_DIR=dir keeps find-tab-read-only.png,
// damaged-file.png and damaged-file-details.png (the whole screen, under a
// real X server).
#include <QLabel>
#include <QPushButton>
#include <ctime>
#include <fstream>

#include "catalogue/qt/qt_session.h"
#include "collection/backups.h"
#include "collection/collection_check.h"

namespace catalogue_test {
namespace {

using namespace glimra::catalogue::control;

QString currentTabText(User& user) {
  auto* sheet = qobject_cast<QTabWidget*>(user.widget(SHEET));
  return sheet->tabText(sheet->currentIndex());
}

TEST_F(CatalogueTest, ACommandThatWouldDropAnEditAsksFirstOnTheRealToolkit) {
  writeCollection(path("Tree.GLM"), TREE);
  remember(path("Tree.GLM"));
  QtSession session;
  QString question, afterCancel, afterNo, tabAfterYes, dialogFolder;
  auto typeOfJoy = [](User& user) {
    user.clickInto(GL_NAME);
    QTest::keyClick(user.line(GL_NAME), Qt::Key_End);
    user.type(GL_NAME, " of Joy");
  };
  session.act([](User& user) { user.clickRow("Bell"); })
      .act([&](User& user) {
        typeOfJoy(user);
        user.chooseMenu(FILEOPEN);
      })
      .answer([&](QMessageBox& box) {
        question = box.text();
        box.button(QMessageBox::Cancel)->click();
      })
      .act([&](User& user) {
        afterCancel = user.shown(GL_NAME);
        user.chooseMenu(FILEOPEN);
      })
      .answer([](QMessageBox& box) { box.button(QMessageBox::No)->click(); })
      .onFileDialog([&](QFileDialog& dialog) {
        dialogFolder = dialog.directory().absolutePath();
        dialog.reject();
      })
      .act([&](User& user) {
        afterNo = user.shown(GL_NAME);
        typeOfJoy(user);
        user.clickTab("Glass");
      })
      .answer([](QMessageBox& box) { box.button(QMessageBox::Yes)->click(); })
      .act([&](User& user) { tabAfterYes = currentTabText(user); });
  session.run();

  EXPECT_EQ(question, "Save changes to Bell of Joy?");
  EXPECT_EQ(afterCancel, "Bell of Joy") << "Cancel keeps the edit, and nothing is opened";
  EXPECT_EQ(dialogFolder, QString::fromStdString(dir_.string())) << "the dialog starts in the collection's folder";
  EXPECT_EQ(afterNo, "Bell") << "No drops the edit";
  EXPECT_EQ(tabAfterYes, "Glass");
  EXPECT_EQ(recordsIn(path("Tree.GLM")),
            (std::vector<std::string>{"", "Angel", "Bell [deleted]", "Star", "Snowman", "Bell of Joy"}));
}

TEST_F(CatalogueTest, TheFindTabShowsReadOnlyAndAnEmptyFindGoesBack) {
  writeCollection(path("Tree.GLM"), TREE);
  remember(path("Tree.GLM"));
  QtSession session;
  bool found = false, notFound = false;
  bool readOnlyOnFind = false, noteOnFind = false, noteAfter = true, readOnlyAfter = true;
  QString seriesAfterTyping, noMatches, tabAfter;
  QStringList rowsAfter;
  session.act([](User& user) { user.clickTab("Metal"); })
      .act([&](User& user) {
        answerFindDialog("Star", false, &found);
        user.clickButton(FIND);
      })
      .act([&](User& user) {
        readOnlyOnFind = user.line(GL_SERIES)->isReadOnly();
        noteOnFind = user.widget(FINDTABNOTE)->isVisible();
        user.clickInto(GL_SERIES);
        QTest::keyClick(user.line(GL_SERIES), Qt::Key_End);
        user.type(GL_SERIES, "X");
        seriesAfterTyping = user.shown(GL_SERIES);
        QTest::qWait(50);
        keepPicture(user.widget(SHEET), "find-tab-read-only.png");
        answerFindDialog("nowhere", false, &notFound);
        user.clickButton(FIND);
      })
      .answer([&](QMessageBox& box) {
        noMatches = box.text();
        box.button(QMessageBox::Ok)->click();
      })
      .act([&](User& user) {
        tabAfter = currentTabText(user);
        rowsAfter = user.rows();
        noteAfter = user.widget(FINDTABNOTE)->isVisible();
        readOnlyAfter = user.line(GL_SERIES)->isReadOnly();
      });
  session.run();

  EXPECT_TRUE(found && notFound);
  EXPECT_TRUE(readOnlyOnFind);
  EXPECT_TRUE(noteOnFind);
  EXPECT_EQ(seriesAfterTyping, "Winter") << "typing on the find tab changes nothing";
  EXPECT_EQ(noMatches, "No Matching Ornaments Were Found");
  EXPECT_EQ(tabAfter, "Metal") << "back where the find was started, not on the last category tab";
  EXPECT_EQ(rowsAfter, QStringList{"Bell (Alpine)"});
  EXPECT_FALSE(noteAfter);
  EXPECT_FALSE(readOnlyAfter);
  EXPECT_EQ(recordsIn(path("Tree.GLM")), (std::vector<std::string>{"", "Angel", "Bell", "Star", "Snowman"}));
}

TEST_F(CatalogueTest, AFileThatCouldNotBeOpenedIsNeverOfferedAsANewOne) {
  const fs::path letter = path("Tree.GLM"), other = path("Other.GLM");
  std::ofstream(letter) << "Dear Anna, the tree looks lovely this year.\n";
  writeCollection(other, TREE);
  remember(letter);
  QtSession session;
  QString cantOpen, offeredName, offeredFolder, replaced, caption;
  QStringList rows;
  session
      .answer([&](QMessageBox& box) {
        cantOpen = box.windowTitle() + ": " + box.text();
        box.button(QMessageBox::Ok)->click();
      })
      .onFileDialog([&](QFileDialog& dialog) {
        QTest::qWait(200);  // the dialog fills in its folder first
        auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(name, nullptr);
        offeredName = name->text();
        offeredFolder = dialog.directory().absolutePath();
        // The user picks an existing collection and confirms the replacement.
        QTimer::singleShot(300, [] {
          if (auto* confirm = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
            confirm->button(QMessageBox::Yes)->click();
        });
        name->setText(QString::fromStdString(other.string()));
        QTest::keyClick(name, Qt::Key_Return);
      })
      .answer([&](QMessageBox& box) {
        replaced = box.windowTitle() + ": " + box.text();
        box.button(QMessageBox::Ok)->click();
      })
      .act([&](User& user) {
        rows = user.rows();
        caption = session.window->frame()->windowTitle();
      });
  session.run();

  EXPECT_EQ(cantOpen.toStdString(), "Can't Open File: The file\n" + letter.string() +
                                        "\nis not a Glimra collection file.\n\nInvalid Data File (36)");
  EXPECT_TRUE(offeredName.isEmpty()) << "offered " << offeredName.toStdString();
  EXPECT_EQ(offeredFolder.toStdString(), dir_.string());
  const auto backups = glimra::collection::listBackups(other.string());
  ASSERT_EQ(backups.size(), 1u);
  EXPECT_EQ(backups[0].ornaments, 4);
  EXPECT_TRUE(replaced.startsWith("Create a New File: ")) << replaced.toStdString();
  EXPECT_TRUE(replaced.contains(QString::fromStdString("kept in the backup\n" + backups[0].path)))
      << replaced.toStdString();
  EXPECT_TRUE(rows.isEmpty());
  EXPECT_TRUE(caption.endsWith(QString::fromStdString(" (" + other.string() + ")"))) << caption.toStdString();
  EXPECT_EQ(std::ifstream(letter).peek(), 'D') << "the letter is as it was";
}

TEST_F(CatalogueTest, TheFirstNewFileIsOfferedInTheDocumentsFolder) {
  // The desktop names the documents folder in the settings directory.
  const fs::path papers = path("Papers");
  fs::create_directories(papers);
  std::ofstream(path("user-dirs.dirs")) << "XDG_DOCUMENTS_DIR=\"" << papers.string() << "\"\n";
  fs::remove(path("Glimra.INI"));
  QtSession session;
  QString folder;
  session.onFileDialog([&](QFileDialog& dialog) {
    folder = dialog.directory().absolutePath();
    dialog.reject();
  });
  session.run();
  EXPECT_EQ(folder.toStdString(), papers.string()) << "not the program's working folder";
}

TEST_F(CatalogueTest, SavingOneOfSeveralOrnamentsOfOneNameKeepsThatOneShown) {
  auto acorn = [](const char* location) {
    return Ornament{"Bright Acorn", "", "Glass", false, [location](GlRecord& r) { r.LOCATION = location; }};
  };
  writeCollection(path("Tree.GLM"), {{"Angel", "", ""}, acorn("Shelf 1"), acorn("Shelf 2"), acorn("Shelf 3")});
  remember(path("Tree.GLM"));
  QtSession session;
  QString locationBefore, locationAfter;
  int rowAfter = -1;
  session.act([](User& user) { user.clickRow("Bright Acorn"); })
      .act([&](User& user) {
        locationBefore = user.shown(GL_LOCATION);
        user.clickInto(GL_LOCATION);
        user.replaceText(GL_LOCATION, "Attic");
      })
      .act([](User& user) { user.clickButton(SAVE); })
      .act([&](User& user) {
        locationAfter = user.shown(GL_LOCATION);
        rowAfter = user.list()->currentIndex().row();
      });
  session.run();

  EXPECT_EQ(locationBefore, "Shelf 1");
  EXPECT_EQ(locationAfter, "Attic") << "the form shows the ornament saved, not another of its name";
  EXPECT_EQ(rowAfter, 3) << "the saved version stands after the others of its name";
}

QPushButton* buttonShowing(QWidget* window, const QString& text) {
  for (auto* button : window->findChildren<QPushButton*>())
    if (button->text() == text) return button;
  return nullptr;
}

TEST_F(CatalogueTest, TheDamagedFileWindowOnTheRealToolkit) {
  const fs::path file = path("Tree.GLM");
  writeCollection(file, TREE);
  ASSERT_TRUE(glimra::collection::backUpCollection(file.string(), glimra::datafile::posixFileSystem(),
                                                   std::time(nullptr) - 24 * 3600)
                  .ok);
  damageKeys(file);
  remember(file);
  QtSession session;
  // The window comes up before the main window waits for the user: it is
  // answered from a timer, as a user sees it.
  int stage = 0;
  QString heading, restoreNote, details, repaired;
  QTimer watcher;
  QObject::connect(&watcher, &QTimer::timeout, [&] {
    QWidget* window = shownWindow(glimra::catalogue::DAMAGED_FILE_WINDOW_TITLE);
    if (!window || QApplication::activeModalWidget() != window) return;
    if (stage == 0) {
      ++stage;
      const auto labels = window->findChildren<QLabel*>();
      for (QLabel* label : labels) {
        if (label->text().endsWith(" is damaged")) heading = label->text();
        if (label->text().startsWith("The backup of ")) restoreNote = label->text();
      }
      QTest::qWait(100);  // let it paint before the picture
      keepScreen("damaged-file.png");
      QTest::mouseClick(buttonShowing(window, "&Details..."), Qt::LeftButton);
    } else if (stage == 1) {
      ++stage;
      QTest::mouseClick(buttonShowing(window, "&Repair"), Qt::LeftButton);
    }
  });
  watcher.start(100);
  QStringList rows;
  session.answer([&](QMessageBox& box) {
           details = box.text();
           QTest::qWait(100);
           keepScreen("damaged-file-details.png");
           box.button(QMessageBox::Ok)->click();
         })
      .answer([&](QMessageBox& box) {
        repaired = box.text();
        box.button(QMessageBox::Ok)->click();
      })
      .act([&](User& user) { rows = user.rows(); });
  session.run();

  EXPECT_EQ(stage, 2);
  EXPECT_EQ(heading, "Tree.GLM is damaged");
  const auto backups = glimra::collection::listBackups(file.string());
  ASSERT_EQ(backups.size(), 2u);
  EXPECT_EQ(restoreNote.toStdString(), "The backup of " + backups[1].taken + ": 4 ornaments.");
  EXPECT_TRUE(details.contains("no entry for record")) << details.toStdString();
  EXPECT_TRUE(repaired.startsWith("Tree.GLM is repaired")) << repaired.toStdString();
  EXPECT_EQ(rows, (QStringList{"Angel (Heavenly)", "Bell (Alpine)", "Snowman", "Star (Winter)"}));
  EXPECT_TRUE(glimra::collection::checkCollectionFile(glimra::datafile::posixFileSystem(), file.string()).sound());
}

}  // namespace
}  // namespace catalogue_test
