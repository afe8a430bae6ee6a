// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's design rectangles: the window is declared at them, and
// R_RESOLUTION scales the same rectangles by one factor when the window is
// wider than its design width; labels and letter buttons keep their own size.
#include <gtest/gtest.h>

#include "catalogue_fixture.h"

namespace catalogue_test {
namespace {

using glimra::runtime::Rect;

TEST_F(CatalogueTest, ResolutionScalesTheDeclaredRectanglesByOneFactor) {
  struct Case {
    int control;
    Rect declared;
    Rect doubled;  // in a window twice the design width
  };
  const Case cases[] = {
      {control::SHEET, {3, 3, 418, 249}, {6, 6, 836, 498}},
      {control::GLMLIST, {9, 21, 175, 193}, {18, 42, 350, 386}},
      {control::A, {19, 235, 13, 13}, {38, 470, 13, 13}},
      {control::Z, {344, 235, 13, 13}, {688, 470, 13, 13}},
      {control::GL_NAME - 1, {190, 64, -1, 12}, {380, 128, -1, 24}},
      {control::GL_CATEGORY, {246, 79, 100, 12}, {492, 158, 200, 24}},
      {control::GL_CUSTOM3, {361, 198, 50, 12}, {722, 396, 100, 24}},
      {control::GL_PURPRICE - 1, {190, 200, -1, 12}, {380, 400, -1, 24}},
  };
  writeCollection(path("Tree.GLM"), {{"Star", "", ""}});
  remember(path("Tree.GLM"));
  Session session;
  std::vector<Rect> declared, doubled;
  double k = 0;
  session.check([&](ScriptedWindow& w) {
    for (const Case& c : cases) declared.push_back(w.geometry(c.control));
    w.resizeByUser(858, 512);
    session.program.R_RESOLUTION();
    k = session.program.K;
    for (const Case& c : cases) doubled.push_back(w.geometry(c.control));
  });
  session.run();
  ASSERT_EQ(declared.size(), std::size(cases));
  EXPECT_EQ(k, 2.0);
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(cases[i].control);
    EXPECT_EQ(declared[i], cases[i].declared);
    EXPECT_EQ(doubled[i], cases[i].doubled);
  }
}

}  // namespace
}  // namespace catalogue_test
