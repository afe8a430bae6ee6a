// SPDX-License-Identifier: GPL-3.0-or-later
// QtPageImages: pages that draw themselves with a QPainter, for image
// controls of Qt windows; and PageView, the label that shows one of them.
//
// A shown page is drawn at the size it is shown and kept in a cache shared by
// all windows, bounded in bytes (least recently shown dropped first), so
// paging back and forth through a large report draws each screen once while
// memory stays bounded however many pages there are.
#pragma once

#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QRectF>
#include <cstddef>
#include <memory>

#include "runtime/page_images.h"

namespace glimra::runtime {

class QtPageImages : public PageImages {
 public:
  QtPageImages();
  // Paints page `page` (1-based) into target, scaled uniformly; the caller
  // provides the background.
  virtual void paint(QPainter& painter, int page, const QRectF& target) const = 0;
  // Tells these pages apart from every other set in the cache.
  std::uint64_t identity() const { return identity_; }

 private:
  std::uint64_t identity_;
};

// Page `page` of `pages` as an image of `size` device pixels on white, from
// the cache when drawn before.
QImage pageImage(const QtPageImages& pages, int page, QSize size, qreal devicePixelRatio = 1.0);
// The cache's bound and what it holds now, in bytes.
inline constexpr std::size_t PAGE_CACHE_BYTES = std::size_t{96} << 20;
std::size_t pageCacheBytes();

// An image control's label: shows a picture as a QLabel does, or a page drawn
// at the label's own size.
class PageView final : public QLabel {
 public:
  using QLabel::QLabel;
  void setPage(std::shared_ptr<const QtPageImages> pages, int page);
  const QtPageImages* pages() const { return pages_.get(); }
  int page() const { return page_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  std::shared_ptr<const QtPageImages> pages_;
  int page_ = 0;
};

}  // namespace glimra::runtime
