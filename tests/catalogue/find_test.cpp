// SPDX-License-Identifier: GPL-3.0-or-later
// Find from the main window: the dialog and its kept values, the find tab
// with its matches and caption, the highlight in the form, the ways the tab
// goes again, Save and Undo around it, and the edit saved before a find.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "catalogue_fixture.h"
#include "datafile/fault_file.h"
#include "text/cp1252.h"

namespace catalogue_test {
namespace {

constexpr const char* FIND_DIALOG = "Find Matching Entries";
enum FindDialogControl { FIND_TEXT = 2, FIND_IGNORECASE = 3, FIND_OK = 4, FIND_CANCEL = 5 };

std::string cp1252(const char* utf8) { return glimra::collection::utf8ToCp1252(utf8).text; }

// Categories Glass, Metal, Wood: the find tab is tab ALL + 4.
const std::vector<Ornament> kShelf = {
    {"Silver Bell", "Alpine", "Metal",
     false, [](GlRecord& r) { r.MANUF = "Bellwood Works"; r.ARTIST = "Anna BELL"; }},
    {"Star", "Winter", "Glass", false, [](GlRecord& r) { r.DESCRIPTION = "a tiny bell inside; abcdefghijklmnopqrst"; }},
    {"Bellflower", "", "Wood"},
    {"", "", "", false, [](GlRecord& r) { r.NAME = cp1252("Église"); }},
};
constexpr int kFindTab = control::ALL + 4;

// The user's side of the find dialog: the text typed (nothing when null), the
// check box's state wanted, and whether OK or Cancel ends it. What the dialog
// showed when it opened is kept.
struct FindDialogUser {
  const char* text = nullptr;
  bool ignoreCase = false;
  bool ok = true;
};
struct SeenInDialog {
  std::string text;
  bool ignoreCase;
};

// Runs the next scripted dialog answer each time the find dialog opens.
void answerFindDialogs(Session& session, std::deque<FindDialogUser>& users, std::vector<SeenInDialog>& seen) {
  session.runtime.whenOpened[FIND_DIALOG] = [&users, &seen](ScriptedWindow& dialog) {
    dialog.onIdle = [&users, &seen](ScriptedWindow& d) {
      seen.push_back({d.shownText(FIND_TEXT), d.choice(FIND_IGNORECASE) == 1});
      const FindDialogUser user = users.empty() ? FindDialogUser{nullptr, false, false} : users.front();
      if (!users.empty()) users.pop_front();
      if (user.text) d.type(FIND_TEXT, user.text);
      if ((d.choice(FIND_IGNORECASE) == 1) != user.ignoreCase) d.click(FIND_IGNORECASE);
      d.click(user.ok ? FIND_OK : FIND_CANCEL);
    };
  };
}

TEST_F(CatalogueTest, FindListsTheLiveMatchesOnATabAfterTheCategories) {
  struct Case {
    const char* text;
    bool ignoreCase;
    std::vector<std::string> rows;  // empty: nothing found
    const char* caption;
  };
  const Case cases[] = {
      {"Bell", false, {"Bellflower", "Silver Bell (Alpine)"}, "Has \"Bell\""},
      {"Bell  ", false, {"Bellflower", "Silver Bell (Alpine)"}, "Has \"Bell\""},  // trailing blanks do not count
      {"ell", false, {"Bellflower", "Silver Bell (Alpine)", "Star (Winter)"}, "Has \"ell\""},
      {" ell", false, {}, nullptr},  // leading blanks count
      {"bell", false, {"Star (Winter)"}, "Has \"bell\""},                         // only in a description
      {"bell", true, {"Bellflower", "Silver Bell (Alpine)", "Star (Winter)"}, "Has \"bell\""},
      {"église", true, {"Église"}, "Has \"église\""},
      {"église", false, {}, nullptr},
      {"abcdefghijklmnopqrst", false, {"Star (Winter)"}, "Has \"abcdefghijklmnopqrs"},  // cut to 24
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.text) + (c.ignoreCase ? " (ignore case)" : ""));
    writeCollection(path("Shelf.GLM"), kShelf);
    remember(path("Shelf.GLM"));
    Session session;
    std::deque<FindDialogUser> users{{c.text, c.ignoreCase, true}};
    std::vector<SeenInDialog> seen;
    answerFindDialogs(session, users, seen);
    std::vector<std::string> rows, titles;
    int currentTab = 0;
    bool saveEnabled = true, undoEnabled = true;
    session.act([](ScriptedWindow& w) { w.click(control::FIND); }).check([&](ScriptedWindow& w) {
      rows = w.rows(control::GLMLIST);
      titles = tabTitles(w);
      currentTab = w.currentTab(control::SHEET);
      saveEnabled = w.isEnabled(control::SAVE) || w.isEnabled(control::GLMSAVE);
      undoEnabled = w.isEnabled(control::UNDO) || w.isEnabled(control::GLMUNDO);
    });
    session.run();
    if (c.rows.empty()) {
      ASSERT_EQ(session.runtime.messages.size(), 1u);
      EXPECT_EQ(session.runtime.messages[0].text, "No Matching Ornaments Were Found");
      EXPECT_EQ(session.runtime.messages[0].caption, "Find Matching Ornament Entries");
      EXPECT_EQ(titles, (std::vector<std::string>{"ALL", "Glass", "Metal", "Wood"}));
      EXPECT_EQ(currentTab, control::ALL);
      EXPECT_EQ(rows.size(), 4u);  // the ALL list as it was
      continue;
    }
    EXPECT_TRUE(session.runtime.messages.empty());
    EXPECT_EQ(rows, c.rows);
    ASSERT_EQ(titles.size(), 5u);
    EXPECT_EQ(titles.back(), cp1252(c.caption));
    EXPECT_EQ(currentTab, kFindTab);
    EXPECT_EQ(session.program.PENDINGFIND, kFindTab);
    EXPECT_FALSE(saveEnabled);
    EXPECT_FALSE(undoEnabled);
  }
}

