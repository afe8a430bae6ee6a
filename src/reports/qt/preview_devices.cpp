// SPDX-License-Identifier: GPL-3.0-or-later
#include "reports/qt/preview_devices.h"

#include <QApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinterInfo>
#include <QProgressDialog>
#include <algorithm>

#include "reports/qt/page_painter.h"

namespace glimra::reports {

void ReportPageImages::paint(QPainter& painter, int page, const QRectF& target) const {
  if (page >= 1 && page <= count()) placement_.paint(painter, pages_, static_cast<std::size_t>(page - 1), target);
}

CroppedPageImages::CroppedPageImages(const PageList& pages) : pages_(pages) {
  constexpr std::int32_t MARGIN = 100;
  const Rect reach = pages.itemsExtent();
  area_ = reach.w > 0 && reach.h > 0
              ? Rect{reach.x - MARGIN, reach.y - MARGIN, reach.w + 2 * MARGIN, reach.h + 2 * MARGIN}
              : Rect{0, 0, pages.pageWidth, pages.pageHeight};
}

void CroppedPageImages::paint(QPainter& painter, int page, const QRectF& target) const {
  if (page < 1 || page > count()) return;
  const double perUnit = target.width() / area_.w;
  painter.save();
  painter.setClipRect(target, Qt::IntersectClip);
  paintPage(painter, pages_, static_cast<std::size_t>(page - 1),
            QRectF(target.x() - area_.x * perUnit, target.y() - area_.y * perUnit, pages_.pageWidth * perUnit,
                   pages_.pageHeight * perUnit));
  painter.restore();
}

bool printPages(QPrinter& printer, const PageList& pages, int from, int to,
                const std::function<bool(int)>& progress) {
  const int last = static_cast<int>(pages.pages.size());
  from = std::clamp(from, 1, std::max(last, 1));
  to = std::clamp(to, from, std::max(last, 1));
  if (last == 0) return true;
  // The painter starts at the paper's corner; the printer's margins are what
  // the pages must stay inside of.
  printer.setFullPage(true);
  const QPageLayout layout = printer.pageLayout();
  const QSizeF inches = layout.fullRect(QPageLayout::Inch).size();
  const QMarginsF margins = layout.margins(QPageLayout::Inch);
  const Paper paper{inches.width() * 1000, inches.height() * 1000,
                    QMarginsF(margins.left() * 1000, margins.top() * 1000, margins.right() * 1000,
                              margins.bottom() * 1000)};
  const PaperPlacement placement(pages, paper);
  const QRectF target(QPointF(0, 0), printer.paperRect(QPrinter::DevicePixel).size());
  QPainter painter;
  if (!painter.begin(&printer)) return false;
  for (int number = from; number <= to; ++number) {
    if (number > from && !printer.newPage()) {
      painter.end();
      return false;
    }
    placement.paint(painter, pages, static_cast<std::size_t>(number - 1), target);
    if (progress && !progress(number - from + 1)) {
      printer.abort();
      painter.end();
      return false;
    }
  }
  return painter.end();
}

std::shared_ptr<const runtime::PageImages> QtPreviewDevices::images(const PageList& pages) {
  return std::make_shared<ReportPageImages>(pages, paper_);
}

void QtPreviewDevices::print(const ReportDescriptor& report, const PageList& pages) {
  if (pages.pages.empty()) return;
  QPrinter printer(QPrinter::HighResolution);
  printer.setDocName(QStringLiteral("Glimra - ") + QString::fromUtf8(report.subtitle));
  // The printer's own paper; without a printer (printing to a file) the
  // paper the preview shows.
  if (QPrinterInfo::defaultPrinter().isNull())
    printer.setPageSize(
        QPageSize(QSizeF(paper_.width / 1000.0, paper_.height / 1000.0), QPageSize::Inch, QString(), QPageSize::FuzzyMatch));
  const int last = static_cast<int>(pages.pages.size());
  QPrintDialog dialog(&printer, QApplication::activeWindow());
  dialog.setWindowTitle(QStringLiteral("Print Report"));
  dialog.setMinMax(1, last);
  dialog.setOption(QAbstractPrintDialog::PrintPageRange);
  if (dialog.exec() != QDialog::Accepted) return;

  int from = 1, to = last;
  if (printer.printRange() == QPrinter::PageRange && printer.fromPage() > 0) {
    from = printer.fromPage();
    to = printer.toPage();
  }
  QProgressDialog progress(QStringLiteral("Printing the report..."), QStringLiteral("Cancel"), 0,
                           std::max(to - from + 1, 1), QApplication::activeWindow());
  progress.setWindowTitle(QStringLiteral("Printing"));
  progress.setWindowModality(Qt::ApplicationModal);
  progress.setMinimumDuration(500);
  printPages(printer, pages, from, to, [&progress](int printed) {
    progress.setValue(printed);
    QApplication::processEvents();
    return !progress.wasCanceled();
  });
}

std::shared_ptr<const runtime::PageImages> QtPreviewDevices::croppedImages(const PageList& pages) {
  return std::make_shared<CroppedPageImages>(pages);
}

std::string QtPreviewDevices::savePdf(const PageList& pages, const std::string& path) {
  return writePdf(pages, path, {}, paper_);
}

}  // namespace glimra::reports
