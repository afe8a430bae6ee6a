// SPDX-License-Identifier: GPL-3.0-or-later
// The print preview's devices on the real toolkit: the laid-out pages as page
// images of the preview window, printing through the system's print dialog,
// and the PDF file of Save as PDF.
#pragma once

#include <QPrinter>
#include <functional>
#include <memory>

#include "reports/page.h"
#include "reports/qt/page_painter.h"
#include "reports/print_preview.h"
#include "runtime/qt/qt_page_images.h"

namespace glimra::reports {

// The pages of a report as page images, each the whole sheet of the paper
// it is printed on, painted by the page painter. The pages must outlive the
// images' use (the preview window).
class ReportPageImages final : public runtime::QtPageImages {
 public:
  ReportPageImages(const PageList& pages, const Paper& paper) : pages_(pages), placement_(pages, paper) {}
  int count() const override { return static_cast<int>(pages_.pages.size()); }
  int pageWidth() const override { return static_cast<int>(placement_.paper().width + 0.5); }
  int pageHeight() const override { return static_cast<int>(placement_.paper().height + 0.5); }
  void paint(QPainter& painter, int page, const QRectF& target) const override;

 private:
  const PageList& pages_;
  PaperPlacement placement_;
};

// The pages of a report cut to the area their items reach on any page
// (with a small margin), each drawn there at one scale.
class CroppedPageImages final : public runtime::QtPageImages {
 public:
  explicit CroppedPageImages(const PageList& pages);
  int count() const override { return static_cast<int>(pages_.pages.size()); }
  int pageWidth() const override { return area_.w; }
  int pageHeight() const override { return area_.h; }
  void paint(QPainter& painter, int page, const QRectF& target) const override;

 private:
  const PageList& pages_;
  Rect area_;
};

// Prints pages from..to (1-based, inclusive) on a printer not yet begun: on
// the printer's paper each page stands unchanged from the paper's corner,
// scaled down only where it would leave the printable area. progress, when
// given, is told the number of pages printed so far and answers false to
// cancel, which aborts the job. Returns false when cancelled or when the
// printer could not be started.
bool printPages(QPrinter& printer, const PageList& pages, int from, int to,
                const std::function<bool(int printed)>& progress = {});

// The preview shows, and Save as PDF writes, the pages on `paper` (the
// locale's unless given); the print dialog starts at the printer's own paper.
class QtPreviewDevices final : public PreviewDevices {
 public:
  explicit QtPreviewDevices(const Paper& paper = localePaper()) : paper_(paper) {}
  std::shared_ptr<const runtime::PageImages> images(const PageList& pages) override;
  std::shared_ptr<const runtime::PageImages> croppedImages(const PageList& pages) override;
  // The system's print dialog (printer, page range, copies, print to a PDF
  // file), then the pages under a progress window with Cancel.
  void print(const ReportDescriptor& report, const PageList& pages) override;
  std::string savePdf(const PageList& pages, const std::string& path) override;

 private:
  Paper paper_;
};

}  // namespace glimra::reports
