// SPDX-License-Identifier: GPL-3.0-or-later
// What the scripted and the Qt windows must agree on, run over each (the
// instantiations live beside each implementation's driver): tabs ordered by
// number, program changes that raise no events, the tab shown after the shown
// one is destroyed, posted events and their coalescing, controls destroyed
// with their parent, and a toolbar button that is one command with its menu
// item.
#include <gtest/gtest.h>

#include "window_behaviour.h"

namespace window_behaviour {
namespace {

using namespace glimra::runtime;

TEST_P(WindowBehaviour, TabsStandByNumberAndOnlyTheUsersChoiceRaisesAnEvent) {
  window->createTab(SHEET, 34, "Wood");
  window->createTab(SHEET, 33, "Glass");  // placed by number, before 34
  window->createTab(SHEET, 35, "Has \"star\"");
  EXPECT_EQ(driver->tabTitles(*window, SHEET), (std::vector<std::string>{"ALL", "Glass", "Wood", "Has \"star\""}));
  EXPECT_EQ(window->text(35), "Has \"star\"");

  window->select(35);
  EXPECT_EQ(window->choice(SHEET), 4);
  EXPECT_EQ(SHEETVALUE, 4) << "selecting a tab sets the sheet's variable";
  EXPECT_EQ(driver->shownTab(*window, SHEET), "Has \"star\"");
  window->setText(33, "Angels");
  EXPECT_EQ(window->text(33), "Angels");
  EXPECT_EQ(driver->tabTitles(*window, SHEET)[1], "Angels");
  window->destroy(35);
  window->select(ALLTAB);
  EXPECT_TRUE(driver->drain(*window).empty()) << "no event from the program's own changes";

  driver->chooseTab(*window, SHEET, 34);  // the user's choice raises one
  EXPECT_EQ(driver->drain(*window), (std::vector<Event>{{SHEET, EventKind::NewSelection}}));
  EXPECT_EQ(window->choice(SHEET), 3);
  EXPECT_EQ(SHEETVALUE, 3);
  window->destroy(33, 34);
  EXPECT_EQ(driver->tabTitles(*window, SHEET), std::vector<std::string>{"ALL"});
  EXPECT_EQ(window->choice(SHEET), 1);
  EXPECT_TRUE(driver->drain(*window).empty());
}

TEST_P(WindowBehaviour, DestroyingTheShownTabShowsItsRightHandNeighbourOrTheLeftOneForTheLast) {
  struct Case {
    const char* label;
    int shown;                 // the tab shown before
    int first, last;           // destroyed
    std::vector<int> unusable; // tabs disabled before
    const char* after;         // the tab shown after
  };
  const Case cases[] = {
      {"a middle tab: its right-hand neighbour", 34, 34, 34, {}, "Wood"},
      {"the last tab: its left-hand neighbour", 36, 36, 36, {}, "Wood"},
      {"the first tab: the next one", ALLTAB, ALLTAB, ALLTAB, {}, "Glass"},
      {"another tab: the shown one stays", 34, 33, 33, {}, "Paper"},
      {"a disabled neighbour is passed over", 34, 34, 34, {35}, "Tin"},
      {"a range: the nearest tab outside it", 34, 33, 35, {}, "Tin"},
      {"every tab to the right gone: the left one", 35, 35, 36, {}, "Paper"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    window->destroy(33, 36);
    window->createTab(SHEET, ALLTAB, "ALL");
    window->createTab(SHEET, 33, "Glass");
    window->createTab(SHEET, 34, "Paper");
    window->createTab(SHEET, 35, "Wood");
    window->createTab(SHEET, 36, "Tin");
    window->select(c.shown);
    for (int tab : c.unusable) window->disable(tab);
    window->destroy(c.first, c.last);
    EXPECT_EQ(driver->shownTab(*window, SHEET), c.after);
    EXPECT_TRUE(driver->drain(*window).empty()) << "destroying raises no event";
  }
}

TEST_P(WindowBehaviour, TimerAndResizeEventsWaitingStandForNewOnes) {
  window->post(EventKind::Timer);
  window->post(OK, EventKind::Accepted);
  window->post(EventKind::Timer);
  window->post(EventKind::Resized);
  window->post(EventKind::Resized);
  window->post(OK, EventKind::Accepted);
  window->close();
  const std::vector<EventKind> expected = {EventKind::Timer, EventKind::Accepted, EventKind::Resized,
                                           EventKind::Accepted, EventKind::CloseWindow};
  std::vector<EventKind> got;
  for (std::size_t i = 0; i < expected.size(); ++i) got.push_back(window->accept().kind);
  EXPECT_EQ(got, expected);
  EXPECT_TRUE(window->accept().closes()) << "a closed window stays closed";
}

TEST_P(WindowBehaviour, StateByRangeAndControlsDestroyedWithTheirParent) {
  window->disable(FILENEW, FILEEXIT);
  EXPECT_FALSE(window->isEnabled(FILEOPEN));
  EXPECT_TRUE(window->isEnabled(FILEMENU));
  window->enable(FILEEXIT);
  EXPECT_TRUE(window->isEnabled(FILEEXIT));
  window->hide(GROUP, FIRSTRADIO + 2);
  EXPECT_FALSE(window->isVisible(FIRSTRADIO + 1));
  window->show(FIRSTRADIO + 1);
  EXPECT_TRUE(window->isVisible(FIRSTRADIO + 1));
  EXPECT_FALSE(window->isVisible(FIRSTRADIO + 2));

  struct Case {
    const char* label;
    int first, last;
    std::vector<int> gone;
    std::vector<int> kept;
  };
  window->createTab(SHEET, 12, "Glass");
  const Case cases[] = {
      {"a menu takes its items along", FILEMENU, FILEMENU, {FILENEW, FILESEP, FILEEXIT}, {SHEET, OK}},
      {"an option group takes its buttons along", GROUP, GROUP, {FIRSTRADIO, FIRSTRADIO + 2}, {OK}},
      {"a sheet takes its tabs along", SHEET, SHEET, {ALLTAB, 12}, {OK}},
      {"numbers already gone: nothing happens", FILEMENU, GROUP, {}, {OK}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    window->destroy(c.first, c.last);
    EXPECT_FALSE(window->exists(c.first));
    for (int n : c.gone) EXPECT_FALSE(window->exists(n)) << n;
    for (int n : c.kept) EXPECT_TRUE(window->exists(n)) << n;
  }
  window->create({SHEET, ControlKind::Sheet, "", {2, 2, 160, 100}});
  window->createTab(SHEET, 12, "Glass");
  window->create({SHEET, ControlKind::Sheet, "", {2, 2, 120, 100}});
  EXPECT_TRUE(window->exists(SHEET));
  EXPECT_FALSE(window->exists(12)) << "a control made under a number in use replaces it, with its tabs";
  EXPECT_TRUE(driver->drain(*window).empty());
}

TEST_P(WindowBehaviour, AToolbarButtonIsOneCommandWithItsMenuItem) {
  window->disable(FILEMENU, FILEEXIT);
  EXPECT_FALSE(window->isEnabled(TOOLNEW)) << "disabled with its item, inside a range";
  driver->press(*window, TOOLNEW);
  EXPECT_TRUE(driver->drain(*window).empty());
  window->enable(FILENEW);
  EXPECT_TRUE(window->isEnabled(TOOLNEW));
  driver->press(*window, TOOLNEW);
  EXPECT_EQ(driver->drain(*window), (std::vector<Event>{{FILENEW, EventKind::Accepted}}))
      << "the button raises its item's event";
  window->disable(TOOLNEW);
  EXPECT_TRUE(window->isEnabled(FILENEW)) << "the button alone leaves the item";
}

}  // namespace
}  // namespace window_behaviour
