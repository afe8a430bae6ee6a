// SPDX-License-Identifier: GPL-3.0-or-later
// The cache of pictures made from photos: thumbnails and display copies of
// any size, made in background threads, kept in memory (up to a budget) and
// on disk under $XDG_CACHE_HOME/glimra/photos (else ~/.cache/glimra/photos),
// keyed by the photo's content hash, its display rotation and the size asked
// for. Everything in it can be made again from the originals at any time: it
// is never the only copy of anything, and deleting the folder only costs the
// time to make the pictures again.
//
// request() never blocks on a file: it answers at once from memory, or
// returns a null image and emits ready() (or failed()) later, on the cache's
// own thread, when the picture is made. Asking again for a picture that is
// being made adds no second job. A picture on disk is written under a
// temporary name and renamed; temporaries left by a killed program are
// removed when a cache is made.
#pragma once

#include <QCache>
#include <QImage>
#include <QObject>
#include <QSet>
#include <QSize>
#include <QString>
#include <QThreadPool>

#include "collection/photo_index.h"

namespace glimra::collection {

class PhotoCache : public QObject {
  Q_OBJECT

 public:
  // The cache's folder; memoryBytes bounds the pictures kept in memory.
  explicit PhotoCache(QString folder = defaultFolder(), qint64 memoryBytes = 96ll << 20, QObject* parent = nullptr);
  ~PhotoCache() override;

  static QString defaultFolder();
  const QString& folder() const { return folder_; }

  // The key of the picture of `photo` fitted into `box`.
  static QString keyOf(const PhotoEntry& photo, QSize box);

  // The picture of the photo whose original is at originalPath, upright,
  // turned by its rotation and fitted into box (never enlarged). From memory
  // at once, else null now and ready(key, image) later.
  QImage request(const PhotoEntry& photo, const QString& originalPath, QSize box);

  // Waits until every picture asked for is made (tests and benchmarks).
  void waitForPending();

 signals:
  void ready(const QString& key, const QImage& image);
  void failed(const QString& key, const QString& problem);

 private:
  void finished(const QString& key, const QImage& image, const QString& problem);

  QString folder_;
  QCache<QString, QImage> memory_;
  QSet<QString> pending_;
  QThreadPool pool_;
};

}  // namespace glimra::collection
