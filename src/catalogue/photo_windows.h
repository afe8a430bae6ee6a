// SPDX-License-Identifier: GPL-3.0-or-later
// PhotoWindows: what shows photos on the screen for the main window — the
// picture beside the form, the photo viewer, and what takes photos from the
// desktop (a file dialog that picks several files, the clipboard, files
// dropped on the form). The windowed program gives one built on its image
// library (catalogue/qt/photo_side.h); without one the main window offers
// no photo commands and declares no picture beside the form.
//
// The photo operations themselves are DisplayGlimra's (photos.cpp): an
// implementation only chooses what to add or change and calls them, so every
// change is one entry of the main window's undo history.
#pragma once

namespace glimra::runtime {
class Window;
}

namespace glimra::catalogue {

class PhotoWindows {
 public:
  virtual ~PhotoWindows() = default;
  // The main window is open (its photo frame declared, PHOTOFRAME).
  virtual void windowOpened(runtime::Window& window) = 0;
  // The form shows another ornament, none, or the same one again.
  virtual void formChanged() = 0;
  // Ornament › Add Photos...: image files chosen in a dialog, several at once.
  virtual void addPhotosFromFiles() = 0;
  // Ornament › Paste Photo: the clipboard's image, stored as a PNG file.
  virtual void pastePhoto() = 0;
  // Ornament › View Photos... (and a click on the picture): the viewer.
  virtual void viewPhotos() = 0;
  // Runs the changes the photo side queued (it posts PHOTOFRAME Accepted
  // after each), in the main window's loop.
  virtual void runQueued() = 0;
};

}  // namespace glimra::catalogue
