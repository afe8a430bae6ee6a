#include "reports/qt/print_output.h"

#include <QApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <algorithm>

#include "reports/qt/page_painter.h"

namespace glimra::reports {

void PrintDialogOutput::present(const ReportDescriptor& report, const PageList& pages) {
  if (pages.pages.empty()) return;
  QPrinter printer(QPrinter::HighResolution);
  printer.setDocName(QStringLiteral("Glimra - ") + QString::fromUtf8(report.subtitle));
  printer.setPageSize(QPageSize(QSizeF(pages.pageWidth / 1000.0, pages.pageHeight / 1000.0), QPageSize::Inch,
                                QString(), QPageSize::FuzzyMatch));
  printer.setFullPage(true);
  const int last = static_cast<int>(pages.pages.size());
  QPrintDialog dialog(&printer, QApplication::activeWindow());
  dialog.setWindowTitle(QStringLiteral("Print Report"));
  dialog.setMinMax(1, last);
  dialog.setOption(QAbstractPrintDialog::PrintPageRange);
  if (dialog.exec() != QDialog::Accepted) return;

  int from = 1, to = last;
  if (printer.printRange() == QPrinter::PageRange && printer.fromPage() > 0) {
    from = std::clamp(printer.fromPage(), 1, last);
    to = std::clamp(printer.toPage(), from, last);
  }
  QPainter painter;
  if (!painter.begin(&printer)) return;
  // The layout's page on the paper at the printer's resolution: positions
  // are from the paper's top-left corner.
  const double dotsPerInch = printer.resolution();
  const QRectF page(0, 0, pages.pageWidth * dotsPerInch / 1000.0, pages.pageHeight * dotsPerInch / 1000.0);
  for (int number = from; number <= to; ++number) {
    if (number > from) printer.newPage();
    paintPage(painter, pages, static_cast<std::size_t>(number - 1), page);
  }
  painter.end();
}

}  // namespace glimra::reports
