// SPDX-License-Identifier: GPL-3.0-or-later
#include "reports/preview_geometry.h"

#include <algorithm>

namespace glimra::reports::preview {

ThumbnailLayout positionThumbnails(int windowWidth, int windowHeight, int across, int down,
                                   double imageAspectRatio) {
  ThumbnailLayout layout;
  if (across < 1 || down < 1) return layout;
  const int totalXSeparation = (across - 1) * THUMBNAIL_GAP + 2 * THUMBNAIL_MARGIN;
  const int totalYSeparation = (down - 1) * THUMBNAIL_GAP + 2 * THUMBNAIL_MARGIN;
  int width = std::max(0, (windowWidth - totalXSeparation) / across);
  int height = std::max(0, (windowHeight - HEIGHT_LEFT_OUT - totalYSeparation) / down);
  if (width > 0 && height > 0) {
    const double cellAspectRatio = static_cast<double>(height) / width;
    if (imageAspectRatio > cellAspectRatio)
      width = static_cast<int>(height / imageAspectRatio);
    else
      height = static_cast<int>(width * imageAspectRatio);
  }
  layout.width = width;
  layout.height = height;
  int y = THUMBNAIL_MARGIN;
  for (int row = 0; row < down; ++row) {
    int x = THUMBNAIL_MARGIN;
    for (int column = 0; column < across; ++column) {
      layout.cells.push_back(UnitRect{x, y, width, height});
      x += width + THUMBNAIL_GAP;
    }
    y += height + THUMBNAIL_GAP;
  }
  return layout;
}

double zoomModifier(Mode mode, int windowWidth, int imageWidth) {
  switch (mode) {
    case Mode::PageWidth: return imageWidth > 0 ? static_cast<double>(windowWidth) / imageWidth : 1.0;
    case Mode::Zoom50: return 0.5;
    case Mode::Zoom75: return 0.75;
    case Mode::Zoom200: return 2.0;
    case Mode::Zoom300: return 3.0;
    case Mode::NoZoom:
    case Mode::Zoom100: break;
  }
  return 1.0;
}

const char* zoomStatusText(Mode mode) {
  switch (mode) {
    case Mode::NoZoom: return "No Zoom";
    case Mode::PageWidth: return "Zoom (Page Width)";
    case Mode::Zoom50: return "Zoom (50%)";
    case Mode::Zoom75: return "Zoom (75%)";
    case Mode::Zoom100: return "Zoom (100%)";
    case Mode::Zoom200: return "Zoom (200%)";
    case Mode::Zoom300: return "Zoom (300%)";
  }
  return "";
}

}  // namespace glimra::reports::preview
