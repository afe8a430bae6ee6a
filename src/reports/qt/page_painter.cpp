// SPDX-License-Identifier: GPL-3.0-or-later
#include "reports/qt/page_painter.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QTemporaryFile>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdint>
#include <cstring>
#include <langinfo.h>
#include <sys/stat.h>

#include "reports/qt/qt_text_measure.h"

namespace glimra::reports {
namespace {

QColor qColour(const Colour& c) { return QColor(c.red, c.green, c.blue); }

constexpr double U = FONT_UNITS_PER_LAYOUT_UNIT;

QRectF scaled(const Rect& r) { return QRectF(r.x * U, r.y * U, r.w * U, r.h * U); }

}  // namespace

void paintPage(QPainter& painter, const PageList& pages, std::size_t index, const QRectF& target) {
  if (index >= pages.pages.size()) return;
  static const QtTextMeasure measure;
  const Page& page = pages.pages[index];
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::TextAntialiasing);
  painter.translate(target.topLeft());
  painter.scale(target.width() / (pages.pageWidth * U), target.height() / (pages.pageHeight * U));
  for (const PageItem& item : page.items) {
    const ItemStyle& style = pages.styles.at(item.style);
    switch (item.kind) {
      case ItemKind::Box: {
        const QRectF box = scaled(item.box);
        if (style.filled) painter.fillRect(box, qColour(style.fill));
        if (style.lineWidth > 0) {
          QPen pen(qColour(style.colour), style.lineWidth * U);
          pen.setJoinStyle(Qt::MiterJoin);
          painter.setPen(pen);
          painter.setBrush(Qt::NoBrush);
          painter.drawRect(box);
        }
        break;
      }
      case ItemKind::Line: {
        QPen pen(qColour(style.colour), std::max(1, style.lineWidth) * U);
        pen.setCapStyle(Qt::FlatCap);
        painter.setPen(pen);
        const QRectF r = scaled(item.box);
        painter.drawLine(r.topLeft(), r.bottomRight());
        break;
      }
      case ItemKind::Text: {
        const QString text = QString::fromUtf8(page.text.data() + item.textStart, item.textSize);
        const LineMetrics line = measure.line(style.font);
        Rect area = item.box;
        area.h = std::max(area.h, line.height);
        if (style.filled) painter.fillRect(scaled(item.box), qColour(style.fill));
        if (item.clipped) {
          painter.save();
          painter.setClipRect(scaled(area), Qt::IntersectClip);
        }
        painter.setFont(QtTextMeasure::qFont(style.font));
        painter.setPen(qColour(style.colour));
        painter.drawText(QPointF(item.textX * U, (item.box.y + line.ascent) * U), text);
        if (item.clipped) painter.restore();
        break;
      }
    }
  }
  painter.restore();
}

Paper localePaper() {
  Paper paper;
  QSizeF millimetres;
#ifdef __GLIBC__
  // The locale's paper in whole millimetres (216 x 279 for Letter).
  const auto width = static_cast<int>(reinterpret_cast<std::intptr_t>(nl_langinfo(_NL_PAPER_WIDTH)));
  const auto height = static_cast<int>(reinterpret_cast<std::intptr_t>(nl_langinfo(_NL_PAPER_HEIGHT)));
  if (width > 50 && height > 50 && width < 2000 && height < 2000) millimetres = QSizeF(width, height);
#endif
  const QPageSize size = millimetres.isValid()
                             ? QPageSize(millimetres, QPageSize::Millimeter, QString(), QPageSize::FuzzyMatch)
                             : QPageSize(QLocale::system().measurementSystem() == QLocale::ImperialUSSystem
                                             ? QPageSize::Letter
                                             : QPageSize::A4);
  const QSizeF inches = size.size(QPageSize::Inch);
  paper.width = inches.width() * 1000;
  paper.height = inches.height() * 1000;
  return paper;
}

