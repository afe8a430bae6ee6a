// SPDX-License-Identifier: GPL-3.0-or-later
// The page painter: draws one laid-out report page on any paint device (a
// preview image, a thumbnail, a printer, a PDF), and the two outputs built on
// it that need no window: a page image and a vector PDF file.
//
// The page is scaled uniformly into the target rectangle (device coordinates);
// every item keeps the place, the cut and the line breaks it was laid out
// with. Text stays text on vector devices.
//
// Pages are laid out on Letter paper. On the paper a report is printed on
// (the printer's, or the one of the user's locale for a PDF: A4 in most of
// the world, Letter where it is the custom) each page stands unchanged at its
// place from the paper's top-left corner, and is scaled down only when its
// items would not fit inside the paper's printable area.
#pragma once

#include <QImage>
#include <QMarginsF>
#include <QPainter>
#include <QRectF>
#include <cstddef>
#include <functional>
#include <string>

#include "reports/page.h"

namespace glimra::reports {

// Paints page index of pages into target (the page's full size). The caller
// provides the background.
void paintPage(QPainter& painter, const PageList& pages, std::size_t index, const QRectF& target);

// A sheet of paper, in thousandths of an inch, and the margins a printer
// cannot print in.
struct Paper {
  double width = 8500;
  double height = 11000;
  QMarginsF unprintable{250, 250, 250, 250};
};
// The paper of the user's locale (its LC_PAPER, else its measurement system).
Paper localePaper();

// Where the pages of a report stand on a paper: the scale (1 unless the
// items, wherever they reach on any page, would leave the printable area).
class PaperPlacement {
 public:
  PaperPlacement(const PageList& pages, const Paper& paper);
  const Paper& paper() const { return paper_; }
  double scale() const { return scale_; }
  // Paints page index onto the whole sheet at paperTarget (device
  // coordinates); the caller provides the background.
  void paint(QPainter& painter, const PageList& pages, std::size_t index, const QRectF& paperTarget) const;

 private:
  Paper paper_;
  double scale_ = 1.0;
};

// Page index as an image of dotsPerInch, on white.
QImage renderPage(const PageList& pages, std::size_t index, int dotsPerInch);

// Writes every page to a vector PDF at path, on the given paper. The PDF is
// made in a temporary file beside path and renamed over it once complete, so
// a failure leaves no half-written file and an existing file untouched.
// progress (optional) is called with the number of pages written so far.
// Returns an empty string on success, else what went wrong, for the user.
std::string writePdf(const PageList& pages, const std::string& path,
                     const std::function<void(std::size_t)>& progress = {}, const Paper& paper = localePaper());

}  // namespace glimra::reports
