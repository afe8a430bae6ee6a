// SPDX-License-Identifier: GPL-3.0-or-later
// PhotoViewer: the window with every photo of the ornament on the main
// window's form — a strip of thumbnails and one large picture (fitted to the
// window, at 100 %, or zoomed with the wheel), the previous and next photo
// and ornament, and the changes: add, remove, move left or right, make
// first, role, caption, rotate by a quarter turn (for display: the original
// is never touched), and the original opened in the desktop's own viewer.
//
// It follows the main window: choosing another ornament there (or here,
// with previous/next ornament, which moves the list's selection as a click
// does) shows that ornament's photos. Every change is one of the main
// window's photo operations, queued through the PhotoSide, so each is one
// entry of the main window's undo history and Undo there takes it back.
#pragma once

#include <QImage>
#include <QWidget>

#include "collection/ornament_identity.h"

namespace glimra::catalogue {

class PhotoSide;

// The large picture: fitted into the widget, or drawn at `zoom` (display
// pixels per pixel of the original) inside the scroll area that holds it.
class PhotoCanvas final : public QWidget {
  Q_OBJECT

 public:
  explicit PhotoCanvas(QWidget* parent = nullptr);
  // `image` is the photo (perhaps a smaller copy); `original` its upright
  // size as shown, in the original's pixels.
  void setPicture(const QImage& image, QSize original);
  void fit();
  void setZoom(double zoom);
  bool fitted() const { return zoom_ <= 0; }
  double zoom() const;  // the zoom shown, also when fitted
  QSize sizeHint() const override;

 signals:
  void zoomChanged();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;

 private:
  void resizeToZoom();
  QImage image_;
  QSize original_;
  double zoom_ = 0;  // 0: fitted
};

class PhotoViewer final : public QWidget {
  Q_OBJECT

 public:
  static constexpr const char* TITLE = "Photos";

  // A window of its own owned by `parent`, the main window: the main window
  // takes no input while another window is modal, and a window it owns is
  // not blocked by it.
  PhotoViewer(PhotoSide& side, QWidget* parent);
  ~PhotoViewer() override;

  // Shows the photos of the ornament on the form, keeping the chosen photo
  // where it still exists.
  void showOrnament();
  int current() const { return current_; }
  void choose(int index);

 private:
  struct Controls;
  void showCurrent();
  void fillStrip();
  void refreshThumbnail(const QString& key);
  void enableControls();

  PhotoSide& side_;
  Controls* c_;
  int current_ = 0;
  collection::OrnamentId shown_;  // another ornament starts at its first photo
};

}  // namespace glimra::catalogue
