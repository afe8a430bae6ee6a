// SPDX-License-Identifier: GPL-3.0-or-later
// What the photo store needs to know of an image file before it takes it,
// and the face through which it asks: the program and glimra-file give an
// inspector that decodes with the image library of the windowed side; tests
// give one of their own. The collection layer itself reads no image.
//
// Limits, the same everywhere: a photo file of at most PHOTO_MAX_BYTES; an
// image of at most PHOTO_MAX_PIXELS when its format decodes scaled (JPEG,
// WebP: only as many pixels as are shown are ever held), of at most
// PHOTO_MAX_PIXELS_WHOLE when it decodes only whole (PNG and the rest).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace glimra::collection {

inline constexpr std::uint64_t PHOTO_MAX_BYTES = 100ull << 20;         // 100 MiB
inline constexpr std::uint64_t PHOTO_MAX_PIXELS = 200'000'000;         // 200 megapixels
inline constexpr std::uint64_t PHOTO_MAX_PIXELS_WHOLE = 60'000'000;    // 60 megapixels

struct ImageFacts {
  bool ok = false;
  std::string problem;  // when not ok: why, as a clause ("it is not an image", "it is cut short")
  std::string type;     // the file's type as the store names it: "jpg", "png", "webp" …
  std::int32_t width = 0;   // upright, as the camera's recorded orientation shows it
  std::int32_t height = 0;
};

class ImageInspector {
 public:
  virtual ~ImageInspector() = default;
  // Reads the image at path through (a scaled decode of the whole of it, so
  // a damaged or cut file is found) and says what it is.
  virtual ImageFacts inspect(const std::string& path) = 0;
};

}  // namespace glimra::collection
