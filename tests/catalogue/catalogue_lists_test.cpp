// SPDX-License-Identifier: GPL-3.0-or-later
// The list of the main window and its views: the rows shown, row changes,
// "Sort by Series", the letter bar, category tabs and their removal.
#include <gtest/gtest.h>

#include "catalogue_fixture.h"

namespace catalogue_test {
namespace {

using glimra::runtime::EventKind;

const std::vector<Ornament> kTree = {
    {"Star", "Winter", "Glass"},   {"angel", "", "Wood"},         {"Bell", "Alpine", "Metal"},
    {"Candle", "Winter", "Glass"}, {"Snowman", "Alpine", "Wood"}, {"Zebra", "", "Wood"},
};

TEST_F(CatalogueTest, RowChangeShowsTheChosenRecord) {
  writeCollection(path("Tree.GLM"), kTree);
  remember(path("Tree.GLM"));
  Session session;
  std::string name, category, series;
  int letter = 0;
  session.act([](ScriptedWindow& w) { w.chooseRow(control::GLMLIST, 3); }).check([&](ScriptedWindow& w) {
    name = w.shownText(control::GL_NAME);
    category = w.shownText(control::GL_CATEGORY);
    series = w.shownText(control::GL_SERIES);
    letter = session.program.LETTER;
  });
  session.run();
  // Rows: angel, Bell (Alpine), Candle (Winter), Snowman (Alpine), Star (Winter), Zebra
  EXPECT_EQ(name, "Candle");
  EXPECT_EQ(category, "Glass");
  EXPECT_EQ(series, "Winter");
  EXPECT_EQ(letter, 3);
}

TEST_F(CatalogueTest, SortBySeriesReordersAndOpeningResetsIt) {
  writeCollection(path("Tree.GLM"), kTree);
  remember(path("Tree.GLM"));
  Session session;
  session.runtime.fileAnswers.push_back(path("Tree.GLM").string());
  std::vector<std::string> bySeries, onWoodTab, afterOpen;
  std::string shownName;
  int checkAfterOpen = -1;
  session.act([](ScriptedWindow& w) { w.click(control::LISTBYSERIES); })
      .check([&](ScriptedWindow& w) {
        bySeries = w.rows(control::GLMLIST);
        shownName = w.shownText(control::GL_NAME);
      })
      .act([](ScriptedWindow& w) { w.chooseTab(control::ALL + 3); })  // Wood
      .check([&](ScriptedWindow& w) { onWoodTab = w.rows(control::GLMLIST); })
      .act([](ScriptedWindow& w) { w.click(control::FILEOPEN); })
      .check([&](ScriptedWindow& w) {
        afterOpen = w.rows(control::GLMLIST);
        checkAfterOpen = w.choice(control::LISTBYSERIES);
      });
  session.run();

  // Letter case does not order the lists, as in the file's keys.
  EXPECT_EQ(bySeries, (std::vector<std::string>{" (angel)", " (Zebra)", "Alpine (Bell)", "Alpine (Snowman)",
                                                "Winter (Candle)", "Winter (Star)"}));
  EXPECT_EQ(shownName, "angel");
  EXPECT_EQ(onWoodTab, (std::vector<std::string>{" (angel)", " (Zebra)", "Alpine (Snowman)"}));
  EXPECT_EQ(afterOpen, (std::vector<std::string>{"angel", "Bell (Alpine)", "Candle (Winter)", "Snowman (Alpine)",
                                                 "Star (Winter)", "Zebra"}));
  EXPECT_EQ(checkAfterOpen, 0);
  ASSERT_FALSE(session.runtime.sounds.empty());
  EXPECT_EQ(session.runtime.sounds.back(), glimra::runtime::QuestionSound);
}

TEST_F(CatalogueTest, LetterBarJumpsToFirstEntryAtOrAfterTheLetter) {
  writeCollection(path("Tree.GLM"), kTree);
  remember(path("Tree.GLM"));
  struct Case {
    int letterButton;
    const char* expected;
  };
  // Rows: angel, Bell, Candle, Snowman, Star, Zebra (letter case does not
  // order them); each jump starts from row 4.
  const Case cases[] = {{control::A, "angel"}, {control::C, "Candle"}, {control::D, "Snowman"},
                        {control::T, "Zebra"}, {control::Z, "Zebra"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected);
    Session session;
    std::string name;
    session.act([](ScriptedWindow& w) { w.chooseRow(control::GLMLIST, 4); })
        .act([&](ScriptedWindow& w) { w.click(c.letterButton); })
        .check([&](ScriptedWindow& w) {
      name = w.shownText(control::GL_NAME);
    });
    session.run();
    EXPECT_EQ(name, c.expected);
  }
}

// An ornament without a category gets no tab and no entry in the drop list.
TEST_F(CatalogueTest, CategoryTabsShowTheirEntriesAndAlreadyShownTabChangesNothing) {
  std::vector<Ornament> tree = kTree;
  tree.push_back({"Plain", "", ""});
  writeCollection(path("Tree.GLM"), tree);
  remember(path("Tree.GLM"));
  Session session;
  std::vector<std::string> tabs, dropList, glass;
  int rowAfterRepeat = 0;
  std::string textAfterRepeat;
  session
      .check([&](ScriptedWindow& w) {
        tabs = tabTitles(w);
        dropList = w.rows(control::GL_CATEGORY);
      })
      .act([](ScriptedWindow& w) { w.chooseTab(control::ALL + 1); })
      .check([&](ScriptedWindow& w) { glass = w.rows(control::GLMLIST); })
      .act([](ScriptedWindow& w) { w.chooseRow(control::GLMLIST, 2); })
      .act([](ScriptedWindow& w) { w.post(control::SHEET, EventKind::NewSelection); })
      .check([&](ScriptedWindow& w) {
        rowAfterRepeat = w.choice(control::GLMLIST);
        textAfterRepeat = w.shownText(control::GL_NAME);
      });
  session.run();

  EXPECT_EQ(tabs, (std::vector<std::string>{"ALL", "Glass", "Metal", "Wood"}));
  EXPECT_EQ(dropList, (std::vector<std::string>{"Glass", "Metal", "Wood"}));
  EXPECT_EQ(glass, (std::vector<std::string>{"Candle (Winter)", "Star (Winter)"}));
  EXPECT_EQ(rowAfterRepeat, 2);
  EXPECT_EQ(textAfterRepeat, "Star");
}

TEST_F(CatalogueTest, CategoryNamesShareATabOnTheirFirst24Characters) {
  writeCollection(path("Tree.GLM"), {{"Blue Ball", "", "Christmas Decorations Blue Glass"},
                                     {"Blue Owl", "", "Christmas Decorations Blue Wood"},
                                     {"Red Bell", "", "Metal"}});
  remember(path("Tree.GLM"));
  Session session;
  std::vector<std::string> tabs, rows;
  session.check([&](ScriptedWindow& w) { tabs = tabTitles(w); })
      .act([](ScriptedWindow& w) { w.chooseTab(control::ALL + 1); })
      .check([&](ScriptedWindow& w) { rows = w.rows(control::GLMLIST); });
  session.run();

  EXPECT_EQ(tabs, (std::vector<std::string>{"ALL", "Christmas Decorations Bl", "Metal"}));
  EXPECT_EQ(rows, (std::vector<std::string>{"Blue Ball", "Blue Owl"}));
}

// The last ornament of "Metal" goes away while the ALL tab is shown: its tab
// stays until chosen; choosing it removes it, re-titles the tabs after it and
// returns to the ALL view.
TEST_F(CatalogueTest, TabFoundEmptyIsRemovedAndAllTabShown) {
  writeCollection(path("Tree.GLM"), kTree);
  remember(path("Tree.GLM"));
  Session session;
  std::vector<std::string> tabsBefore, tabsAfter, rowsAfter;
  int currentTab = 0;
  std::string currentText;
  session
      .check([&](ScriptedWindow& w) {
        auto& p = session.program;
        p.ALLQUEUE.buffer.clear();
        p.ALLQUEUE.buffer.NAMEKEY = "Bell (Alpine)";
        p.ALLQUEUE.buffer.NAME = "Bell";
        ASSERT_TRUE(p.ALLQUEUE.getByKey(&glimra::catalogue::AllEntry::NAMEKEY));
        ASSERT_EQ(p.GLIMRA.get(static_cast<std::uint32_t>(p.ALLQUEUE.buffer.POINTER)), 0);
        p.R_DELETEQUEUE();
        // The record buffer holds what the form shows again, as after a delete.
        glimra::collection::fromImage(p.GL, p.CURRENTRECORD);
        w.display(control::GLMLIST);
        tabsBefore = tabTitles(w);
      })
      .act([](ScriptedWindow& w) { w.chooseTab(control::ALL + 2); })  // Metal
      .check([&](ScriptedWindow& w) {
        tabsAfter = tabTitles(w);
        rowsAfter = w.rows(control::GLMLIST);
        currentTab = w.currentTab(control::SHEET);
        currentText = session.program.CURRENTTEXT.str();
      });
  session.run();

  EXPECT_EQ(tabsBefore, (std::vector<std::string>{"ALL", "Glass", "Metal", "Wood"}));
  EXPECT_EQ(tabsAfter, (std::vector<std::string>{"ALL", "Glass", "Wood"}));
  EXPECT_EQ(rowsAfter, (std::vector<std::string>{"angel", "Candle (Winter)", "Snowman (Alpine)", "Star (Winter)",
                                                 "Zebra"}));
  EXPECT_EQ(currentTab, control::ALL);
  EXPECT_EQ(currentText, "ALL");
  EXPECT_TRUE(session.runtime.messages.empty());
}

TEST_F(CatalogueTest, EmptyCollectionShowsEmptyListFormAndNoCategoryTabs) {
  writeCollection(path("Other.GLM"), {{"Star", "", "Glass"}});
  writeCollection(path("Empty.GLM"), {});
  remember(path("Other.GLM"));
  Session session;
  session.runtime.fileAnswers.push_back(path("Empty.GLM").string());
  std::vector<std::string> rows{"not looked at"}, tabs;
  std::string name{"not looked at"}, category{"not looked at"};
  session.act([](ScriptedWindow& w) { w.chooseTab(control::ALL + 1); })
      .act([](ScriptedWindow& w) { w.click(control::FILEOPEN); })
      .act([](ScriptedWindow& w) { w.click(control::M); })
      .check([&](ScriptedWindow& w) {
        rows = w.rows(control::GLMLIST);
        tabs = tabTitles(w);
        name = w.shownText(control::GL_NAME);
        category = w.shownText(control::GL_CATEGORY);
      });
  session.run();

  EXPECT_TRUE(rows.empty());
  EXPECT_EQ(tabs, std::vector<std::string>{"ALL"});
  EXPECT_EQ(name, "");
  EXPECT_EQ(category, "");
  EXPECT_EQ(session.program.CURRENTTEXT.str(), "ALL");
}

}  // namespace
}  // namespace catalogue_test
