// SPDX-License-Identifier: GPL-3.0-or-later
// The splash window, the about box, the Help menu and Exit.
#include <gtest/gtest.h>

#include "catalogue_fixture.h"

namespace catalogue_test {
namespace {

using glimra::runtime::EventKind;
using glimra::runtime::Key;

TEST(Splash, ClosesAtTheTimerOrAtAMouseClick) {
  struct Case {
    const char* label;
    std::function<void(ScriptedWindow&)> user;
    bool closes;
  };
  const Case cases[] = {
      {"five seconds pass", [](ScriptedWindow& w) { w.fireTimer(); }, true},
      {"left click", [](ScriptedWindow& w) { w.pressKey(0, Key::MouseLeft); }, true},
      {"double click", [](ScriptedWindow& w) { w.pressKey(0, Key::MouseLeftDouble); }, true},
      {"right click", [](ScriptedWindow& w) { w.pressKey(0, Key::MouseRight); }, true},
      {"a key", [](ScriptedWindow& w) { w.pressKey(0, Key::Enter); }, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    ScriptedRuntime runtime;
    int timer = 0;
    int idleCalls = 0;
    std::string version;
    runtime.whenOpened[glimra::catalogue::SPLASH_TITLE] = [&](ScriptedWindow& window) {
      window.onIdle = [&](ScriptedWindow& w) {
        if (++idleCalls > 1) return;  // still open after the user's action
        timer = w.timer();
        version = w.text(2);
        c.user(w);
        w.post(9999, EventKind::Selected);  // something the splash ignores
      };
    };
    glimra::catalogue::GLMSPLASH(runtime);
    EXPECT_EQ(timer, 500);
    // The program's own version, as the about box names it.
    const std::string about = glimra::catalogue::aboutVersionLine();
    EXPECT_EQ(version, "Version " + about.substr(about.rfind(' ') + 1));
    EXPECT_EQ(idleCalls == 1, c.closes);
    EXPECT_EQ(runtime.openedTitles, std::vector<std::string>{glimra::catalogue::SPLASH_TITLE});
  }
}

TEST_F(CatalogueTest, HelpMenuAboutBoxAndExit) {
  writeCollection(path("Tree.GLM"), {{"Star", "", ""}});
  remember(path("Tree.GLM"));
  Session session;
  bool aboutOpened = false;
  session.runtime.whenOpened[glimra::catalogue::ABOUT_TITLE] = [&](ScriptedWindow& w) {
    aboutOpened = true;
    w.onIdle = [](ScriptedWindow& about) { about.click(7); };  // OK
  };
  bool stillRunning = false;
  // The help items are served by the runtime itself; no event reaches the loop.
  session.check([](ScriptedWindow& w) { w.click(control::HELPCONTENTS); })
      .check([](ScriptedWindow& w) { w.click(control::HELPSEARCH); })
      .act([](ScriptedWindow& w) { w.click(control::HELPABOUT); })
      .act([](ScriptedWindow& w) { w.click(control::FILEEXIT); })
      .check([&](ScriptedWindow&) { stillRunning = true; });
  session.run();

  EXPECT_EQ(session.runtime.helpRequests, (std::vector<std::string>{"contents", "search"}));
  EXPECT_TRUE(aboutOpened);
  EXPECT_FALSE(stillRunning);  // Exit left the loop before the next step
  EXPECT_FALSE(session.program.GLIMRA.isOpen());
}

}  // namespace
}  // namespace catalogue_test
