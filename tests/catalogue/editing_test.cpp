// SPDX-License-Identifier: GPL-3.0-or-later
// Editing from the main window: edit start and Save's enabling, Add and Copy
// with their pending rows, Save (row moves, stamps, the retired old version),
// Delete, the row-change save, and a write-back that fails.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "catalogue_fixture.h"
#include "datafile/fault_file.h"
#include "text/std_date.h"

namespace catalogue_test {
namespace {

using glimra::runtime::Key;

const std::vector<Ornament> kTree = {
    {"Star", "Winter", "Glass"}, {"Bell", "Alpine", "Metal"}, {"Candle", "Winter", "Glass"}, {"Snowman", "", "Wood"},
};
// Rows on the ALL tab: Bell (Alpine), Candle (Winter), Snowman, Star (Winter).

// Every record of a collection file in physical order, header first.
std::vector<GlRecord> storedRecords(const fs::path& path) {
  std::vector<GlRecord> records;
  GlRecord record;
  glimra::datafile::DataFile file;
  file.declare(glimra::collection::glimraDeclaration(), &record);
  file.setName(path.string());
  if (file.open() != 0) return records;
  file.setFile();
  while (file.next() == 0) records.push_back(record);
  file.close();
  return records;
}

struct EnableState {
  bool toolbarAdd, toolbarCopy, menuAdd, menuCopy, save, undo;
  bool operator==(const EnableState&) const = default;
};
std::ostream& operator<<(std::ostream& out, const EnableState& s) {
  return out << "{toolbar add " << s.toolbarAdd << ", toolbar copy " << s.toolbarCopy << ", menu add " << s.menuAdd
             << ", menu copy " << s.menuCopy << ", save " << s.save << ", undo " << s.undo << "}";
}
EnableState enableState(ScriptedWindow& w) {
  EXPECT_EQ(w.isEnabled(control::SAVE), w.isEnabled(control::GLMSAVE));
  EXPECT_EQ(w.isEnabled(control::UNDO), w.isEnabled(control::GLMUNDO));
  return {w.isEnabled(control::NEW),  w.isEnabled(control::DUPLICATE), w.isEnabled(control::GLMNEW),
          w.isEnabled(control::GLMDUPLICATE), w.isEnabled(control::SAVE), w.isEnabled(control::UNDO)};
}

TEST_F(CatalogueTest, AddStartsAPendingOrnamentInTheShownCategory) {
  struct Case {
    int tab;
    const char* category;
    int rowsBefore;
  };
  for (const Case& c : {Case{control::ALL, "", 4}, Case{control::ALL + 1, "Glass", 2}}) {
    SCOPED_TRACE(c.category);
    writeCollection(path("Tree.GLM"), kTree);
    remember(path("Tree.GLM"));
    Session session;
    std::vector<std::string> rows;
    std::string shownCategory;
    EnableState during{};
    int focused = 0;
    if (c.tab != control::ALL) session.act([&](ScriptedWindow& w) { w.chooseTab(c.tab); });
    session.act([&](ScriptedWindow& w) { w.pressKey(control::GLMLIST, Key::Insert); })
        .check([&](ScriptedWindow& w) {
          rows = w.rows(control::GLMLIST);
          shownCategory = w.shownText(control::GL_CATEGORY);
          during = enableState(w);
          focused = w.focused();
          EXPECT_EQ(w.choice(control::GLMLIST), c.rowsBefore + 1);
          EXPECT_NE(session.program.PENDINGADD, 0);
          EXPECT_EQ(session.program.CURRENTPOINTER, session.program.PENDINGADD);
        });
    session.run();
    ASSERT_EQ(rows.size(), static_cast<std::size_t>(c.rowsBefore + 1));
    EXPECT_EQ(rows.back(), "");
    EXPECT_EQ(shownCategory, c.category);
    EXPECT_EQ(focused, control::GL_NAME);
    EXPECT_EQ(during, (EnableState{false, false, false, false, true, true}));

    // Left without a name, the pending record stays flagged and the next load
    // purges it.
    const auto stored = storedRecords(path("Tree.GLM"));
    ASSERT_EQ(stored.size(), kTree.size() + 2);
    EXPECT_EQ(stored.back().DELETED, 1);
    EXPECT_EQ(stored.back().CATEGORY.str(), c.category);
    EXPECT_EQ(stored.back().CREATEDDATE, glimra::collection::today());
    EXPECT_EQ(stored.back().CHANGEDDATE, stored.back().CREATEDDATE);
    EXPECT_EQ(stored.back().CHANGEDTIME, stored.back().CREATEDTIME);
  }
}

TEST_F(CatalogueTest, SaveWithoutANameDropsTheAddition) {
  writeCollection(path("Tree.GLM"), kTree);
  remember(path("Tree.GLM"));
  Session session;
  std::vector<std::string> rows;
  std::string shownName;
  EnableState state{};
  session.act([](ScriptedWindow& w) { w.click(control::NEW); })
      .act([](ScriptedWindow& w) { w.click(control::GLMSAVE); })
      .check([&](ScriptedWindow& w) {
        rows = w.rows(control::GLMLIST);
        shownName = w.shownText(control::GL_NAME);
        state = enableState(w);
        EXPECT_EQ(session.program.PENDINGADD, 0);
      });
  session.run();
  EXPECT_EQ(rows, (std::vector<std::string>{"Bell (Alpine)", "Candle (Winter)", "Snowman", "Star (Winter)"}));
  EXPECT_EQ(shownName, "Star");  // the last row, a stored record, not the dropped one
  EXPECT_EQ(state, (EnableState{true, true, true, true, false, true}));
  EXPECT_EQ(recordsIn(path("Tree.GLM")), (std::vector<std::string>{"", "Star", "Bell", "Candle", "Snowman"}));
}

TEST_F(CatalogueTest, SaveIsOfferedOnlyOnceAFieldIsEntered) {
  writeCollection(path("Tree.GLM"), kTree);
  remember(path("Tree.GLM"));
  Session session;
  std::vector<bool> saveEnabled;
  auto note = [&](ScriptedWindow& w) { saveEnabled.push_back(w.isEnabled(control::SAVE)); };
  session.check(note)
      .act([](ScriptedWindow& w) { w.focus(control::GL_VALUE); })  // entering is enough
      .check(note)
      .check([&](ScriptedWindow&) { EXPECT_EQ(session.program.RECORDCHANGED, 1); })
      .act([](ScriptedWindow& w) { w.click(control::SAVE); })
      .check(note);
  session.run();
  EXPECT_EQ(saveEnabled, (std::vector<bool>{false, true, false}));
}

TEST_F(CatalogueTest, SaveRetiresTheOldVersionAndTheNextLoadKeepsOnlyTheNewOne) {
  writeCollection(path("Tree.GLM"), kTree);
  remember(path("Tree.GLM"));
  {
    Session session;
    std::vector<std::string> rows;
    int selected = 0;
    std::string shownName;
    session.act([](ScriptedWindow& w) {  // Bell, row 1
          w.focus(control::GL_NAME);
          w.type(control::GL_NAME, "Zither");
        })
        .act([](ScriptedWindow& w) { w.click(control::SAVE); })
        .check([&](ScriptedWindow& w) {
          rows = w.rows(control::GLMLIST);
          selected = w.choice(control::GLMLIST);
          shownName = w.shownText(control::GL_NAME);
          EXPECT_EQ(w.focused(), control::GLMLIST);
        });
    session.run();
    EXPECT_EQ(rows, (std::vector<std::string>{"Candle (Winter)", "Snowman", "Star (Winter)", "Zither (Alpine)"}));
    EXPECT_EQ(selected, 4);  // the moved row stays selected
    EXPECT_EQ(shownName, "Zither");
  }
  const auto stored = storedRecords(path("Tree.GLM"));
  ASSERT_EQ(stored.size(), 6u);
  const GlRecord& old = stored[2];
  const GlRecord& saved = stored[5];
  EXPECT_EQ(old.NAME.str(), "Bell");
  EXPECT_EQ(old.DELETED, 1);
  EXPECT_EQ(saved.NAME.str(), "Zither");
  EXPECT_EQ(saved.NAMEKEY.str(), "Zither (Alpine)");
  EXPECT_EQ(saved.DELETED, 0);
  EXPECT_EQ(saved.CREATEDDATE, old.CREATEDDATE);  // created stays, changed is new
  EXPECT_EQ(saved.CREATEDTIME, old.CREATEDTIME);
  EXPECT_EQ(saved.CHANGEDDATE, glimra::collection::today());

  Session reload;
  reload.run();
  EXPECT_EQ(recordsIn(path("Tree.GLM")), (std::vector<std::string>{"", "Star", "Candle", "Snowman", "Zither"}));
}

TEST_F(CatalogueTest, ChoosingAnotherRowSavesTheEditAndShowsTheChosenRow) {
  writeCollection(path("Tree.GLM"), kTree);
  remember(path("Tree.GLM"));
  Session session;
  std::vector<std::string> rows;
  std::string shownName;
  session.act([](ScriptedWindow& w) { w.chooseRow(control::GLMLIST, 2); })  // Candle
      .act([](ScriptedWindow& w) {
        w.focus(control::GL_SERIES);
        w.type(control::GL_SERIES, "Advent");
      })
      .act([](ScriptedWindow& w) { w.chooseRow(control::GLMLIST, 4); })  // Star
      .check([&](ScriptedWindow& w) {
        rows = w.rows(control::GLMLIST);
        shownName = w.shownText(control::GL_NAME);
        EXPECT_EQ(w.choice(control::GLMLIST), 4);
        EXPECT_FALSE(w.isEnabled(control::SAVE));
      });
  session.run();
  EXPECT_EQ(rows, (std::vector<std::string>{"Bell (Alpine)", "Candle (Advent)", "Snowman", "Star (Winter)"}));
  EXPECT_EQ(shownName, "Star");
}

TEST_F(CatalogueTest, CopyCarriesTheFormAndTheToolbarWaitsForTheSave) {
  writeCollection(path("Tree.GLM"), kTree);
  remember(path("Tree.GLM"));
  Session session;
  EnableState pending{}, saved{};
  std::vector<std::string> rows;
  std::string copiedSeries;
  session.act([](ScriptedWindow& w) { w.chooseRow(control::GLMLIST, 4); })  // Star
      .act([](ScriptedWindow& w) {
        w.focus(control::GL_SERIES);
        w.type(control::GL_SERIES, "Spring");  // an unsaved edit goes to the copy only
      })
      .act([](ScriptedWindow& w) { w.click(control::DUPLICATE); })
      .check([&](ScriptedWindow& w) {
        pending = enableState(w);
        copiedSeries = w.shownText(control::GL_SERIES);
      })
      .act([](ScriptedWindow& w) { w.type(control::GL_NAME, "Star Copy"); })
      .act([](ScriptedWindow& w) { w.click(control::GLMSAVE); })
      .check([&](ScriptedWindow& w) {
        saved = enableState(w);
        rows = w.rows(control::GLMLIST);
      });
  session.run();
  EXPECT_EQ(pending, (EnableState{false, false, true, true, true, true}));
  EXPECT_EQ(copiedSeries, "Spring");
  EXPECT_EQ(saved, (EnableState{true, true, true, true, false, true}));
  EXPECT_EQ(rows, (std::vector<std::string>{"Bell (Alpine)", "Candle (Winter)", "Snowman", "Star (Winter)",
                                            "Star Copy (Spring)"}));
}

TEST_F(CatalogueTest, DeletingTheLastOrnamentOfTheShownCategoryRemovesItsTab) {
  writeCollection(path("Tree.GLM"), kTree);
  remember(path("Tree.GLM"));
  Session session;
  std::vector<std::string> tabs, rows;
  int currentTab = 0;
  std::string shownName;
  session.act([](ScriptedWindow& w) { w.chooseTab(control::ALL + 2); })  // Metal: Bell only
      .act([](ScriptedWindow& w) { w.pressKey(control::GLMLIST, Key::Delete); })
      .check([&](ScriptedWindow& w) {
        tabs = tabTitles(w);
        currentTab = w.currentTab(control::SHEET);
        rows = w.rows(control::GLMLIST);
        shownName = w.shownText(control::GL_NAME);
      });
  session.run();
  EXPECT_EQ(tabs, (std::vector<std::string>{"ALL", "Glass", "Wood"}));
  EXPECT_EQ(currentTab, control::ALL);
  EXPECT_EQ(rows, (std::vector<std::string>{"Candle (Winter)", "Snowman", "Star (Winter)"}));
  EXPECT_EQ(shownName, "Candle");
  EXPECT_TRUE(session.runtime.messages.empty());  // no confirmation
  EXPECT_EQ(recordsIn(path("Tree.GLM")),
            (std::vector<std::string>{"", "Star", "Bell [deleted]", "Candle", "Snowman"}));
}

TEST_F(CatalogueTest, SavingTheOnlyOrnamentOfACategoryKeepsItsTab) {
  writeCollection(path("Tree.GLM"), kTree);
  remember(path("Tree.GLM"));
  Session session;
  int currentTab = 0;
  std::vector<std::string> rows;
  session.act([](ScriptedWindow& w) { w.chooseTab(control::ALL + 3); })  // Wood: Snowman only
      .act([](ScriptedWindow& w) {
        w.focus(control::GL_SERIES);
        w.type(control::GL_SERIES, "Frost");
      })
      .act([](ScriptedWindow& w) { w.click(control::SAVE); })
      .check([&](ScriptedWindow& w) {
        currentTab = w.currentTab(control::SHEET);
        rows = w.rows(control::GLMLIST);
      });
  session.run();
  EXPECT_EQ(currentTab, control::ALL + 3);
  EXPECT_EQ(rows, (std::vector<std::string>{"Snowman (Frost)"}));
}

TEST_F(CatalogueTest, SavingANewCategoryBeforeTheShownOneKeepsTheShownCategory) {
  writeCollection(path("Tree.GLM"), kTree);
  remember(path("Tree.GLM"));
  Session session;
  std::vector<std::string> tabs;
  int currentTab = 0;
  session.act([](ScriptedWindow& w) { w.chooseTab(control::ALL + 1); })  // Glass: Candle, Star
      .act([](ScriptedWindow& w) { w.click(control::NEW); })
      .act([](ScriptedWindow& w) {
        w.type(control::GL_NAME, "Acorn");
        w.type(control::GL_CATEGORY, "Amber");
      })
      .act([](ScriptedWindow& w) { w.click(control::SAVE); })
      .check([&](ScriptedWindow& w) {
        tabs = tabTitles(w);
        currentTab = w.currentTab(control::SHEET);
        EXPECT_EQ(session.program.CURRENTTEXT.str(), "Glass");
        EXPECT_EQ(w.rows(control::GLMLIST), (std::vector<std::string>{"Candle (Winter)", "Star (Winter)"}));
      });
  session.run();
  EXPECT_EQ(tabs, (std::vector<std::string>{"ALL", "Amber", "Glass", "Metal", "Wood"}));
  EXPECT_EQ(currentTab, control::ALL + 2);  // still Glass
}

// A file's bytes, to put the collection inside a fault-injecting file system
// where a write can be made to fail.
std::vector<std::uint8_t> fileBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST_F(CatalogueTest, AFailedSaveLosesNothingAndKeepsTheEditInTheForm) {
  writeCollection(path("Tree.GLM"), kTree);
  glimra::datafile::FaultFileSystem disk;
  disk.setContents(path("Tree.GLM").string(), fileBytes(path("Tree.GLM")));
  remember(path("Tree.GLM"));
  Session session(disk);
  std::vector<std::string> rowsAfterFailure, rowsAfterRetry;
  std::string nameAfterFailure;
  bool saveEnabled = false, undoEnabled = false;
  int historyAfterFailure = -1;
  session.act([](ScriptedWindow& w) { w.chooseRow(control::GLMLIST, 2); })  // Candle
      .act([&](ScriptedWindow& w) {
        w.focus(control::GL_NAME);
        w.type(control::GL_NAME, "Lantern");
        disk.plan.failWrite = disk.writes() + 1;  // the save's first write fails
      })
      .act([](ScriptedWindow& w) { w.click(control::SAVE); })
      .check([&](ScriptedWindow& w) {
        rowsAfterFailure = w.rows(control::GLMLIST);
        nameAfterFailure = w.shownText(control::GL_NAME);
        saveEnabled = w.isEnabled(control::SAVE);
        undoEnabled = w.isEnabled(control::UNDO);
        historyAfterFailure = session.program.UNDOQUEUE.count();
        EXPECT_EQ(w.choice(control::GLMLIST), 2);
        disk.plan = {};
      })
      .act([](ScriptedWindow& w) { w.click(control::SAVE); })  // the same edit, saved now
      .check([&](ScriptedWindow& w) { rowsAfterRetry = w.rows(control::GLMLIST); });
  session.run();

  ASSERT_EQ(session.runtime.messages.size(), 1u);
  EXPECT_EQ(session.runtime.messages[0].caption, "Can't Save Record");
  EXPECT_EQ(rowsAfterFailure, (std::vector<std::string>{"Bell (Alpine)", "Candle (Winter)", "Snowman", "Star (Winter)"}));
  EXPECT_EQ(nameAfterFailure, "Lantern");
  EXPECT_TRUE(saveEnabled);
  EXPECT_EQ(historyAfterFailure, 0) << "a failed save records nothing";
  EXPECT_TRUE(undoEnabled) << "Undo takes back the edit still in the form";
  EXPECT_EQ(rowsAfterRetry, (std::vector<std::string>{"Bell (Alpine)", "Lantern (Winter)", "Snowman", "Star (Winter)"}));
  // The failed attempt left nothing behind: one retired version, one new one.
  EXPECT_EQ(recordsIn(path("Tree.GLM"), disk),
            (std::vector<std::string>{"", "Star", "Bell", "Candle [deleted]", "Snowman", "Lantern"}));
}

TEST_F(CatalogueTest, ExitAsksBeforeUnsavedWorkIsLost) {
  using glimra::runtime::Button;
  struct Case {
    const char* what;
    std::vector<std::function<void(ScriptedWindow&)>> work;  // steps on Candle, the second row
    std::vector<Button> answers;
    std::vector<std::string> questions;
    std::vector<std::string> records;
  };
  auto rename = [](ScriptedWindow& w) { w.type(control::GL_NAME, "Lantern"); };
  auto enterOnly = [](ScriptedWindow& w) { w.focus(control::GL_SERIES); };
  auto add = [](ScriptedWindow& w) { w.click(control::NEW); };
  auto name = [](ScriptedWindow& w) { w.type(control::GL_NAME, "Icicle"); };
  const std::vector<std::string> unchanged{"", "Star", "Bell", "Candle", "Snowman"};
  const Case cases[] = {
      {"an edit, Yes", {rename}, {glimra::runtime::Yes}, {"Save changes to Lantern?"},
       {"", "Star", "Bell", "Candle [deleted]", "Snowman", "Lantern"}},
      {"an edit, No", {rename}, {glimra::runtime::No}, {"Save changes to Lantern?"}, unchanged},
      {"an edit, Cancel stays, then No", {rename}, {glimra::runtime::Cancel, glimra::runtime::No},
       {"Save changes to Lantern?", "Save changes to Lantern?"}, unchanged},
      {"a field entered, nothing changed", {enterOnly}, {}, {}, unchanged},
      {"an addition with a name, Yes", {add, name}, {glimra::runtime::Yes}, {"Save changes to Icicle?"},
       {"", "Star", "Bell", "Candle", "Snowman", " [deleted]", "Icicle"}},
      {"an addition with a name, No", {add, name}, {glimra::runtime::No}, {"Save changes to Icicle?"},
       {"", "Star", "Bell", "Candle", "Snowman", " [deleted]"}},  // purged at the next load
      {"an addition without a name", {add}, {}, {}, {"", "Star", "Bell", "Candle", "Snowman", " [deleted]"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    writeCollection(path("Tree.GLM"), kTree);
    remember(path("Tree.GLM"));
    Session session;
    session.runtime.messageAnswers.assign(c.answers.begin(), c.answers.end());
    bool stayedAfterCancel = false;
    session.act([](ScriptedWindow& w) { w.chooseRow(control::GLMLIST, 2); });
    for (const auto& step : c.work) session.act(step);
    session.act([](ScriptedWindow& w) { w.click(control::FILEEXIT); });
    if (c.answers.size() > 1) session.check([&](ScriptedWindow& w) { stayedAfterCancel = !w.closed(); });
    session.run();

    std::vector<std::string> questions;
    for (const auto& box : session.runtime.messages) {
      questions.push_back(box.text);
      EXPECT_EQ(box.buttons, glimra::runtime::Yes | glimra::runtime::No | glimra::runtime::Cancel);
    }
    EXPECT_EQ(questions, c.questions);
    EXPECT_EQ(stayedAfterCancel, c.answers.size() > 1);
    EXPECT_EQ(recordsIn(path("Tree.GLM")), c.records);
  }
}

TEST_F(CatalogueTest, AFailedSaveOnExitKeepsTheWindowOpen) {
  writeCollection(path("Tree.GLM"), kTree);
  glimra::datafile::FaultFileSystem disk;
  disk.setContents(path("Tree.GLM").string(), fileBytes(path("Tree.GLM")));
  remember(path("Tree.GLM"));
  Session session(disk);
  session.runtime.messageAnswers = {glimra::runtime::Yes, glimra::runtime::Ok, glimra::runtime::Yes};
  bool open = false;
  std::string name;
  session.act([](ScriptedWindow& w) { w.chooseRow(control::GLMLIST, 2); })
      .act([&](ScriptedWindow& w) {
        w.type(control::GL_NAME, "Lantern");
        disk.plan.failWrite = disk.writes() + 1;
      })
      .act([](ScriptedWindow& w) { w.click(control::FILEEXIT); })
      .check([&](ScriptedWindow& w) {
        open = !w.closed();
        name = w.shownText(control::GL_NAME);
        disk.plan = {};
      });  // then the window closes: asked again, and saved
  session.run();

  EXPECT_TRUE(open);
  EXPECT_EQ(name, "Lantern");
  ASSERT_EQ(session.runtime.messages.size(), 3u);
  EXPECT_EQ(session.runtime.messages[1].caption, "Can't Save Record");
  EXPECT_EQ(recordsIn(path("Tree.GLM"), disk),
            (std::vector<std::string>{"", "Star", "Bell", "Candle [deleted]", "Snowman", "Lantern"}));
}

TEST_F(CatalogueTest, TypingIntoTheFieldThatHasTheFocusStartsAnEdit) {
  writeCollection(path("Tree.GLM"), kTree);
  writeCollection(path("Shop.GLM"), {{"Dove", "Peace", "Glass"}, {"Elf", "", "Wood"}});
  remember(path("Tree.GLM"));
  Session session;
  session.runtime.fileAnswers.push_back(path("Shop.GLM").string());
  session.act([](ScriptedWindow& w) { w.focus(control::GL_SERIES); })
      .act([](ScriptedWindow& w) { w.click(control::FILEOPEN); })  // the focus stays in Series
      .act([](ScriptedWindow& w) { w.type(control::GL_SERIES, "Peace Deluxe"); })
      .act([](ScriptedWindow& w) { w.chooseRow(control::GLMLIST, 2); });
  session.run();
  EXPECT_EQ(recordsIn(path("Shop.GLM")), (std::vector<std::string>{"", "Dove [deleted]", "Elf", "Dove"}));
}

TEST_F(CatalogueTest, WithNoCollectionOpenNothingCanBeEdited) {
  writeCollection(path("Tree.GLM"), kTree);
  remember(path("Tree.GLM"));
  Session session;
  session.runtime.fileAnswers.push_back((path("Missing") / "Tree.GLM").string());  // an open that fails
  std::vector<bool> enabled;
  std::vector<std::string> rows;
  session.act([](ScriptedWindow& w) { w.click(control::FILEOPEN); })
      .check([&](ScriptedWindow& w) {
        for (int c : {control::GLMNEW, control::GLMDUPLICATE, control::GLMDELETE, control::GLMSAVE, control::NEW,
                      control::DUPLICATE, control::DELETE, control::SAVE, control::GL_NAME, control::LISTBYSERIES})
          enabled.push_back(w.isEnabled(c));
        rows = w.rows(control::GLMLIST);
      })
      .act([](ScriptedWindow& w) { w.click(control::LISTBYSERIES); })  // reloads nothing, enables nothing
      .check([&](ScriptedWindow& w) { enabled.push_back(w.isEnabled(control::GLMNEW)); });
  session.run();

  EXPECT_EQ(enabled, (std::vector<bool>{false, false, false, false, false, false, false, false, false, true, false}));
  EXPECT_TRUE(rows.empty()) << "the list shows nothing of the file shown before";
  EXPECT_TRUE(session.runtime.messages.empty());
}

}  // namespace
}  // namespace catalogue_test
