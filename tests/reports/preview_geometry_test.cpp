// SPDX-License-Identifier: GPL-3.0-or-later
// The preview's thumbnail grid and zoom scale: a table of window sizes,
// grids and page shapes with the cells worked out by hand.
#include "reports/preview_geometry.h"

#include <gtest/gtest.h>

namespace glimra::reports::preview {
namespace {

constexpr double LETTER = 11000.0 / 8500.0;  // a portrait page: taller than wide

struct GridCase {
  int windowWidth, windowHeight, across, down;
  double aspect;
  int width, height;          // of each thumbnail
  UnitRect first, last;       // slot 1 and slot across × down
};

TEST(PreviewGeometry, ThumbnailsKeepThePageProportionsAndPackFromTheTopLeft) {
  const GridCase cases[] = {
      // One page fitted to the window: the height limits it.
      {400, 300, 1, 1, LETTER, 216, 280, {1, 1, 216, 280}, {1, 1, 216, 280}},
      // 2 × 2: cells 197 × 138, narrowed to 106; 3-unit gaps.
      {400, 300, 2, 2, LETTER, 106, 138, {1, 1, 106, 138}, {110, 142, 106, 138}},
      // 10 × 10: cells 37 × 25, narrowed to 19 (truncated from 19.3).
      {400, 300, 10, 10, LETTER, 19, 25, {1, 1, 19, 25}, {199, 253, 19, 25}},
      // A wide page in tall cells: the width limits it, the height follows.
      {100, 100, 2, 1, 0.5, 47, 23, {1, 1, 47, 23}, {51, 1, 47, 23}},
      // A window lower than the room left out: nothing to draw, no negative sizes.
      {10, 10, 1, 1, LETTER, 8, 0, {1, 1, 8, 0}, {1, 1, 8, 0}},
  };
  for (const GridCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.windowWidth << "x" << c.windowHeight << " grid " << c.across << "x" << c.down);
    const ThumbnailLayout layout = positionThumbnails(c.windowWidth, c.windowHeight, c.across, c.down, c.aspect);
    EXPECT_EQ(layout.width, c.width);
    EXPECT_EQ(layout.height, c.height);
    ASSERT_EQ(layout.cells.size(), static_cast<std::size_t>(c.across * c.down));
    EXPECT_EQ(layout.cells.front(), c.first);
    EXPECT_EQ(layout.cells.back(), c.last);
  }
}

TEST(PreviewGeometry, ZoomScaleAndStatusTextOfEveryMode) {
  struct ZoomCase {
    Mode mode;
    double modifier;
    const char* status;
  };
  const ZoomCase cases[] = {
      {Mode::NoZoom, 1.0, "No Zoom"},          {Mode::PageWidth, 1.5, "Zoom (Page Width)"},
      {Mode::Zoom50, 0.5, "Zoom (50%)"},       {Mode::Zoom75, 0.75, "Zoom (75%)"},
      {Mode::Zoom100, 1.0, "Zoom (100%)"},     {Mode::Zoom200, 2.0, "Zoom (200%)"},
      {Mode::Zoom300, 3.0, "Zoom (300%)"},
  };
  for (const ZoomCase& c : cases) {
    EXPECT_DOUBLE_EQ(zoomModifier(c.mode, 600, 400), c.modifier) << c.status;
    EXPECT_STREQ(zoomStatusText(c.mode), c.status);
  }
}

}  // namespace
}  // namespace glimra::reports::preview
