// SPDX-License-Identifier: GPL-3.0-or-later
// Photos through Qt's image readers: the inspector the photo store asks
// before it takes a file, and the decode every picture of a photo is made
// with (a thumbnail, a display copy), so that both read a file alike.
//
// A decode honours the orientation the camera recorded (the picture is shown
// upright), then turns it by the photo's display rotation, and reads JPEG
// files scaled (only as many pixels as are asked for are ever held, so a
// 50-megapixel photo costs what its thumbnail costs). Other formats decode
// whole, which the pixel limits of photo_images.h bound.
//
// A file is refused when it is no image of a taken format (JPEG, PNG, WebP,
// GIF, BMP, TIFF), when it does not decode to its end (a cut-short JPEG
// decodes with a warning only: that warning refuses it too), or when it has
// more pixels than the limits allow. Safe to use from any thread.
#pragma once

#include <QImage>
#include <QSize>
#include <QString>

#include "collection/photo_images.h"

namespace glimra::collection {

class QtImageInspector final : public ImageInspector {
 public:
  ImageFacts inspect(const std::string& path) override;
};

struct DecodedPhoto {
  QImage image;    // null when it failed
  QString problem; // when it failed: why, as a clause
};

// The photo at path, upright, turned by `rotation` quarter turns clockwise,
// scaled to fit `box` (never enlarged); an empty box keeps its size.
DecodedPhoto decodePhoto(const QString& path, int rotation, QSize box);

// A path in the file system's bytes (UTF-8 here) as Qt names it.
QString qtPath(const std::string& path);

}  // namespace glimra::collection
