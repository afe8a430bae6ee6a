// SPDX-License-Identifier: GPL-3.0-or-later
// The Ornament menu's photo commands — Add Photos..., Paste Photo, View
// Photos... — offered while the photos of the ornament shown can be changed
// (a stored ornament is shown: not during an addition, not on an empty
// form). The photo side chooses what to add and shows the pictures; the
// changes go through the operations of photos.cpp.
#include "catalogue/display_glimra.h"
#include "catalogue/main_window_controls.h"

namespace glimra::catalogue {

using runtime::EventKind;
using namespace control;

bool DisplayGlimra::photoCommand(const runtime::Event& event) {
  if (!photoWindows || event.kind != EventKind::Accepted) return false;
  switch (event.control) {
    case GLMADDPHOTOS:
      if (photosOffered()) photoWindows->addPhotosFromFiles();
      return true;
    case GLMPASTEPHOTO:
      if (photosOffered()) photoWindows->pastePhoto();
      return true;
    case GLMVIEWPHOTOS:
      if (photosOffered()) photoWindows->viewPhotos();
      return true;
    case PHOTOFRAME:
      photoWindows->runQueued();
      return true;
    default:
      return false;
  }
}

void DisplayGlimra::offerPhotoCommands() {
  if (!photoWindows) return;
  if (photosOffered())
    window_->enable(GLMADDPHOTOS, GLMVIEWPHOTOS);
  else
    window_->disable(GLMADDPHOTOS, GLMVIEWPHOTOS);
  photoWindows->formChanged();
}

}  // namespace glimra::catalogue
