// SPDX-License-Identifier: GPL-3.0-or-later
// Undo from the main window: each operation's entry replayed newest first,
// the lists and the file put back in step, and the history emptied wherever
// a load may have purged the records its entries name.
#include <gtest/gtest.h>

#include "catalogue_fixture.h"

namespace catalogue_test {
namespace {

using glimra::runtime::Key;

const std::vector<Ornament> kTree = {
    {"Star", "Winter", "Glass"}, {"Bell", "Alpine", "Metal"}, {"Candle", "Winter", "Glass"}, {"Snowman", "", "Wood"},
};
// Rows on the ALL tab: Bell (Alpine), Candle (Winter), Snowman, Star (Winter).
const std::vector<std::string> kRows = {"Bell (Alpine)", "Candle (Winter)", "Snowman", "Star (Winter)"};

class UndoTest : public CatalogueTest {
 protected:
  void SetUp() override {
    CatalogueTest::SetUp();
    writeCollection(path("Tree.GLM"), kTree);
    remember(path("Tree.GLM"));
  }
};

TEST_F(UndoTest, UndoingADeleteBringsTheOrnamentAndItsTabBack) {
  Session session;
  std::vector<std::string> tabsAfterDelete, tabs, rows;
  std::string shownName;
  bool undoEnabled = true;
  session.act([](ScriptedWindow& w) { w.chooseTab(control::ALL + 2); })  // Metal: Bell only
      .act([](ScriptedWindow& w) { w.click(control::GLMDELETE); })
      .check([&](ScriptedWindow& w) { tabsAfterDelete = tabTitles(w); })
      .act([](ScriptedWindow& w) { w.click(control::UNDO); })
      .check([&](ScriptedWindow& w) {
        tabs = tabTitles(w);
        rows = w.rows(control::GLMLIST);
        shownName = w.shownText(control::GL_NAME);
        undoEnabled = w.isEnabled(control::UNDO) || w.isEnabled(control::GLMUNDO);
        EXPECT_EQ(w.choice(control::GLMLIST), 1);
      });
  session.run();
  EXPECT_EQ(tabsAfterDelete, (std::vector<std::string>{"ALL", "Glass", "Wood"}));
  EXPECT_EQ(tabs, (std::vector<std::string>{"ALL", "Glass", "Metal", "Wood"}));
  EXPECT_EQ(rows, kRows);
  EXPECT_EQ(shownName, "Bell");
  EXPECT_FALSE(undoEnabled);
  EXPECT_EQ(recordsIn(path("Tree.GLM")), (std::vector<std::string>{"", "Star", "Bell", "Candle", "Snowman"}));
}

TEST_F(UndoTest, UndoingASaveBringsThePreviousContentsBack) {
  Session session;
  std::vector<std::string> rows;
  std::string shownName;
  session.act([](ScriptedWindow& w) { w.chooseRow(control::GLMLIST, 4); })  // Star
      .act([](ScriptedWindow& w) {
        w.focus(control::GL_NAME);
        w.type(control::GL_NAME, "Comet");
      })
      .act([](ScriptedWindow& w) { w.click(control::SAVE); })
      .act([](ScriptedWindow& w) { w.click(control::GLMUNDO); })
      .check([&](ScriptedWindow& w) {
        rows = w.rows(control::GLMLIST);
        shownName = w.shownText(control::GL_NAME);
        EXPECT_EQ(w.choice(control::GLMLIST), 4);
        EXPECT_FALSE(w.isEnabled(control::UNDO));
      });
  session.run();
  EXPECT_EQ(rows, kRows);
  EXPECT_EQ(shownName, "Star");
  EXPECT_EQ(recordsIn(path("Tree.GLM")),
            (std::vector<std::string>{"", "Star", "Bell", "Candle", "Snowman", "Comet [deleted]"}));
}

TEST_F(UndoTest, AddNameSaveThenUndoTwice) {
  Session session;
  std::vector<std::string> rowsAfterFirst, rowsAfterSecond;
  std::string nameAfterFirst, nameAfterSecond;
  bool undoAfterFirst = false, undoAfterSecond = true;
  session.act([](ScriptedWindow& w) { w.chooseRow(control::GLMLIST, 2); })  // Candle
      .act([](ScriptedWindow& w) { w.click(control::NEW); })
      .act([](ScriptedWindow& w) { w.type(control::GL_NAME, "Acorn"); })
      .act([](ScriptedWindow& w) { w.click(control::SAVE); })
      .act([](ScriptedWindow& w) { w.click(control::UNDO); })
      .check([&](ScriptedWindow& w) {
        rowsAfterFirst = w.rows(control::GLMLIST);
        nameAfterFirst = w.shownText(control::GL_NAME);
        undoAfterFirst = w.isEnabled(control::UNDO);
        EXPECT_EQ(w.choice(control::GLMLIST), 1);  // the blank record, live now
      })
      .act([](ScriptedWindow& w) { w.click(control::UNDO); })
      .check([&](ScriptedWindow& w) {
        rowsAfterSecond = w.rows(control::GLMLIST);
        nameAfterSecond = w.shownText(control::GL_NAME);
        undoAfterSecond = w.isEnabled(control::UNDO);
      });
  session.run();
  std::vector<std::string> withBlank = {""};
  withBlank.insert(withBlank.end(), kRows.begin(), kRows.end());
  EXPECT_EQ(rowsAfterFirst, withBlank);
  EXPECT_EQ(nameAfterFirst, "");
  EXPECT_TRUE(undoAfterFirst);
  EXPECT_EQ(rowsAfterSecond, withBlank);  // the second undo only selects
  EXPECT_EQ(nameAfterSecond, "Candle");
  EXPECT_FALSE(undoAfterSecond);

  Session reload;  // the blank record is purged at the next load
  reload.run();
  EXPECT_EQ(recordsIn(path("Tree.GLM")), (std::vector<std::string>{"", "Star", "Bell", "Candle", "Snowman"}));
}

TEST_F(UndoTest, UndoReplaysNewestFirst) {
  Session session;
  std::vector<std::string> rowsAfterFirst;
  std::string nameAfterFirst, nameAfterSecond;
  session.act([](ScriptedWindow& w) { w.chooseRow(control::GLMLIST, 2); })  // Candle
      .act([](ScriptedWindow& w) { w.click(control::NEW); })
      .act([](ScriptedWindow& w) { w.chooseRow(control::GLMLIST, 3); })  // Snowman: the blank addition is dropped
      .act([](ScriptedWindow& w) { w.pressKey(control::GLMLIST, Key::Delete); })
      .act([](ScriptedWindow& w) { w.click(control::UNDO); })
      .check([&](ScriptedWindow& w) {
        rowsAfterFirst = w.rows(control::GLMLIST);
        nameAfterFirst = w.shownText(control::GL_NAME);
      })
      .act([](ScriptedWindow& w) { w.click(control::UNDO); })
      .check([&](ScriptedWindow& w) {
        nameAfterSecond = w.shownText(control::GL_NAME);
        EXPECT_FALSE(w.isEnabled(control::UNDO));
      });
  session.run();
  EXPECT_EQ(rowsAfterFirst, kRows);
  EXPECT_EQ(nameAfterFirst, "Snowman");
  EXPECT_EQ(nameAfterSecond, "Candle");
}

TEST_F(UndoTest, EveryLoadThatPurgesEmptiesTheHistory) {
  struct Case {
    const char* name;
    std::function<void(ScriptedWindow&)> load;
  };
  const Case cases[] = {
      {"sort by series", [](ScriptedWindow& w) { w.click(control::LISTBYSERIES); }},
      {"open a file", [](ScriptedWindow& w) { w.click(control::FILEOPEN); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    writeCollection(path("Tree.GLM"), kTree);
    Session session;
    session.runtime.fileAnswers.push_back(path("Tree.GLM").string());
    bool undoBefore = false, undoAfter = true;
    int entriesAfter = -1;
    session.act([](ScriptedWindow& w) { w.click(control::DELETE); })
        .check([&](ScriptedWindow& w) { undoBefore = w.isEnabled(control::UNDO); })
        .act(c.load)
        .check([&](ScriptedWindow& w) {
          undoAfter = w.isEnabled(control::UNDO) || w.isEnabled(control::GLMUNDO);
          entriesAfter = session.program.UNDOQUEUE.count();
        })
        .act([](ScriptedWindow& w) { w.post(control::GLMUNDO, glimra::runtime::EventKind::Accepted); });
    session.run();
    EXPECT_TRUE(undoBefore);
    EXPECT_FALSE(undoAfter);
    EXPECT_EQ(entriesAfter, 0);
    // The deleted ornament was purged by the load and stays gone.
    EXPECT_EQ(recordsIn(path("Tree.GLM")), (std::vector<std::string>{"", "Star", "Candle", "Snowman"}));
  }
}

}  // namespace
}  // namespace catalogue_test