PaperPlacement::PaperPlacement(const PageList& pages, const Paper& paper) : paper_(paper) {
  // How far right and down the items reach on any page.
  const Rect reach = pages.itemsExtent();
  const double right = reach.x + reach.w, bottom = reach.y + reach.h;
  const double printableRight = paper.width - paper.unprintable.right();
  const double printableBottom = paper.height - paper.unprintable.bottom();
  if (right > 0) scale_ = std::min(scale_, printableRight / right);
  if (bottom > 0) scale_ = std::min(scale_, printableBottom / bottom);
  scale_ = std::max(scale_, 0.01);
}

void PaperPlacement::paint(QPainter& painter, const PageList& pages, std::size_t index,
                           const QRectF& paperTarget) const {
  const double perWidth = paperTarget.width() / paper_.width;
  const double perHeight = paperTarget.height() / paper_.height;
  paintPage(painter, pages, index,
            QRectF(paperTarget.topLeft(),
                   QSizeF(pages.pageWidth * scale_ * perWidth, pages.pageHeight * scale_ * perHeight)));
}

QImage renderPage(const PageList& pages, std::size_t index, int dotsPerInch) {
  const int width = pages.pageWidth * dotsPerInch / 1000;
  const int height = pages.pageHeight * dotsPerInch / 1000;
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(Qt::white);
  const int dotsPerMetre = static_cast<int>(dotsPerInch / 0.0254 + 0.5);
  image.setDotsPerMeterX(dotsPerMetre);
  image.setDotsPerMeterY(dotsPerMetre);
  QPainter painter(&image);
  paintPage(painter, pages, index, QRectF(0, 0, width, height));
  return image;
}

std::string writePdf(const PageList& pages, const std::string& path,
                     const std::function<void(std::size_t)>& progress, const Paper& paper) {
  const QString target = QString::fromStdString(path);
  const QFileInfo info(target);
  if (info.isDir()) return path + " is a folder: name a file to write the PDF to.";
  QTemporaryFile temporary(info.absoluteDir().filePath(info.fileName() + ".XXXXXX"));
  temporary.setAutoRemove(true);
  if (!temporary.open())
    return "cannot write in " + info.absolutePath().toStdString() + ": " + temporary.errorString().toStdString();
  temporary.close();
  constexpr int RESOLUTION = 1200;
  {
    QPdfWriter writer(temporary.fileName());
    writer.setCreator(QStringLiteral("Glimra"));
    writer.setTitle(QStringLiteral("Glimra report"));
    writer.setResolution(RESOLUTION);
    // A named size where the paper is one (the PDF viewer then says "A4").
    writer.setPageLayout(QPageLayout(
        QPageSize(QSizeF(paper.width / 1000.0, paper.height / 1000.0), QPageSize::Inch, QString(),
                  QPageSize::FuzzyMatch),
        QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
    QPainter painter;
    if (!painter.begin(&writer)) return "cannot write " + path + ": the PDF could not be started";
    const PaperPlacement placement(pages, paper);
    const QRectF sheet(0, 0, paper.width * RESOLUTION / 1000.0, paper.height * RESOLUTION / 1000.0);
    for (std::size_t i = 0; i < pages.pages.size(); ++i) {
      if (i > 0 && !writer.newPage()) return "cannot write " + path + ": a new page could not be started";
      placement.paint(painter, pages, i, sheet);
      if (progress) progress(i + 1);
    }
    if (!painter.end()) return "cannot write " + path + ": the PDF could not be completed";
  }
  if (QFileInfo(temporary.fileName()).size() == 0) return "cannot write " + path + ": the disk may be full";
  // A temporary file is private to its owner; the PDF gets the permissions
  // any new file of the user gets.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  ::chmod(temporary.fileName().toLocal8Bit().constData(), 0666 & ~mask);
  // Replaces an existing file in one step.
  if (std::rename(temporary.fileName().toLocal8Bit().constData(), path.c_str()) != 0)
    return "cannot write " + path + ": " + std::strerror(errno);
  temporary.setAutoRemove(false);
  return {};
}

}  // namespace glimra::reports
