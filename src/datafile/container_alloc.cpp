// SPDX-License-Identifier: GPL-3.0-or-later
// Page placement: every region packed, regions in class order. Pages move by
// re-pointing their parent (found by descending along the page's first key).
#include <algorithm>

#include "datafile/container_impl.h"

namespace glimra::datafile {

std::uint32_t Container::Impl::gapAbove(int region) const {
  return header.regionStart[region + 1] - header.regionEnd[region];
}

void Container::Impl::movePage(std::int32_t from, std::int32_t to, int newClass) {
  CachedPage* p = getPage(from);
  if (!p->detached) {
    if (header.rootPage == from) {
      header.rootPage = to;
    } else {
      auto [parent, index] = findParent(p);
      parent->children[index] = to;
      markMoved(parent);
    }
  }
  std::unique_ptr<CachedPage> moved = cache.extract(from);
  forgetRecent(from);
  dropPage(to);  // a slot being filled never holds a live page
  moved->ref = to;
  cache.insert(std::move(moved));
  p->sizeClass = newClass;
  markMoved(p);
  headerDirty = true;
}

// Fills the hole at ref with the region's last page, then shrinks the region.
void Container::Impl::freeSlot(std::int32_t ref, int sizeClass) {
  const std::int32_t last = std::int32_t(header.regionEnd[sizeClass] - std::uint32_t(sizeClass));
  if (last != ref) movePage(last, ref, sizeClass);
  header.regionEnd[sizeClass] -= std::uint32_t(sizeClass);
  headerDirty = true;
}

// Frees pages already unlinked from the tree. One of them may be the last page
// of a region that another one's hole pulls down; it is only relabelled.
void Container::Impl::freePages(const std::vector<CachedPage*>& pages) {
  for (CachedPage* p : pages) p->detached = true;
  for (CachedPage* p : pages) {
    const std::int32_t ref = p->ref;
    const int sizeClass = p->sizeClass;
    dropPage(ref);  // p is gone from here on
    if (ref >= 0) freeSlot(ref, sizeClass);
  }
}

bool Container::Impl::roomBelow(int region, std::uint32_t units) {
  if (region <= 0) return false;
  const std::uint32_t gap = gapAbove(region);
  if (gap >= units) return true;
  const std::uint32_t step = std::uint32_t(region);
  const std::uint32_t wanted = (units - gap + step - 1) / step * step;
  if (!roomBelow(region - 1, wanted)) return false;
  while (gapAbove(region) < units) {
    const std::uint32_t start = header.regionStart[region];
    const std::uint32_t end = header.regionEnd[region];
    if (end > start) movePage(std::int32_t(end - step), std::int32_t(start - step), region);
    header.regionStart[region] -= step;
    header.regionEnd[region] -= step;
    headerDirty = true;
  }
  return true;
}

void Container::Impl::roomAbove(int region, std::uint32_t units) {
  if (units > std::uint32_t(region)) throw InternalError{ContainerDamage::ROOM_TOO_LARGE};
  if (region >= page::kClassCount) return;
  const std::uint32_t gap = gapAbove(region);
  if (gap >= units) return;
  const int m = region + 1;
  const std::uint32_t pages = (header.regionEnd[m] - header.regionStart[m]) / std::uint32_t(m);
  if (pages <= 1) {
    const std::uint32_t shift = units - gap;
    roomAbove(m, shift);
    if (pages == 1) {
      const std::uint32_t start = header.regionStart[m];
      movePage(std::int32_t(start), std::int32_t(start + shift), m);
    }
    header.regionStart[m] += shift;
    header.regionEnd[m] += shift;
  } else {
    roomAbove(m, std::uint32_t(m));
    movePage(std::int32_t(header.regionStart[m]), std::int32_t(header.regionEnd[m]), m);
    header.regionStart[m] += std::uint32_t(m);
    header.regionEnd[m] += std::uint32_t(m);
  }
  headerDirty = true;
}

std::int32_t Container::Impl::allocate(int sizeClass) {
  const std::uint32_t units = std::uint32_t(sizeClass);
  headerDirty = true;
  if (roomBelow(sizeClass - 1, units)) {
    header.regionStart[sizeClass] -= units;
    return std::int32_t(header.regionStart[sizeClass]);
  }
  roomAbove(sizeClass, units);
  const std::uint32_t place = header.regionEnd[sizeClass];
  header.regionEnd[sizeClass] += units;
  return std::int32_t(place);
}

// Gives a page a slot of its (new) class: a page already placed first takes a
// temporary reference and frees its old slot.
void Container::Impl::relocate(CachedPage* p, int sizeClass) {
  if (p->ref >= 0) {
    const std::int32_t old = p->ref;
    const int oldClass = p->sizeClass;
    movePage(old, nextTemporary--, 0);
    freeSlot(old, oldClass);
  }
  const std::int32_t temporary = p->ref;
  const std::int32_t place = allocate(sizeClass);
  movePage(temporary, place, sizeClass);
}

// Encodes every dirty page once and gives each a slot of the class its
// encoded size needs. Moving pages dirties others (parents re-pointed, pages
// slid within their regions) and may load pages into the cache, so whole
// passes over the dirty pages repeat until one moves nothing. Cached pages
// are never dropped during a commit, so the pointers of a pass stay valid;
// a page slid by a later move keeps its class and is only re-pointed.
// Within a pass the smaller classes are placed first: a region that grows
// while the regions above it are still empty slides nothing, so a commit of
// many new pages does not push every larger region up once per page.
std::vector<CachedPage*> Container::Impl::placeDirtyPages() {
  for (;;) {
    std::vector<std::pair<int, CachedPage*>> toPlace;
    std::vector<CachedPage*> pages = dirtyPages();
    for (CachedPage* p : pages) {
      if (p->bodyStale) {
        p->encoded = page::encodeBody(p->records, p->nonLeaf());
        p->bodyStale = false;
      }
      const int wanted = page::classOf(p->encoded.storedSize);
      if (p->ref < 0 || wanted != p->sizeClass) toPlace.emplace_back(wanted, p);
    }
    if (toPlace.empty()) return pages;
    std::stable_sort(toPlace.begin(), toPlace.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (auto& [wanted, p] : toPlace) relocate(p, wanted);
  }
}

}  // namespace glimra::datafile
