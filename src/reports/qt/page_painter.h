// SPDX-License-Identifier: GPL-3.0-or-later
// The page painter: draws one laid-out report page on any paint device (a
// preview image, a thumbnail, a printer, a PDF), and the two outputs built on
// it that need no window: a page image and a vector PDF file.
//
// The page is scaled uniformly into the target rectangle (device coordinates);
// every item keeps the place, the cut and the line breaks it was laid out
// with. Text stays text on vector devices.
#pragma once

#include <QImage>
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

// Page index as an image of dotsPerInch, on white.
QImage renderPage(const PageList& pages, std::size_t index, int dotsPerInch);

// Writes every page to a vector PDF at path. The PDF is made in a temporary
// file beside path and renamed over it once complete, so a failure leaves no
// half-written file and an existing file untouched. progress (optional) is
// called with the number of pages written so far. Returns an empty string on
// success, else what went wrong, for the user.
std::string writePdf(const PageList& pages, const std::string& path,
                     const std::function<void(std::size_t)>& progress = {});

}  // namespace glimra::reports
