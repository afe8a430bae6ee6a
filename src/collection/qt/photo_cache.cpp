// SPDX-License-Identifier: GPL-3.0-or-later
#include "collection/qt/photo_cache.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImageReader>
#include <QMetaObject>
#include <QPointer>
#include <QStandardPaths>

#include "collection/qt/photo_images_qt.h"

namespace glimra::collection {
namespace {

const char* const PART = ".part-";

QString pictureFile(const QString& folder, const QString& key) { return folder + QLatin1Char('/') + key + ".jpg"; }

}  // namespace

PhotoCache::PhotoCache(QString folder, qint64 memoryBytes, QObject* parent)
    : QObject(parent), folder_(std::move(folder)) {
  memory_.setMaxCost(static_cast<qsizetype>(qMax<qint64>(1, memoryBytes >> 10)));  // in KiB
  pool_.setMaxThreadCount(qMax(1, QThread::idealThreadCount() - 1));
  QDir().mkpath(folder_);
  // Pictures a killed program was writing.
  QDirIterator it(folder_, QDir::Files);
  while (it.hasNext()) {
    const QString path = it.next();
    if (path.contains(QLatin1String(PART))) QFile::remove(path);
  }
}

PhotoCache::~PhotoCache() {
  pool_.clear();
  pool_.waitForDone();
}

QString PhotoCache::defaultFolder() {
  const QByteArray xdg = qgetenv("XDG_CACHE_HOME");
  const QString base = !xdg.isEmpty() && xdg.startsWith('/') ? QString::fromLocal8Bit(xdg)
                                                             : QDir::homePath() + QStringLiteral("/.cache");
  return base + QStringLiteral("/glimra/photos");
}

QString PhotoCache::keyOf(const PhotoEntry& photo, QSize box) {
  return QString::fromStdString(photo.hash) + QStringLiteral("-r%1-%2x%3").arg(photo.rotation & 3).arg(box.width()).arg(box.height());
}

QImage PhotoCache::request(const PhotoEntry& photo, const QString& originalPath, QSize box) {
  const QString key = keyOf(photo, box);
  if (const QImage* kept = memory_.object(key)) return *kept;
  if (pending_.contains(key)) return {};
  pending_.insert(key);
  const QString file = pictureFile(folder_, key);
  const int rotation = photo.rotation;
  QPointer<PhotoCache> self(this);
  pool_.start([self, key, file, originalPath, rotation, box] {
    QImage image;
    QString problem;
    // A picture made before is read back; else it is made from the original
    // and kept on disk for the next time.
    if (QFile::exists(file)) image = QImage(file);
    if (image.isNull()) {
      const DecodedPhoto decoded = decodePhoto(originalPath, rotation, box);
      image = decoded.image;
      problem = decoded.problem;
      if (!image.isNull()) {
        const QString part = file + QLatin1String(PART) + QString::number(QCoreApplication::applicationPid());
        if (!image.save(part, "JPEG", 88) || !QFile::rename(part, file)) QFile::remove(part);
      }
    }
    QMetaObject::invokeMethod(
        self.data(), [self, key, image, problem] { if (self) self->finished(key, image, problem); }, Qt::QueuedConnection);
  });
  return {};
}

void PhotoCache::finished(const QString& key, const QImage& image, const QString& problem) {
  pending_.remove(key);
  if (image.isNull()) {
    emit failed(key, problem);
    return;
  }
  memory_.insert(key, new QImage(image), static_cast<qsizetype>(qMax<qint64>(1, image.sizeInBytes() >> 10)));
  emit ready(key, image);
}

void PhotoCache::waitForPending() {
  while (!pending_.isEmpty()) {
    pool_.waitForDone();
    QCoreApplication::sendPostedEvents(this);
  }
}

}  // namespace glimra::collection
