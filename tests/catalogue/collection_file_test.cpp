// SPDX-License-Identifier: GPL-3.0-or-later
// Opening the remembered collection file at start-up, and the File menu:
// Create New File, Open Existing File and Save File As, with their failures.
#include <gtest/gtest.h>

#include "catalogue_fixture.h"
#include "catalogue/csv_import_window.h"
#include "collection/backups.h"
#include "collection/csv_export.h"

namespace catalogue_test {
namespace {

using glimra::runtime::FileDialogKind;

const std::string NAMESTRING = "'Glimra'" + std::string(32, ' ');

std::string captionFor(const fs::path& file) { return NAMESTRING + " (" + file.string() + ")"; }

TEST_F(CatalogueTest, FirstStartShowsSplashThenAsksForNewFileAndCancelLeavesEmptyWindow) {
  Session session;
  std::size_t dialogsBeforeSplash = 99;
  session.runtime.whenOpened[glimra::catalogue::SPLASH_TITLE] = [&](ScriptedWindow&) {
    dialogsBeforeSplash = session.runtime.fileDialogs.size();
  };
  std::vector<std::string> rows{"not looked at"};
  std::string caption;
  session.check([&](ScriptedWindow& w) {
    rows = w.rows(control::GLMLIST);
    caption = w.caption();
  });
  session.run();

  EXPECT_EQ(dialogsBeforeSplash, 0u);
  ASSERT_EQ(session.runtime.fileDialogs.size(), 1u);
  const auto& dialog = session.runtime.fileDialogs[0];
  EXPECT_EQ(dialog.title, "Create a New File");
  EXPECT_EQ(dialog.kind, FileDialogKind::Save);
  EXPECT_EQ(dialog.filters, "Glimra|*.GLM|ALL|*.*");
  EXPECT_TRUE(session.runtime.messages.empty());
  EXPECT_TRUE(rows.empty());
  EXPECT_EQ(caption, NAMESTRING + " ()");
  EXPECT_FALSE(settingsExist());
  EXPECT_EQ(session.runtime.helpFile(), "Glm.hlp");
}

// A remembered file that cannot be opened leads to "Create a New File", which
// starts in its folder and never offers its name; only a file that is there
// but unusable is named to the user first, with what it is.
TEST_F(CatalogueTest, RememberedFileThatCannotBeOpened) {
  struct Case {
    const char* label;
    std::function<fs::path(const fs::path& dir)> prepare;
    bool tellsUser;
  };
  const Case cases[] = {
      {"missing", [](const fs::path& dir) { return dir / "gone.GLM"; }, false},
      {"not a collection file",
       [](const fs::path& dir) {
         std::ofstream(dir / "notes.GLM") << std::string(5000, 'x');
         return dir / "notes.GLM";
       },
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const fs::path file = c.prepare(dir_);
    remember(file);
    Session session;
    std::string caption;
    session.check([&](ScriptedWindow& w) { caption = w.caption(); });
    session.run();

    auto& messages = session.runtime.messages;
    if (c.tellsUser) {
      ASSERT_EQ(messages.size(), 1u);
      EXPECT_EQ(messages[0].caption, "Can't Open File");
      EXPECT_EQ(messages[0].text,
                "The file\n" + file.string() + "\nis not a Glimra collection file.\n\nInvalid Data File (36)");
      EXPECT_EQ(messages[0].icon, glimra::runtime::MessageIcon::Exclamation);
    } else {
      EXPECT_TRUE(messages.empty());
    }
    ASSERT_EQ(session.runtime.fileDialogs.size(), 1u);
    EXPECT_EQ(session.runtime.fileDialogs[0].title, "Create a New File");
    EXPECT_EQ(session.runtime.fileDialogs[0].path, dir_.string());
    EXPECT_EQ(caption, captionFor(file));
    EXPECT_EQ(remembered(), file.string());  // the settings keep the old name
  }
}

TEST_F(CatalogueTest, OpeningLoadsListPurgesRetiredAndNamelessRecordsAndRemembersFile) {
  const fs::path file = path("Tree.GLM");
  writeCollection(file, {{"Star", "Winter", "Glass"},
                         {"Angel", "", "Wood"},
                         {"Bell", "", "Glass", true},
                         {"", "Nameless", "Glass"},
                         {"Angel", "", "Wood"}});
  remember(file);
  Session session;
  std::vector<std::string> rows, tabs;
  std::string caption, shownName;
  session.check([&](ScriptedWindow& w) {
    rows = w.rows(control::GLMLIST);
    caption = w.caption();
    shownName = w.shownText(control::GL_NAME);
    tabs = tabTitles(w);
  });
  session.run();

  EXPECT_TRUE(session.runtime.fileDialogs.empty());
  EXPECT_TRUE(session.runtime.messages.empty());
  EXPECT_EQ(rows, (std::vector<std::string>{"Angel", "Angel", "Star (Winter)"}));
  EXPECT_EQ(shownName, "Angel");
  EXPECT_EQ(tabs, (std::vector<std::string>{"ALL", "Glass", "Wood"}));
  EXPECT_EQ(caption, captionFor(file));
  EXPECT_EQ(remembered(), file.string());
  EXPECT_EQ(recordsIn(file), (std::vector<std::string>{"", "Star", "Angel", "Angel"}));
}

TEST_F(CatalogueTest, CreateNewFileOverExistingCollectionEmptiesIt) {
  const fs::path first = path("First.GLM");
  const fs::path other = path("Other.GLM");
  writeCollection(first, {{"Star", "", "Glass"}});
  writeCollection(other, {{"Bell", "", "Metal"}, {"Dove", "", "Glass"}});
  remember(first);
  Session session;
  session.runtime.fileAnswers.push_back(other.string());
  std::vector<std::string> rows{"not looked at"}, tabs;
  std::string caption;
  session.act([](ScriptedWindow& w) { w.click(control::FILENEW); });
  session.check([&](ScriptedWindow& w) {
    rows = w.rows(control::GLMLIST);
    caption = w.caption();
    tabs = tabTitles(w);
  });
  session.run();

  // The file replaced was backed up first, and the user is told where.
  const auto backups = glimra::collection::listBackups(other.string());
  ASSERT_EQ(backups.size(), 1u);
  EXPECT_EQ(backups[0].ornaments, 2);
  ASSERT_EQ(session.runtime.messages.size(), 1u);
  EXPECT_EQ(session.runtime.messages[0].caption, "Create a New File");
  EXPECT_NE(session.runtime.messages[0].text.find(backups[0].path), std::string::npos)
      << session.runtime.messages[0].text;
  EXPECT_TRUE(rows.empty());
  EXPECT_EQ(tabs, std::vector<std::string>{"ALL"});
  EXPECT_EQ(caption, captionFor(other));
  EXPECT_EQ(remembered(), other.string());
  EXPECT_EQ(recordsIn(other), std::vector<std::string>{""});  // only a new header record
  EXPECT_EQ(recordsIn(first).size(), 2u);
}

TEST_F(CatalogueTest, NewFileThatCannotBeCreatedReportsEachStepAndAsksAgain) {
  const fs::path first = path("First.GLM");
  writeCollection(first, {{"Star", "", ""}});
  remember(first);
  const fs::path impossible = dir_ / "no-such-dir" / "New.GLM";
  Session session;
  session.runtime.fileAnswers.push_back(impossible.string());
  session.act([](ScriptedWindow& w) { w.click(control::FILENEW); });
  session.run();

  std::vector<std::string> captions;
  for (const auto& m : session.runtime.messages) captions.push_back(m.caption);
  EXPECT_EQ(captions, (std::vector<std::string>{"Can't Create File", "Can't Open New File", "Can't Add First Record"}));
  // The open that follows fails silently (the file is missing) and the dialog
  // comes up again, here cancelled.
  ASSERT_EQ(session.runtime.fileDialogs.size(), 2u);
  EXPECT_EQ(session.runtime.fileDialogs[1].title, "Create a New File");
  EXPECT_EQ(remembered(), first.string());
}

TEST_F(CatalogueTest, OpenExistingFileSwitchesFilesAndCancelKeepsCurrent) {
  const fs::path first = path("First.GLM");
  const fs::path second = path("Second.GLM");
  writeCollection(first, {{"Star", "", ""}});
  writeCollection(second, {{"Bell", "", ""}, {"Candle", "", ""}});
  remember(first);
  Session session;
  session.runtime.fileAnswers.push_back(std::nullopt);
  session.runtime.fileAnswers.push_back(second.string());
  std::vector<std::string> afterCancel, afterOpen;
  session.act([](ScriptedWindow& w) { w.click(control::FILEOPEN); })
      .check([&](ScriptedWindow& w) { afterCancel = w.rows(control::GLMLIST); })
      .act([](ScriptedWindow& w) { w.click(control::FILEOPEN); })
      .check([&](ScriptedWindow& w) { afterOpen = w.rows(control::GLMLIST); });
  session.run();

  ASSERT_EQ(session.runtime.fileDialogs.size(), 2u);
  EXPECT_EQ(session.runtime.fileDialogs[0].title, "Open a Different File");
  EXPECT_EQ(session.runtime.fileDialogs[0].kind, FileDialogKind::Open);
  EXPECT_EQ(afterCancel, std::vector<std::string>{"Star"});
  EXPECT_EQ(afterOpen, (std::vector<std::string>{"Bell", "Candle"}));
  EXPECT_EQ(remembered(), second.string());
}

TEST_F(CatalogueTest, SaveAsCarriesRetiredRecordsUntilTheCopyIsOpened) {
  const fs::path source = path("Source.GLM");
  const fs::path copy = path("Copy.GLM");
  writeCollection(source, {{"Star", "", ""}});
  remember(source);
  Session session;
  session.runtime.fileAnswers.push_back(copy.string());
  std::string caption;
  std::vector<std::string> rows;
  session.check([&](ScriptedWindow&) {
        // A retired version left behind by an earlier save.
        auto& p = session.program;
        p.GL.clear();
        p.GL.NAME = "Old Star";
        p.GL.DELETED = 1;
        ASSERT_EQ(p.GLIMRA.add(), 0);
        glimra::collection::fromImage(p.GL, p.CURRENTRECORD);  // the buffer holds what the form shows
      })
      .act([](ScriptedWindow& w) { w.click(control::FILESAVEAS); })
      .check([&](ScriptedWindow& w) {
        caption = w.caption();
        rows = w.rows(control::GLMLIST);
      });
  session.run();

  ASSERT_EQ(session.runtime.fileDialogs.size(), 1u);
  EXPECT_EQ(session.runtime.fileDialogs[0].title, "Save File As ...");
  EXPECT_TRUE(session.runtime.messages.empty());
  EXPECT_EQ(caption, captionFor(copy));
  EXPECT_EQ(rows, std::vector<std::string>{"Star"});
  EXPECT_EQ(remembered(), copy.string());
  EXPECT_EQ(recordsIn(source), (std::vector<std::string>{"", "Star", "Old Star [deleted]"}));
  EXPECT_EQ(recordsIn(copy), (std::vector<std::string>{"", "Star"}));
}

TEST_F(CatalogueTest, SaveAsOntoTheCurrentFileKeepsIt) {
  const fs::path file = path("Tree.GLM");
  writeCollection(file, {{"Star", "", ""}, {"Bell", "", ""}});
  remember(file);
  Session session;
  session.runtime.fileAnswers.push_back(file.string());
  std::vector<std::string> rows;
  session.act([](ScriptedWindow& w) { w.click(control::FILESAVEAS); })
      .check([&](ScriptedWindow& w) { rows = w.rows(control::GLMLIST); });
  session.run();

  EXPECT_TRUE(session.runtime.messages.empty());
  EXPECT_EQ(rows, (std::vector<std::string>{"Bell", "Star"}));
  EXPECT_EQ(recordsIn(file), (std::vector<std::string>{"", "Star", "Bell"}));
}

TEST_F(CatalogueTest, SaveAsThatCannotCopySwitchesToTargetAndAsksForNewFile) {
  const fs::path source = path("Source.GLM");
  writeCollection(source, {{"Star", "", ""}});
  remember(source);
  const fs::path target = dir_ / "no-such-dir" / "Copy.GLM";
  Session session;
  session.runtime.fileAnswers.push_back(target.string());
  std::string caption;
  session.act([](ScriptedWindow& w) { w.click(control::FILESAVEAS); })
      .check([&](ScriptedWindow& w) { caption = w.caption(); });
  session.run();

  ASSERT_EQ(session.runtime.messages.size(), 1u);
  EXPECT_EQ(session.runtime.messages[0].caption, "Can't Copy File");
  ASSERT_EQ(session.runtime.fileDialogs.size(), 2u);
  EXPECT_EQ(session.runtime.fileDialogs[1].title, "Create a New File");
  EXPECT_EQ(caption, captionFor(target));
  EXPECT_EQ(remembered(), source.string());
}

}  // namespace
}  // namespace catalogue_test

namespace catalogue_test {
namespace {

// A chosen path longer than the program keeps would be cut to another name;
// it is refused and the current file stays.
TEST_F(CatalogueTest, FileNameTooLongIsRefused) {
  const fs::path file = path("Tree.GLM");
  writeCollection(file, {{"Star", "", ""}});
  remember(file);
  const std::string tooLong = (dir_ / (std::string(120, 'n') + ".GLM")).string();
  for (int command : {control::FILENEW, control::FILEOPEN, control::FILESAVEAS}) {
    SCOPED_TRACE(command);
    Session session;
    session.runtime.fileAnswers.push_back(tooLong);
    std::vector<std::string> rows;
    session.act([command](ScriptedWindow& w) { w.click(command); }).check([&](ScriptedWindow& w) {
      rows = w.rows(control::GLMLIST);
    });
    session.run();
    ASSERT_EQ(session.runtime.messages.size(), 1u);
    EXPECT_EQ(session.runtime.messages[0].caption, session.runtime.fileDialogs[0].title);
    EXPECT_NE(session.runtime.messages[0].text.find(tooLong), std::string::npos);
    EXPECT_EQ(rows, std::vector<std::string>{"Star"});
    EXPECT_EQ(remembered(), file.string());
    EXPECT_FALSE(fs::exists(tooLong.substr(0, 100)));
  }
}

}  // namespace
}  // namespace catalogue_test

namespace catalogue_test {
namespace {

// Export to CSV: the saved ornaments of the open file, the header row first;
// retired versions (even one added by this session) are left out, and a
// target that cannot be written is named while an earlier export stays.
TEST_F(CatalogueTest, ExportToCsvWritesTheSavedOrnamentsAndReportsTheOutcome) {
  const fs::path file = path("Tree.GLM");
  writeCollection(file, {{"Star", "Winter", "Glass"}, {"Angel", "", "Wood"}});
  remember(file);
  const fs::path csv = path("tree export.csv");
  std::ofstream(path("blocker")) << "x";
  Session session;
  session.runtime.fileAnswers.push_back(std::nullopt);
  session.runtime.fileAnswers.push_back(csv.string());
  session.runtime.fileAnswers.push_back((path("blocker") / "x.csv").string());
  session.check([&](ScriptedWindow&) {
        auto& p = session.program;
        p.GL.clear();
        p.GL.NAME = "Old Star";
        p.GL.DELETED = 1;
        ASSERT_EQ(p.GLIMRA.add(), 0);
      })
      .act([](ScriptedWindow& w) { w.click(control::FILEEXPORTCSV); })
      .act([](ScriptedWindow& w) { w.click(control::FILEEXPORTCSV); })
      .act([](ScriptedWindow& w) { w.click(control::FILEEXPORTCSV); });
  session.run();

  auto& dialogs = session.runtime.fileDialogs;
  ASSERT_EQ(dialogs.size(), 3u);
  EXPECT_EQ(dialogs[0].title, "Export to CSV");
  EXPECT_EQ(dialogs[0].kind, FileDialogKind::Save);
  EXPECT_EQ(dialogs[0].path, path("Tree.csv").string());
  auto& messages = session.runtime.messages;
  // (A third message, at Exit, asks about the buffer this test wrote through.)
  ASSERT_GE(messages.size(), 2u);
  EXPECT_EQ(messages[0].text, "2 ornaments exported to\n" + csv.string());
  EXPECT_EQ(messages[0].icon, glimra::runtime::MessageIcon::Information);
  EXPECT_EQ(messages[1].caption, "Export to CSV");
  EXPECT_EQ(messages[1].text.rfind("Nothing was exported.\n", 0), 0u) << messages[1].text;
  EXPECT_EQ(messages[1].icon, glimra::runtime::MessageIcon::Exclamation);

  std::ifstream in(csv, std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(in)), {});
  EXPECT_EQ(text, "\xEF\xBB\xBF" + glimra::collection::csvHeaderRow() +
                      "Star,Glass,Winter,,,,,,,,,,,,,,,,,,\r\nAngel,Wood,,,,,,,,,,,,,,,,,,,\r\n");
}

// The mapping window as a user works it: the detected delimiter and columns,
// a column mapped by hand, Import; the progress window runs to its end.
void mapAndImport(ScriptedRuntime& runtime, std::vector<std::pair<int, std::string>> choices,
                  std::vector<std::string>* seen = nullptr) {
  runtime.whenOpened[glimra::catalogue::IMPORT_WINDOW_TITLE] = [=](ScriptedWindow& window) {
    window.onIdle = [=, done = false](ScriptedWindow& w) mutable {
      if (done) return;
      done = true;
      if (seen) {
        seen->push_back(w.text(glimra::catalogue::IMPORT_NOTE));
        for (int s = 0; s < 3; ++s)
          seen->push_back(w.text(glimra::catalogue::slotTitle(s)) + " > " +
                          w.rows(glimra::catalogue::slotField(s))
                              .at(static_cast<std::size_t>(w.choice(glimra::catalogue::slotField(s)) - 1)));
      }
      for (const auto& [slot, field] : choices) {
        const auto rows = w.rows(glimra::catalogue::slotField(slot));
        const auto at = std::find(rows.begin(), rows.end(), field);
        ASSERT_NE(at, rows.end()) << field;
        w.chooseRow(glimra::catalogue::slotField(slot), static_cast<int>(at - rows.begin()) + 1);
      }
      w.click(glimra::catalogue::IMPORT_OK);
    };
  };
  runtime.whenOpened["Importing"] = [](ScriptedWindow& window) {
    window.onIdle = [](ScriptedWindow& w) { w.fireTimer(); };
  };
}

TEST_F(CatalogueTest, ImportFromCsvAddsTheRowsAsOrnamentsAndRemembersTheMapping) {
  const fs::path file = path("Tree.GLM");
  writeCollection(file, {{"Star", "Winter", "Glass"}});
  remember(file);
  const fs::path csv = path("list.csv");
  // Semicolons and Windows-1252, one title the program does not know, one bad date.
  std::ofstream(csv, std::ios::binary) << "Bezeichnung;Category;Purchase Date\r\n"
                                          "\xC9toile;Metal;2015-12-01\r\n"
                                          "Angel;Wood;31/31/15\r\n"
                                          "Bell;Metal;\r\n";
  Session session;
  auto& runtime = session.runtime;
  std::vector<std::string> seen;
  mapAndImport(runtime, {{0, "Name"}}, &seen);
  runtime.fileAnswers.push_back(csv.string());
  runtime.messageAnswers.push_back(glimra::runtime::No);  // none of the rows
  std::vector<std::string> rowsAfterNo, rowsAfter, tabsAfter;
  bool undoAfter = true;
  session.check([](ScriptedWindow& w) { w.click(control::GLMDELETE); })  // something to undo
      .act([](ScriptedWindow& w) { w.click(control::FILEIMPORTCSV); })
      .check([&](ScriptedWindow& w) {
        rowsAfterNo = w.rows(control::GLMLIST);
        mapAndImport(runtime, {});  // the mapping is remembered
        runtime.fileAnswers.push_back(csv.string());
        runtime.messageAnswers.push_back(glimra::runtime::Yes);  // the good rows
      })
      .act([](ScriptedWindow& w) { w.click(control::FILEIMPORTCSV); })
      .check([&](ScriptedWindow& w) {
        rowsAfter = w.rows(control::GLMLIST);
        tabsAfter = tabTitles(w);
        undoAfter = w.isEnabled(control::UNDO);
      });
  session.run();

  EXPECT_EQ(runtime.fileDialogs.at(0).title, "Import from CSV");
  EXPECT_EQ(runtime.fileDialogs.at(0).kind, FileDialogKind::Open);
  EXPECT_EQ(seen, (std::vector<std::string>{"3 rows, 3 columns.", "1. Bezeichnung > (ignore)",
                                            "2. Category > Category", "3. Purchase Date > Purchase Date"}));
  auto& messages = runtime.messages;
  ASSERT_GE(messages.size(), 3u);
  EXPECT_NE(messages[0].text.find("Row 3, column 3 (Purchase Date: \"31/31/15\": 31 is not a month"), std::string::npos)
      << messages[0].text;
  EXPECT_NE(messages[0].text.find("Import the 2 good rows"), std::string::npos) << messages[0].text;
  EXPECT_EQ(rowsAfterNo, std::vector<std::string>{});  // the delete stands, nothing came in
  EXPECT_EQ(messages[2].text, "2 ornaments imported from\n" + csv.string());
  EXPECT_EQ(rowsAfter, (std::vector<std::string>{"Bell", "\xC3\x89toile"}));
  EXPECT_EQ(tabsAfter, (std::vector<std::string>{"ALL", "Metal"}));
  EXPECT_FALSE(undoAfter);  // the reload emptied the history
  const GlRecord etoile = storedRecord(file, "\xC9toile");
  EXPECT_EQ(etoile.PURDATE.str(), "78500");
  EXPECT_EQ(etoile.NAMEKEY.str(), "\xC9toile");
  EXPECT_NE(etoile.CREATEDDATE, 0);
  EXPECT_EQ(glimra::collection::readSetting("CsvImport", "Mapping", ""),
            "Bezeichnung=Name|Category=Category|Purchase Date=Purchase Date");
  // The day's first open took a backup, and the import one of the file just
  // before it (the delete stood); the refused import took none.
  const auto backups = glimra::collection::listBackups(file.string());
  ASSERT_EQ(backups.size(), 2u);
  EXPECT_EQ(backups[0].ornaments, 0);
  EXPECT_EQ(backups[1].ornaments, 1);
}

TEST_F(CatalogueTest, ACancelledImportLeavesTheCollectionAsItWas) {
  const fs::path file = path("Tree.GLM");
  writeCollection(file, {{"Star", "Winter", "Glass"}});
  remember(file);
  const fs::path csv = path("list.csv");
  std::ofstream out(csv, std::ios::binary);
  out << "Name\n";
  for (int i = 0; i < 1000; ++i) out << "Ornament " << i << "\n";
  out.close();
  Session session;
  auto& runtime = session.runtime;
  mapAndImport(runtime, {});
  runtime.whenOpened["Importing"] = [](ScriptedWindow& window) {
    // Two batches in, the user presses Cancel.
    window.onIdle = [step = 0](ScriptedWindow& w) mutable {
      if (step++ < 2) return w.fireTimer();
      w.click(4);
    };
  };
  runtime.fileAnswers.push_back(csv.string());
  std::vector<std::string> rows;
  session.act([](ScriptedWindow& w) { w.click(control::FILEIMPORTCSV); })
      .check([&](ScriptedWindow& w) { rows = w.rows(control::GLMLIST); });
  session.run();
  ASSERT_GE(runtime.messages.size(), 1u);
  EXPECT_EQ(runtime.messages[0].text, "The import was cancelled: nothing was imported.");
  EXPECT_EQ(rows, std::vector<std::string>{"Star (Winter)"});
  EXPECT_EQ(recordsIn(file), (std::vector<std::string>{"", "Star"}));
}

TEST_F(CatalogueTest, AFileThatCannotBeReadIsNamedBeforeTheMappingWindow) {
  const fs::path file = path("Tree.GLM");
  writeCollection(file, {{"Star", "Winter", "Glass"}});
  remember(file);
  std::ofstream(path("empty.csv"));
  std::ofstream(path("picture.csv"), std::ios::binary) << std::string("\x89PNG\r\n\x1a\n\0\0", 10);
  Session session;
  auto& runtime = session.runtime;
  runtime.fileAnswers.push_back(path("empty.csv").string());
  runtime.fileAnswers.push_back(path("picture.csv").string());
  runtime.fileAnswers.push_back(path("missing.csv").string());
  session.act([](ScriptedWindow& w) { w.click(control::FILEIMPORTCSV); })
      .act([](ScriptedWindow& w) { w.click(control::FILEIMPORTCSV); })
      .act([](ScriptedWindow& w) { w.click(control::FILEIMPORTCSV); });
  session.run();
  ASSERT_EQ(runtime.messages.size(), 3u);
  EXPECT_EQ(runtime.messages[0].text, "Nothing was imported.\nThe file is empty: there is nothing to import.");
  EXPECT_EQ(runtime.messages[1].text.rfind("Nothing was imported.\nThe file does not hold text", 0), 0u);
  EXPECT_EQ(runtime.messages[2].text, "Nothing was imported.\nCannot open " + path("missing.csv").string() + ".");
  EXPECT_EQ(std::count(runtime.openedTitles.begin(), runtime.openedTitles.end(), "Import from CSV"), 0);
  EXPECT_EQ(recordsIn(file), (std::vector<std::string>{"", "Star"}));
}

}  // namespace
}  // namespace catalogue_test
