// SPDX-License-Identifier: GPL-3.0-or-later
// PhotoSide: the main window's photos on Qt Widgets. It puts a PhotoPane
// into the window's photo frame and keeps it showing the first photo of the
// ornament on the form; takes photos from the desktop — files chosen in a
// dialog (several at once), files dropped on the form from a file manager,
// an image on the clipboard (stored as a PNG) — and opens the photo viewer.
//
// Every change is one of the main window's photo operations, and runs in
// the main window's own event loop: a drop or a button of the viewer queues
// the change and posts an event to the window (on PHOTOFRAME), which runs it
// in turn with every other command. Pictures come from a PhotoCache, made
// in background threads: the pane shows the placeholder until its picture
// is ready and never waits for a file.
//
// A pasted image is written to a folder of its own beside the cache's
// folder ("pasted-PID"), added, and removed; folders left by a program that was
// killed on the way are removed when the next PhotoSide is made.
#pragma once

#include <QMimeData>
#include <QObject>
#include <QPointer>
#include <QSize>
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "catalogue/display_glimra.h"
#include "catalogue/photo_windows.h"
#include "collection/photo_index.h"
#include "collection/qt/photo_cache.h"

namespace glimra::runtime {
class QtWindow;
}

namespace glimra::catalogue {

class PhotoPane;
class PhotoViewer;

class PhotoSide final : public QObject, public PhotoWindows {
  Q_OBJECT

 public:
  // Shows the photos of `display`'s collection; pictures from `cache`. Sets
  // itself as the display's photo windows and photo-change listener.
  PhotoSide(DisplayGlimra& display, collection::PhotoCache& cache);
  ~PhotoSide() override;

  // The size of the picture asked of the cache for the pane.
  static constexpr QSize PANE_PICTURE{480, 480};

  void windowOpened(runtime::Window& window) override;
  void formChanged() override;
  void addPhotosFromFiles() override;
  void pastePhoto() override;
  void viewPhotos() override;
  void runQueued() override;

  // Queues a change to run in the main window's loop (see above).
  void queue(std::function<void()> change);
  // Adds files (UTF-8 paths) to the ornament shown, as one operation, in the
  // main window's loop.
  void queueAdd(const QStringList& files);
  // Whether a drag carries local files to offer as photos.
  static QStringList localFiles(const QMimeData* data);

  DisplayGlimra& display() const { return display_; }
  collection::PhotoCache& cache() const { return cache_; }
  runtime::QtWindow* window() const { return window_; }
  PhotoPane* pane() const;
  PhotoViewer* viewer() const;
  // The photos of the ornament shown, as last read.
  const std::vector<collection::PhotoEntry>& photos() const { return photos_; }
  // The picture of a photo of the open collection fitted into box, or null
  // for now (pictureReady follows).
  QImage picture(const collection::PhotoEntry& photo, QSize box);
  // Moves the main list's selection by `step` rows, as a click on that row
  // does (an edit in the form is saved first, as for any row change).
  void moveSelection(int step);

 signals:
  // The ornament shown or its photos changed.
  void photosShown();
  void pictureReady(const QString& key);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void reload();
  void reloadSoon();
  void showPaneFor();
  void acceptDropsOn(QWidget* widget);
  QString pastedFolderParent() const;

  DisplayGlimra& display_;
  collection::PhotoCache& cache_;
  runtime::QtWindow* window_ = nullptr;
  QPointer<PhotoPane> pane_;
  QPointer<PhotoViewer> viewer_;
  std::deque<std::function<void()>> queued_;
  collection::OrnamentId shown_;
  std::string shownFile_;
  std::vector<collection::PhotoEntry> photos_;
  QString addFolder_;
  bool reloadWaits_ = false;  // where the add dialog starts
};

}  // namespace glimra::catalogue
