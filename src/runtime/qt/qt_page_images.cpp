// SPDX-License-Identifier: GPL-3.0-or-later
#include "runtime/qt/qt_page_images.h"

#include <QPaintEvent>
#include <atomic>
#include <list>
#include <tuple>

namespace glimra::runtime {

namespace {

std::atomic<std::uint64_t> nextIdentity{1};

struct CachedPage {
  std::uint64_t identity;
  int page;
  QSize size;
  QImage image;
};

// Most recently shown first.
std::list<CachedPage>& cache() {
  static std::list<CachedPage> pages;
  return pages;
}
std::size_t cachedBytes = 0;

}  // namespace

QtPageImages::QtPageImages() : identity_(nextIdentity++) {}

QImage pageImage(const QtPageImages& pages, int page, QSize size, qreal devicePixelRatio) {
  auto& pagesShown = cache();
  for (auto it = pagesShown.begin(); it != pagesShown.end(); ++it)
    if (it->identity == pages.identity() && it->page == page && it->size == size) {
      pagesShown.splice(pagesShown.begin(), pagesShown, it);
      return it->image;
    }
  QImage image(size, QImage::Format_RGB32);
  image.fill(Qt::white);
  {
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    pages.paint(painter, page, QRectF(0, 0, size.width(), size.height()));
  }
  image.setDevicePixelRatio(devicePixelRatio);
  const std::size_t bytes = static_cast<std::size_t>(image.sizeInBytes());
  if (bytes <= PAGE_CACHE_BYTES) {
    pagesShown.push_front(CachedPage{pages.identity(), page, size, image});
    cachedBytes += bytes;
    while (cachedBytes > PAGE_CACHE_BYTES) {
      cachedBytes -= static_cast<std::size_t>(pagesShown.back().image.sizeInBytes());
      pagesShown.pop_back();
    }
  }
  return image;
}

std::size_t pageCacheBytes() { return cachedBytes; }

void PageView::setPage(std::shared_ptr<const QtPageImages> pages, int page) {
  pages_ = std::move(pages);
  page_ = pages_ ? page : 0;
  if (pages_) clear();
  update();
}

void PageView::paintEvent(QPaintEvent* event) {
  if (!pages_ || page_ < 1 || width() <= 0 || height() <= 0) {
    QLabel::paintEvent(event);
    return;
  }
  const qreal ratio = devicePixelRatioF();
  const QSize pixels(static_cast<int>(width() * ratio), static_cast<int>(height() * ratio));
  QPainter painter(this);
  painter.drawImage(QPointF(0, 0), pageImage(*pages_, page_, pixels, ratio));
}

}  // namespace glimra::runtime
