// SPDX-License-Identifier: GPL-3.0-or-later
// The print preview's geometry, in window units: where the thumbnails of a
// grid go and how large the zoomed page is drawn. Pure arithmetic, so the
// preview window and its tests share it.
//
// Thumbnails: gaps of 3 units between cells and a margin of 1 at each edge;
// 18 units of the height are left to the row of page and grid boxes. A cell
// is (room ÷ count), then shrunk on one side so that the thumbnail keeps the
// page's proportions; every division truncates. Cells are packed row by row
// from the top-left corner, whatever room is left on the right or below.
#pragma once

#include <vector>

namespace glimra::reports::preview {

struct UnitRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  bool operator==(const UnitRect&) const = default;
};

struct ThumbnailLayout {
  int width = 0;   // of every thumbnail
  int height = 0;
  std::vector<UnitRect> cells;  // slot i (0-based) of the grid, row by row
};

inline constexpr int THUMBNAIL_GAP = 3;
inline constexpr int THUMBNAIL_MARGIN = 1;
inline constexpr int HEIGHT_LEFT_OUT = 18;

// The thumbnails of an across × down grid in a window of windowWidth ×
// windowHeight units, for pages of imageAspectRatio (height ÷ width).
// Positions are relative to the grid's area, whose top-left corner is (0, 0).
// Sizes never fall below 0.
ThumbnailLayout positionThumbnails(int windowWidth, int windowHeight, int across, int down,
                                   double imageAspectRatio);

// The display modes of the preview: thumbnails, or one page at a zoom.
enum class Mode { NoZoom, PageWidth, Zoom50, Zoom75, Zoom100, Zoom200, Zoom300 };

// The scale of the zoomed page: page width fills the window's width; the
// percentages are fixed.
double zoomModifier(Mode mode, int windowWidth, int imageWidth);

// The status text of a zoom mode ("Zoom (50%)"), "No Zoom" for thumbnails.
const char* zoomStatusText(Mode mode);

}  // namespace glimra::reports::preview
