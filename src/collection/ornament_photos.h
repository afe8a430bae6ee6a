// SPDX-License-Identifier: GPL-3.0-or-later
// Taking photo files into a collection, for the program and glimra-file
// alike: every file checked first (its size, then the image inspector), all
// or none, then each stored (photo_store.h); only then may the caller write
// the index entries that refer to them (photo_index.h), in one transaction.
#pragma once

#include <string>
#include <vector>

#include "collection/photo_images.h"
#include "collection/photo_index.h"
#include "collection/photo_store.h"

namespace glimra::collection {

struct PhotoIntake {
  bool ok = false;
  std::string error;                // when not ok: a message naming the file, for the user
  std::vector<PhotoEntry> photos;   // when ok: one per file, in the order given, stored
};

// Checks every file, then stores each. A refused file stops it before
// anything is stored; a failure while storing leaves the files stored so far
// in the store, unreferenced (a pack moves them aside). New entries have the
// role Other, no caption, no rotation and today's stamp.
PhotoIntake takeInPhotos(PhotoStore& store, ImageInspector& images, const std::vector<std::string>& paths);

// The ornament's photos with `added` at the end; when it had none, the first
// one added shows its front.
std::vector<PhotoEntry> withPhotosAdded(std::vector<PhotoEntry> photos, const std::vector<PhotoEntry>& added);

// Moves the photo at `from` to `to` (0-based positions); false when either
// is out of range.
bool movePhoto(std::vector<PhotoEntry>& photos, std::size_t from, std::size_t to);

}  // namespace glimra::collection
