// SPDX-License-Identifier: GPL-3.0-or-later
// An edit in the form is never dropped without a question: every command that
// would drop it asks "Save changes to <name>?" as Exit does, and does what was
// answered (Yes saves, then the command runs; No drops the edit, then the
// command runs; Cancel keeps the edit and the command does not run). Undo
// takes an edit back before it replays the history, and a letter jump saves
// an edit as a click on another row does.
#include <gtest/gtest.h>

#include <algorithm>

#include "catalogue_fixture.h"
#include "collection/backups.h"
#include "program/report_menu.h"

namespace catalogue_test {
namespace {

using glimra::runtime::Button;

const std::vector<Ornament> kTree = {
    {"Star", "Winter", "Glass"}, {"Bell", "Alpine", "Metal"}, {"Candle", "Winter", "Glass"}, {"Snowman", "", "Wood"},
};
// Rows on the ALL tab: Bell (Alpine), Candle (Winter), Snowman, Star (Winter).

// One report that only counts its runs.
class CountingReports final : public glimra::program::ReportMenu {
 public:
  std::vector<glimra::program::ReportMenuItem> items() const override { return {{"Print Sorted by &Name", false}}; }
  void run(int) override { ++runs; }
  int runs = 0;
};

bool fileHolds(const fs::path& file, const std::string& name) {
  const auto records = recordsIn(file);
  return std::find(records.begin(), records.end(), name) != records.end();
}

TEST_F(CatalogueTest, EveryCommandThatWouldDropAnEditAsksFirst) {
  struct Command {
    const char* name;
    std::function<void(ScriptedWindow&)> run;
    // Whether the command went on (looked at after it).
    std::function<bool(Session&, CountingReports&, ScriptedWindow&)> wentOn;
  };
  auto dialogShown = [](Session& s, CountingReports&, ScriptedWindow&) { return !s.runtime.fileDialogs.empty(); };
  const Command commands[] = {
      {"File › Open", [](ScriptedWindow& w) { w.click(control::FILEOPEN); }, dialogShown},
      {"File › Create New", [](ScriptedWindow& w) { w.click(control::FILENEW); }, dialogShown},
      {"File › Save As", [](ScriptedWindow& w) { w.click(control::FILESAVEAS); }, dialogShown},
      {"File › Import", [](ScriptedWindow& w) { w.click(control::FILEIMPORTCSV); }, dialogShown},
      {"File › Restore from Backup", [](ScriptedWindow& w) { w.click(control::FILERESTORE); },
       [](Session& s, CountingReports&, ScriptedWindow&) {
         const auto& opened = s.runtime.openedTitles;
         return std::find(opened.begin(), opened.end(), glimra::catalogue::RESTORE_WINDOW_TITLE) != opened.end();
       }},
      {"a report", [](ScriptedWindow& w) { w.click(control::FIRSTREPORT); },
       [](Session&, CountingReports& reports, ScriptedWindow&) { return reports.runs == 1; }},
      {"a tab change", [](ScriptedWindow& w) { w.chooseTab(control::ALL + 1); },
       [](Session&, CountingReports&, ScriptedWindow& w) { return w.currentTab(control::SHEET) == control::ALL + 1; }},
      {"Sort by Series", [](ScriptedWindow& w) { w.click(control::LISTBYSERIES); },
       [](Session& s, CountingReports&, ScriptedWindow&) { return s.program.LISTBYSERIES == 1; }},
      {"Add", [](ScriptedWindow& w) { w.click(control::NEW); },
       [](Session& s, CountingReports&, ScriptedWindow&) { return s.program.PENDINGADD != 0; }},
  };
  for (const Command& command : commands) {
    for (const Button answer : {Button::Yes, Button::No, Button::Cancel}) {
      SCOPED_TRACE(std::string(command.name) + (answer == Button::Yes ? ", Yes" : answer == Button::No ? ", No" : ", Cancel"));
      const fs::path file = path("Tree.GLM");
      writeCollection(file, kTree);
      remember(file);
      ASSERT_TRUE(glimra::collection::backUpCollection(file.string()).ok);  // something to restore
      Session session;
      CountingReports reports;
      session.program.reports = &reports;
      session.runtime.messageAnswers = {answer};  // then every file dialog is cancelled
      std::string nameAfter;
      bool wentOn = false;
      session.act([](ScriptedWindow& w) { w.chooseRow(control::GLMLIST, 2); })  // Candle
          .act([](ScriptedWindow& w) { w.type(control::GL_NAME, "Lantern"); })
          .act(command.run)
          .check([&](ScriptedWindow& w) {
            nameAfter = w.shownText(control::GL_NAME);
            wentOn = command.wentOn(session, reports, w);
          });
      session.run();  // closing asks again after Cancel, answered by its default

      ASSERT_FALSE(session.runtime.messages.empty());
      EXPECT_EQ(session.runtime.messages[0].text, "Save changes to Lantern?");
      EXPECT_EQ(session.runtime.messages[0].buttons, Button::Yes | Button::No | Button::Cancel);
      EXPECT_EQ(wentOn, answer != Button::Cancel);
      if (answer == Button::Cancel) {
        EXPECT_EQ(nameAfter, "Lantern") << "the edit stays in the form";
      } else {
        // Saved before the command ran, or dropped: nothing is asked again.
        EXPECT_EQ(fileHolds(file, "Lantern"), answer == Button::Yes);
        EXPECT_TRUE(std::none_of(session.runtime.messages.begin() + 1, session.runtime.messages.end(),
                                 [](const auto& m) { return m.text.rfind("Save changes", 0) == 0; }));
      }
    }
  }
}

TEST_F(CatalogueTest, UndoTakesBackAnEditBeforeItUndoesTheHistory) {
  const fs::path file = path("Tree.GLM");
  writeCollection(file, kTree);
  remember(file);
  Session session;
  bool undoOffered = false, saveAfter = true;
  std::string nameAfterFirstUndo, nameAfterSecondUndo;
  session.act([](ScriptedWindow& w) { w.type(control::GL_SERIES, "Swiss"); })  // Bell
      .check([&](ScriptedWindow& w) { undoOffered = w.isEnabled(control::UNDO); })
      .act([](ScriptedWindow& w) { w.click(control::SAVE); })
      .act([](ScriptedWindow& w) { w.type(control::GL_NAME, "Bell of Joy"); })
      .act([](ScriptedWindow& w) { w.click(control::UNDO); })
      .check([&](ScriptedWindow& w) {
        nameAfterFirstUndo = w.shownText(control::GL_NAME);
        saveAfter = w.isEnabled(control::SAVE);
      })
      .act([](ScriptedWindow& w) { w.click(control::UNDO); })  // now the save
      .check([&](ScriptedWindow& w) { nameAfterSecondUndo = w.shownText(control::GL_SERIES); });
  session.run();

  EXPECT_TRUE(undoOffered) << "an edit not saved yet can be taken back";
  EXPECT_EQ(nameAfterFirstUndo, "Bell");
  EXPECT_FALSE(saveAfter);
  EXPECT_EQ(nameAfterSecondUndo, "Alpine");
  EXPECT_FALSE(fileHolds(file, "Bell of Joy"));
  EXPECT_TRUE(session.runtime.messages.empty());
}

TEST_F(CatalogueTest, ALetterJumpSavesAnEditAsARowChangeDoes) {
  const fs::path file = path("Tree.GLM");
  writeCollection(file, kTree);
  remember(file);
  Session session;
  std::string shownAfter;
  session.act([](ScriptedWindow& w) { w.type(control::GL_NAME, "Bellows"); })
      .act([](ScriptedWindow& w) { w.click(control::S); })
      .check([&](ScriptedWindow& w) { shownAfter = w.shownText(control::GL_NAME); });
  session.run();
  EXPECT_TRUE(fileHolds(file, "Bellows"));
  EXPECT_EQ(shownAfter, "Snowman");
  EXPECT_TRUE(session.runtime.messages.empty());
}

}  // namespace
}  // namespace catalogue_test
