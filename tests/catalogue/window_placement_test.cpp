// SPDX-License-Identifier: GPL-3.0-or-later
// Where the main window opens: the placement the user left it at when it
// still fits a screen, else a share of the primary screen in the design's
// proportions; the window wider than the design is laid out again with its
// one beep, and its placement is kept in the settings file on the way out.
#include <gtest/gtest.h>

#include <algorithm>

#include "catalogue/window_placement.h"
#include "catalogue_fixture.h"

namespace catalogue_test {
namespace {

using glimra::catalogue::chooseWindowPlacement;
using glimra::runtime::Rect;

constexpr int W = DisplayGlimra::DESIGN_WIDTH;   // 429
constexpr int H = DisplayGlimra::DESIGN_HEIGHT;  // 256

TEST(WindowPlacement, RememberedWhenItFitsElseAShareOfThePrimaryScreen) {
  const Rect screen{0, 0, 800, 600};
  const Rect firstStart{60, 97, 680, 406};  // 85% of the width; its height in the design's proportions
  struct Case {
    const char* what;
    std::optional<Rect> remembered;
    std::vector<Rect> screens;
    std::optional<Rect> chosen;
  };
  const Case cases[] = {
      {"no settings yet", std::nullopt, {screen}, firstStart},
      {"remembered, fits", Rect{100, 50, 500, 300}, {screen}, Rect{100, 50, 500, 300}},
      {"remembered too low for its enlarged sheet", Rect{100, 50, 600, 300}, {screen}, Rect{100, 50, 600, 359}},
      {"off every screen", Rect{900, 50, 500, 300}, {screen}, firstStart},
      {"on the second screen", Rect{900, 50, 500, 300}, {screen, {800, 0, 1000, 700}}, Rect{900, 50, 500, 300}},
      {"left of the primary screen", Rect{-700, 0, 500, 300}, {screen, {-1000, 0, 1000, 700}}, Rect{-700, 0, 500, 300}},
      {"larger than the screen", Rect{0, 0, 900, 600}, {screen}, firstStart},
      {"smaller than the design", Rect{10, 10, 300, 200}, {screen}, firstStart},
      {"raised height no longer fits", Rect{100, 300, 600, 300}, {screen}, firstStart},
      {"a wide screen: the height decides", std::nullopt, {{0, 0, 1200, 500}}, Rect{244, 37, 712, 425}},
      {"a tall screen: never below the design", std::nullopt, {{0, 0, 500, 1000}}, Rect{35, 372, W, H}},
      {"a screen smaller than the design", std::nullopt, {{0, 0, 400, 250}}, Rect{0, 0, W, H}},
      {"panels above and to the left", std::nullopt, {{40, 30, 800, 600}}, Rect{100, 127, 680, 406}},
      {"no screen known", Rect{100, 50, 500, 300}, {}, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const auto chosen = chooseWindowPlacement(c.remembered, c.screens, W, H);
    ASSERT_EQ(chosen.has_value(), c.chosen.has_value());
    if (chosen) EXPECT_EQ(*chosen, *c.chosen);
  }
}

TEST_F(CatalogueTest, ThePlacementIsKeptBesideTheFileNameAndReadBackWhole) {
  using glimra::catalogue::rememberedWindowPlacement;
  remember(path("Tree.GLM"));
  EXPECT_FALSE(rememberedWindowPlacement());
  glimra::catalogue::rememberWindowPlacement({-12, 34, 700, 420});
  EXPECT_EQ(rememberedWindowPlacement(), (Rect{-12, 34, 700, 420}));
  EXPECT_EQ(remembered(), path("Tree.GLM").string());  // the file name stays
  for (const char* broken : {"", "wide", "700px", "1e3"}) {
    SCOPED_TRACE(broken);
    glimra::collection::writeSetting("MainWindow", "Width", broken);
    EXPECT_FALSE(rememberedWindowPlacement());
  }
}

TEST_F(CatalogueTest, TheWindowOpensSizedForTheScreenAndIsLaidOutForItsWidth) {
  writeCollection(path("Tree.GLM"), {{"Star", "", ""}});
  remember(path("Tree.GLM"));
  struct Case {
    const char* what;
    std::optional<Rect> remembered;
    Rect screen;
    Rect placement;
    Rect sheet;
    int beeps;
  };
  const Case cases[] = {
      {"first start on a wide screen", std::nullopt, {0, 0, 1200, 500}, {244, 37, 712, 425}, {5, 5, 693, 413}, 1},
      {"remembered at twice the design", Rect{10, 20, 858, 512}, {0, 0, 1200, 800}, {10, 20, 858, 512}, {6, 6, 836, 498}, 1},
      {"a screen no wider than the design", std::nullopt, {0, 0, 450, 300}, {10, 22, W, H}, {3, 3, 418, 249}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.remembered) glimra::catalogue::rememberWindowPlacement(*c.remembered);
    Session session;
    session.runtime.screens = {c.screen};
    Rect placement, sheet;
    session.check([&](ScriptedWindow& w) {
      placement = w.placement();
      sheet = w.geometry(control::SHEET);
      EXPECT_EQ(w.minimumSize(), (Rect{0, 0, W, H}));
    });
    session.run();
    EXPECT_EQ(placement, c.placement);
    EXPECT_EQ(sheet, c.sheet);
    EXPECT_EQ(std::count(session.runtime.sounds.begin(), session.runtime.sounds.end(),
                         glimra::runtime::ExclamationSound),
              c.beeps);
    EXPECT_EQ(glimra::catalogue::rememberedWindowPlacement(), c.placement);  // kept on the way out
  }
}

}  // namespace
}  // namespace catalogue_test
