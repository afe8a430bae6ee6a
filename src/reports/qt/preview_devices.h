// SPDX-License-Identifier: GPL-3.0-or-later
// The print preview's devices on the real toolkit: the laid-out pages as page
// images of the preview window, printing through the system's print dialog,
// and the PDF file of Save as PDF.
#pragma once

#include <QPrinter>
#include <functional>
#include <memory>

#include "reports/page.h"
#include "reports/print_preview.h"
#include "runtime/qt/qt_page_images.h"

namespace glimra::reports {

// The pages of a report as page images, painted by the page painter. The
// pages must outlive the images' use (the preview window).
class ReportPageImages final : public runtime::QtPageImages {
 public:
  explicit ReportPageImages(const PageList& pages) : pages_(pages) {}
  int count() const override { return static_cast<int>(pages_.pages.size()); }
  int pageWidth() const override { return pages_.pageWidth; }
  int pageHeight() const override { return pages_.pageHeight; }
  void paint(QPainter& painter, int page, const QRectF& target) const override;

 private:
  const PageList& pages_;
};

// Prints pages from..to (1-based, inclusive) on a printer not yet begun:
// each page fitted into the printer's printable area, its proportions kept,
// at the top and centred across. progress, when given, is told the number of
// pages printed so far and answers false to cancel, which aborts the job.
// Returns false when cancelled or when the printer could not be started.
bool printPages(QPrinter& printer, const PageList& pages, int from, int to,
                const std::function<bool(int printed)>& progress = {});

class QtPreviewDevices final : public PreviewDevices {
 public:
  std::shared_ptr<const runtime::PageImages> images(const PageList& pages) override;
  // The system's print dialog (printer, page range, copies, print to a PDF
  // file), then the pages under a progress window with Cancel.
  void print(const ReportDescriptor& report, const PageList& pages) override;
  std::string savePdf(const PageList& pages, const std::string& path) override;
};

}  // namespace glimra::reports
