// SPDX-License-Identifier: GPL-3.0-or-later
// Opening the remembered collection file at start-up, and the File menu:
// Create New File, Open Existing File and Save File As, with their failures.
#include <gtest/gtest.h>

#include "catalogue_fixture.h"
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

// A remembered file that cannot be opened leads to "Create a New File"; only a
// file that is there but unusable is named to the user first.
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
      EXPECT_EQ(messages[0].text, "Invalid Data File" + std::string(10, ' '));
      EXPECT_EQ(messages[0].icon, glimra::runtime::MessageIcon::Information);
    } else {
      EXPECT_TRUE(messages.empty());
    }
    ASSERT_EQ(session.runtime.fileDialogs.size(), 1u);
    EXPECT_EQ(session.runtime.fileDialogs[0].title, "Create a New File");
    EXPECT_EQ(session.runtime.fileDialogs[0].path, file.string());
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

  EXPECT_TRUE(session.runtime.messages.empty());
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

}  // namespace
}  // namespace catalogue_test
