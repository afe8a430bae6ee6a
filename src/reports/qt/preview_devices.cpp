// SPDX-License-Identifier: GPL-3.0-or-later
#include "reports/qt/preview_devices.h"

#include <QApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrintDialog>
#include <QProgressDialog>
#include <algorithm>

#include "reports/qt/page_painter.h"

namespace glimra::reports {

void ReportPageImages::paint(QPainter& painter, int page, const QRectF& target) const {
  if (page >= 1 && page <= count()) paintPage(painter, pages_, static_cast<std::size_t>(page - 1), target);
}

bool printPages(QPrinter& printer, const PageList& pages, int from, int to,
                const std::function<bool(int)>& progress) {
  const int last = static_cast<int>(pages.pages.size());
  from = std::clamp(from, 1, std::max(last, 1));
  to = std::clamp(to, from, std::max(last, 1));
  if (last == 0) return true;
  // The printable area in device pixels; the painter starts at its corner.
  printer.setFullPage(false);
  const QRectF printable(QPointF(0, 0), printer.pageRect(QPrinter::DevicePixel).size());
  const double scale = std::min(printable.width() / pages.pageWidth, printable.height() / pages.pageHeight);
  const QSizeF size(pages.pageWidth * scale, pages.pageHeight * scale);
  const QRectF target((printable.width() - size.width()) / 2, 0, size.width(), size.height());
  QPainter painter;
  if (!painter.begin(&printer)) return false;
  for (int number = from; number <= to; ++number) {
    if (number > from && !printer.newPage()) {
      painter.end();
      return false;
    }
    paintPage(painter, pages, static_cast<std::size_t>(number - 1), target);
    if (progress && !progress(number - from + 1)) {
      printer.abort();
      painter.end();
      return false;
    }
  }
  return painter.end();
}

std::shared_ptr<const runtime::PageImages> QtPreviewDevices::images(const PageList& pages) {
  return std::make_shared<ReportPageImages>(pages);
}

void QtPreviewDevices::print(const ReportDescriptor& report, const PageList& pages) {
  if (pages.pages.empty()) return;
  QPrinter printer(QPrinter::HighResolution);
  printer.setDocName(QStringLiteral("Glimra - ") + QString::fromUtf8(report.subtitle));
  printer.setPageSize(QPageSize(QSizeF(pages.pageWidth / 1000.0, pages.pageHeight / 1000.0), QPageSize::Inch,
                                QString(), QPageSize::FuzzyMatch));
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

std::string QtPreviewDevices::savePdf(const PageList& pages, const std::string& path) {
  return writePdf(pages, path);
}

}  // namespace glimra::reports
