// SPDX-License-Identifier: GPL-3.0-or-later
// Photos through Qt's image readers: the inspector takes the formats photos
// come in and refuses, with the reason, what is no photo or is cut short; the
// camera's recorded orientation is honoured; a picture is decoded scaled to
// the size asked for; and the cache makes pictures in the background,
// answers from memory afterwards and keeps them on disk.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QFile>
#include <QCoreApplication>
#include <QImageWriter>
#include <QSignalSpy>

#include "collection/qt/photo_cache.h"
#include "collection/qt/photo_images_qt.h"
#include "datafile/temp_dir.h"

namespace {

using namespace glimra::collection;
using glimra::datafile::testing::TempDir;

QCoreApplication& application() {
  static int argc = 1;
  static char name[] = "photo-tests";
  static char* argv[] = {name, nullptr};
  static QCoreApplication app(argc, argv);  // the image plugins, no screen needed
  return app;
}

// A picture wider than high, red on the left half, so a turn shows.
QImage landscape(int width = 400, int height = 200) {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(Qt::blue);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width / 2; ++x) image.setPixel(x, y, qRgb(255, 0, 0));
  return image;
}

std::string save(const TempDir& dir, const char* name, const QImage& image, const char* format,
                 QImageIOHandler::Transformations turn = QImageIOHandler::TransformationNone) {
  const std::string path = dir.file(name);
  QImageWriter writer(QString::fromStdString(path), format);
  writer.setTransformation(turn);
  EXPECT_TRUE(writer.write(image)) << writer.errorString().toStdString();
  return path;
}

TEST(PhotoImages, TakesPhotoFormatsAndRefusesWhatIsNoPhotoOrIsCutShort) {
  application();
  TempDir dir;
  const std::string jpeg = save(dir, "a.jpg", landscape(), "jpeg");
  QFile cut(QString::fromStdString(dir.file("cut.jpg")));
  QFile whole(QString::fromStdString(jpeg));
  ASSERT_TRUE(whole.open(QIODevice::ReadOnly) && cut.open(QIODevice::WriteOnly));
  const QByteArray bytes = whole.readAll();
  cut.write(bytes.left(bytes.size() * 2 / 3));
  cut.close();
  QFile text(QString::fromStdString(dir.file("notes.jpg")));
  ASSERT_TRUE(text.open(QIODevice::WriteOnly));
  text.write("shopping list\n");
  text.close();
  const struct {
    std::string path;
    bool ok;
    std::string type, problem;
  } cases[] = {
      {jpeg, true, "jpg", ""},
      {save(dir, "a.png", landscape(), "png"), true, "png", ""},
      {save(dir, "a.webp", landscape(), "webp"), true, "webp", ""},
      {dir.file("cut.jpg"), false, "", "cut short"},
      {dir.file("notes.jpg"), false, "", "not a photo in a format Glimra takes"},
      {save(dir, "a.svg.png", landscape(8000, 8000), "png"), false, "", "a png photo may have at most 60"},
  };
  QtImageInspector inspector;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    const ImageFacts facts = inspector.inspect(c.path);
    EXPECT_EQ(facts.ok, c.ok) << facts.problem;
    EXPECT_EQ(facts.type, c.type);
    EXPECT_NE(facts.problem.find(c.problem), std::string::npos) << facts.problem;
    if (c.ok) EXPECT_EQ(std::pair(facts.width, facts.height), std::pair(400, 200));
  }
}

TEST(PhotoImages, TheCamerasOrientationIsHonouredAndPicturesAreDecodedScaled) {
  application();
  TempDir dir;
  // Stored on its side, with the orientation that says "turn it right".
  const std::string turned = save(dir, "turned.jpg", landscape(), "jpeg", QImageIOHandler::TransformationRotate90);
  QtImageInspector inspector;
  const ImageFacts facts = inspector.inspect(turned);
  ASSERT_TRUE(facts.ok) << facts.problem;
  EXPECT_EQ(std::pair(facts.width, facts.height), std::pair(200, 400)) << "upright, as the camera said";

  const DecodedPhoto upright = decodePhoto(QString::fromStdString(turned), 0, QSize(50, 50));
  ASSERT_FALSE(upright.image.isNull()) << upright.problem.toStdString();
  EXPECT_EQ(upright.image.size(), QSize(25, 50)) << "fitted into the box, upright";
  EXPECT_GT(qRed(upright.image.pixel(12, 5)), 200) << "the left half came to the top";

  // A display rotation of a quarter turn more, and a box larger than the photo.
  const DecodedPhoto shown = decodePhoto(QString::fromStdString(turned), 1, QSize(1000, 1000));
  EXPECT_EQ(shown.image.size(), QSize(400, 200)) << "never enlarged";
}

TEST(PhotoImages, TheCacheMakesPicturesInTheBackgroundAndKeepsThem) {
  application();
  TempDir dir;
  const std::string original = save(dir, "a.jpg", landscape(), "jpeg");
  PhotoEntry photo;
  photo.hash = std::string(64, 'a');
  photo.type = "jpg";
  const QString folder = QString::fromStdString(dir.file("cache"));
  {
    PhotoCache cache(folder);
    QSignalSpy ready(&cache, &PhotoCache::ready);
    EXPECT_TRUE(cache.request(photo, QString::fromStdString(original), QSize(100, 100)).isNull())
        << "not made yet: the caller does not wait";
    EXPECT_TRUE(cache.request(photo, QString::fromStdString(original), QSize(100, 100)).isNull());
    cache.waitForPending();
    ASSERT_EQ(ready.count(), 1) << "asked twice, made once";
    EXPECT_EQ(ready.at(0).at(1).value<QImage>().size(), QSize(100, 50));
    EXPECT_EQ(cache.request(photo, QString::fromStdString(original), QSize(100, 100)).size(), QSize(100, 50))
        << "from memory at once";
  }
  // A new cache (a new start of the program) reads it back from disk, even
  // with the original gone.
  QFile::remove(QString::fromStdString(original));
  PhotoCache again(folder);
  QSignalSpy ready(&again, &PhotoCache::ready);
  again.request(photo, QString::fromStdString(original), QSize(100, 100));
  again.waitForPending();
  ASSERT_EQ(ready.count(), 1);
  EXPECT_EQ(ready.at(0).at(1).value<QImage>().size(), QSize(100, 50));
}

}  // namespace