TEST_F(CatalogueTest, FindHighlightsTheTextInTheFormAndEnteringAFieldOffersNoSave) {
  writeCollection(path("Shelf.GLM"), kShelf);
  remember(path("Shelf.GLM"));
  Session session;
  std::deque<FindDialogUser> users{{"bell", true, true}};
  std::vector<SeenInDialog> seen;
  answerFindDialogs(session, users, seen);
  std::pair<int, int> manufacturer, artist;
  int focusOnFirst = 0, focusOnDescriptionMatch = 0;
  bool saveAfterEntering = true;
  session.act([](ScriptedWindow& w) { w.click(control::FIND); })
      .act([](ScriptedWindow& w) { w.chooseRow(control::GLMLIST, 2); })  // Silver Bell
      .check([&](ScriptedWindow& w) {
        manufacturer = w.selectedRange(control::GL_MANUF);
        artist = w.selectedRange(control::GL_ARTIST);
        focusOnFirst = w.focused();
      })
      .act([](ScriptedWindow& w) { w.focus(control::GL_LOCATION); })
      .check([&](ScriptedWindow& w) {
        saveAfterEntering = w.isEnabled(control::SAVE);
        EXPECT_EQ(session.program.RECORDCHANGED, 0);
      })
      .act([](ScriptedWindow& w) { w.chooseRow(control::GLMLIST, 3); })  // Star: only its description has it
      .check([&](ScriptedWindow& w) { focusOnDescriptionMatch = w.focused(); });
  session.run();
  EXPECT_EQ(manufacturer, std::make_pair(1, 4));  // "Bellwood Works"
  EXPECT_EQ(artist, std::make_pair(6, 9));        // "Anna BELL"
  EXPECT_EQ(focusOnFirst, control::GL_ARTIST);    // the last highlighted field
  EXPECT_FALSE(saveAfterEntering);
  EXPECT_EQ(focusOnDescriptionMatch, control::GL_LOCATION);  // nothing highlighted took the focus
}

TEST_F(CatalogueTest, TheFindDialogKeepsItsValuesAndCancelEmptiesTheNext) {
  writeCollection(path("Shelf.GLM"), kShelf);
  remember(path("Shelf.GLM"));
  Session session;
  std::deque<FindDialogUser> users{{"bell", true, true}, {nullptr, true, false}, {nullptr, true, true}};
  std::vector<SeenInDialog> seen;
  answerFindDialogs(session, users, seen);
  std::vector<std::string> titlesAfterCancel;
  session.act([](ScriptedWindow& w) { w.click(control::FIND); })
      .act([](ScriptedWindow& w) { w.click(control::GLMFIND); })  // cancelled
      .check([&](ScriptedWindow& w) { titlesAfterCancel = tabTitles(w); })
      .act([](ScriptedWindow& w) { w.click(control::FIND); });  // OK with nothing typed
  session.run();
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[0].text, "");
  EXPECT_FALSE(seen[0].ignoreCase);
  EXPECT_EQ(seen[1].text, "BELL");  // the text as it was searched, case folded
  EXPECT_TRUE(seen[1].ignoreCase);
  EXPECT_EQ(seen[2].text, "");  // after Cancel
  EXPECT_TRUE(seen[2].ignoreCase);
  EXPECT_EQ(titlesAfterCancel.back(), "Has \"bell\"");  // Cancel changed nothing
  EXPECT_TRUE(session.runtime.messages.empty());
}

