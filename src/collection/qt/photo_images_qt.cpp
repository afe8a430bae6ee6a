// SPDX-License-Identifier: GPL-3.0-or-later
#include "collection/qt/photo_images_qt.h"

#include <QFile>
#include <QImageReader>
#include <QTransform>
#include <QtGlobal>

#include <mutex>

namespace glimra::collection {
namespace {

// The formats a photo may come in, as Qt names them, and the store's type.
struct TakenFormat {
  const char* format;
  const char* type;
  bool scaled;  // decodes scaled, so the larger pixel limit holds
};
constexpr TakenFormat TAKEN_FORMATS[] = {
    {"jpeg", "jpg", true}, {"jpg", "jpg", true},   {"png", "png", false}, {"webp", "webp", false},
    {"gif", "gif", false}, {"bmp", "bmp", false}, {"tiff", "tif", false}, {"tif", "tif", false},
};

const TakenFormat* takenFormat(const QByteArray& format) {
  for (const TakenFormat& f : TAKEN_FORMATS)
    if (format == f.format) return &f;
  return nullptr;
}

// Warnings the image plugins give while this thread decodes: a JPEG that
// is cut short decodes "successfully" with one of them.
thread_local QStringList* capturedWarnings = nullptr;
QtMessageHandler previousHandler = nullptr;

void captureImageWarnings(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (capturedWarnings && type == QtWarningMsg && context.category &&
      QByteArray(context.category).startsWith("qt.gui.imageio")) {
    capturedWarnings->append(message);
    return;
  }
  if (previousHandler) previousHandler(type, context, message);
}

class WarningCapture {
 public:
  WarningCapture() {
    static std::once_flag installed;
    std::call_once(installed, [] { previousHandler = qInstallMessageHandler(captureImageWarnings); });
    capturedWarnings = &warnings;
  }
  ~WarningCapture() { capturedWarnings = nullptr; }
  QStringList warnings;
};

QSize uprightSize(QImageReader& reader) {
  QSize size = reader.size();
  if (reader.transformation() & QImageIOHandler::TransformationRotate90) size.transpose();
  return size;
}

}  // namespace

QString qtPath(const std::string& path) { return QFile::decodeName(QByteArray::fromStdString(path)); }

DecodedPhoto decodePhoto(const QString& path, int rotation, QSize box) {
  DecodedPhoto decoded;
  QImageReader reader(path);
  reader.setAutoTransform(true);
  const QSize raw = reader.size();
  if (!reader.canRead() || !raw.isValid()) {
    decoded.problem = QStringLiteral("it is not an image");
    return decoded;
  }
  const bool turned = (rotation & 1) != 0;
  QSize shown = uprightSize(reader);
  if (turned) shown.transpose();
  if (box.isValid() && !box.isEmpty() && (shown.width() > box.width() || shown.height() > box.height())) {
    const QSize fitted = shown.scaled(box, Qt::KeepAspectRatio);
    // The reader scales before it applies the camera's orientation.
    const double factor = double(fitted.width()) / shown.width();
    reader.setScaledSize(QSize(qMax(1, qRound(raw.width() * factor)), qMax(1, qRound(raw.height() * factor))));
  }
  WarningCapture capture;
  QImage image = reader.read();
  if (image.isNull()) {
    decoded.problem = QStringLiteral("it cannot be read as an image (%1)").arg(reader.errorString());
    return decoded;
  }
  if (!capture.warnings.isEmpty()) {
    decoded.problem = QStringLiteral("it is damaged or cut short (%1)").arg(capture.warnings.first());
    return decoded;
  }
  if (rotation & 3) image = image.transformed(QTransform().rotate(90.0 * (rotation & 3)));
  decoded.image = std::move(image);
  return decoded;
}

ImageFacts QtImageInspector::inspect(const std::string& path) {
  ImageFacts facts;
  const QString file = qtPath(path);
  QImageReader reader(file);
  reader.setAutoTransform(true);
  const TakenFormat* format = takenFormat(reader.format());
  if (!reader.canRead() || !format) {
    facts.problem = "it is not a photo in a format Glimra takes (JPEG, PNG, WebP, GIF, BMP or TIFF)";
    return facts;
  }
  const QSize size = uprightSize(reader);
  if (!size.isValid() || size.isEmpty()) {
    facts.problem = "it is not an image (it has no size)";
    return facts;
  }
  const std::uint64_t pixels = std::uint64_t(size.width()) * std::uint64_t(size.height());
  const std::uint64_t limit = format->scaled ? PHOTO_MAX_PIXELS : PHOTO_MAX_PIXELS_WHOLE;
  if (pixels > limit) {
    facts.problem = "it has " + std::to_string(pixels / 1'000'000) + " megapixels; a " +
                    std::string(format->type) + " photo may have at most " + std::to_string(limit / 1'000'000);
    return facts;
  }
  // The whole file is decoded (scaled where the format allows), so a damaged
  // or cut-short file is found now, not when it is first shown.
  const DecodedPhoto decoded = decodePhoto(file, 0, QSize(256, 256));
  if (decoded.image.isNull()) {
    facts.problem = decoded.problem.toStdString();
    return facts;
  }
  facts.ok = true;
  facts.type = format->type;
  facts.width = size.width();
  facts.height = size.height();
  return facts;
}

}  // namespace glimra::collection