TEST_F(CatalogueTest, TheFindTabGoesOnATabChangeAnEmptyFindOrASecondFind) {
  struct Case {
    const char* what;
    std::function<void(ScriptedWindow&)> leave;
    const char* secondFind;
    std::vector<std::string> titles;
    int currentTab;
    std::vector<std::string> rows;
  };
  const std::vector<std::string> categories{"ALL", "Glass", "Metal", "Wood"};
  const std::vector<std::string> all{"Bellflower", "\xc3\x89glise", "Silver Bell (Alpine)", "Star (Winter)"};
  auto find = [](ScriptedWindow& w) { w.click(control::FIND); };
  const Case cases[] = {
      {"ALL tab", [](ScriptedWindow& w) { w.chooseTab(control::ALL); }, nullptr, categories, control::ALL, all},
      {"category tab", [](ScriptedWindow& w) { w.chooseTab(control::ALL + 1); }, nullptr, categories,
       control::ALL + 1, {"Star (Winter)"}},
      // Back where the first find was started (ALL), not on the tab next to the find tab.
      {"empty find", find, "nowhere", categories, control::ALL, all},
      {"second find", find, "Star", {"ALL", "Glass", "Metal", "Wood", "Has \"Star\""}, kFindTab, {"Star (Winter)"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    writeCollection(path("Shelf.GLM"), kShelf);
    remember(path("Shelf.GLM"));
    Session session;
    std::deque<FindDialogUser> users{{"Bell", false, true}};
    if (c.secondFind) users.push_back({c.secondFind, false, true});
    std::vector<SeenInDialog> seen;
    answerFindDialogs(session, users, seen);
    std::vector<std::string> titles, rows;
    int currentTab = 0;
    bool undoOnFindTab = true, undoAfter = false;
    session.act([](ScriptedWindow& w) { w.type(control::GL_LOCATION, "Shelf"); })  // Bellflower
        .act([](ScriptedWindow& w) { w.click(control::SAVE); })  // an undo entry
        .act(find)
        .check([&](ScriptedWindow& w) { undoOnFindTab = w.isEnabled(control::UNDO); })
        .act(c.leave)
        .check([&](ScriptedWindow& w) {
          titles = tabTitles(w);
          currentTab = w.currentTab(control::SHEET);
          rows = w.rows(control::GLMLIST);
          undoAfter = w.isEnabled(control::UNDO);
        });
    session.run();
    EXPECT_FALSE(undoOnFindTab);
    EXPECT_EQ(titles, c.titles);
    EXPECT_EQ(currentTab, c.currentTab);
    EXPECT_EQ(rows, c.rows);
    EXPECT_EQ(undoAfter, c.titles.size() == 4);  // back with the history, or off on the new find tab
    EXPECT_EQ(session.program.PENDINGFIND, c.titles.size() == 4 ? 0 : kFindTab);
  }
}

// A file's bytes, to put the collection inside a fault-injecting file system.
std::vector<std::uint8_t> fileBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST_F(CatalogueTest, AnEditIsSavedBeforeAFindAndAFailedSaveStopsTheFind) {
  for (const bool saveFails : {false, true}) {
    SCOPED_TRACE(saveFails ? "save fails" : "save works");
    writeCollection(path("Shelf.GLM"), kShelf);
    glimra::datafile::FaultFileSystem disk;
    disk.setContents(path("Shelf.GLM").string(), fileBytes(path("Shelf.GLM")));
    remember(path("Shelf.GLM"));
    Session session(disk);
    std::deque<FindDialogUser> users{{"Lantern", false, true}};
    std::vector<SeenInDialog> seen;
    answerFindDialogs(session, users, seen);
    std::vector<std::string> rows;
    std::string shownName;
    // Bellflower, the first row, is shown.
    session.act([&](ScriptedWindow& w) {
          w.type(control::GL_NAME, "Lantern");
          if (saveFails) disk.plan.failWrite = disk.writes() + 1;
        })
        .act([](ScriptedWindow& w) { w.click(control::FIND); })
        .check([&](ScriptedWindow& w) {
          rows = w.rows(control::GLMLIST);
          shownName = w.shownText(control::GL_NAME);
          disk.plan = {};
        });
    session.run();
    EXPECT_EQ(shownName, "Lantern");
    if (saveFails) {
      ASSERT_EQ(session.runtime.messages.size(), 2u);  // and the question on closing with the edit
      EXPECT_EQ(session.runtime.messages[0].caption, "Can't Save Record");
      EXPECT_EQ(rows.size(), 4u);  // still the ALL list: the find did not run
      EXPECT_EQ(session.program.PENDINGFIND, 0);
      EXPECT_EQ(seen.size(), 1u);
    } else {
      EXPECT_TRUE(session.runtime.messages.empty());
      EXPECT_EQ(rows, (std::vector<std::string>{"Lantern"}));  // found as saved
      EXPECT_EQ(recordsIn(path("Shelf.GLM"), disk),
                (std::vector<std::string>{"", "Silver Bell", "Star", "Bellflower [deleted]", "\xc9glise", "Lantern"}));
    }
  }
}

}  // namespace
}  // namespace catalogue_test
