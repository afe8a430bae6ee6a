// SPDX-License-Identifier: GPL-3.0-or-later
// The container's public face, the page cache and the tree operations.
#include "datafile/container.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <tuple>

#include "datafile/container_impl.h"

namespace glimra::datafile {

namespace {
constexpr std::size_t kCacheLow = 20;  // the cache never drops below this many pages
// A page left unused this many uses longer than four times the cache's
// average age is let go even within the budget.
constexpr std::uint64_t kAgeMargin = 100;

// The bytes a page holds in memory: the page, its records (and those held
// apart from them) and its child references.
std::size_t memoryOf(const CachedPage& p) {
  std::size_t bytes = sizeof(CachedPage) + p.records.capacity() * sizeof(TreeRecord) +
                      p.children.capacity() * sizeof(std::int32_t) + p.encoded.body.capacity() +
                      p.heads.capacity() * sizeof(std::uint64_t);
  for (const TreeRecord& r : p.records)
    if (r.bytes.capacity() > RecordBytes::kInline) bytes += r.bytes.capacity();
  return bytes;
}

TreeRecord separatorOf(const CachedPage& child) {
  TreeRecord s;
  const ByteView key = child.firstKey();
  s.bytes.assign(key.begin(), key.end());
  s.keyLength = std::uint16_t(key.size());
  return s;
}

// The eight bytes of key after its first `from`, zero-padded, as a word
// whose unsigned order is theirs. For two keys that share their first `from`
// bytes, a smaller word means a smaller key and a greater word a greater one
// (a key that ends early is padded with zeros, below every byte it lacks);
// equal words decide nothing.
std::uint64_t headOf(ByteView key, std::size_t from) {
  std::uint64_t word = 0;
  if (key.size() >= from + 8) {
    std::memcpy(&word, key.data() + from, 8);
  } else if (key.size() > from) {
    std::memcpy(&word, key.data() + from, key.size() - from);
  }
  if constexpr (std::endian::native == std::endian::little) word = __builtin_bswap64(word);
  return word;
}

bool sharesHeadPrefix(const CachedPage& p, ByteView key) {
  const std::size_t n = p.headPrefix.size();
  return n == 0 || (key.size() >= n && std::memcmp(key.data(), p.headPrefix.data(), n) == 0);
}

// Makes p's search heads when it has none. The prefix is the one its first
// and last keys share, which every key between them shares when the page is in
// order; a key without it (a damaged page) leaves the page without heads.
void searchHeads(const CachedPage& p) {
  if (p.headsValid) return;
  p.headsValid = true;
  p.headsUsable = false;
  p.heads.clear();
  if (p.records.empty()) return;
  const ByteView first = p.records.front().key();
  const ByteView last = p.records.back().key();
  const std::size_t shorter = std::min(first.size(), last.size());
  const std::size_t shared = std::size_t(std::mismatch(first.begin(), first.begin() + shorter, last.begin()).first - first.begin());
  p.headPrefix.assign(first.begin(), first.begin() + shared);
  p.heads.resize(p.records.size());
  for (std::size_t i = 0; i < p.records.size(); ++i) {
    const ByteView key = p.records[i].key();
    if (!sharesHeadPrefix(p, key)) {
      p.heads.clear();
      return;
    }
    p.heads[i] = headOf(key, shared);
  }
  p.headsUsable = true;
}

// The first record of p whose key is not below probe (orEqual false: lower
// bound) or is above it (orEqual true: upper bound), by binary search. Each
// record that decides a step was compared with probe, so on a damaged page
// out of order the record found still lies on the right side of probe.
template <bool orEqual>
std::size_t boundIndex(const CachedPage& p, ByteView probe) {
  searchHeads(p);
  const bool byWords = p.headsUsable && sharesHeadPrefix(p, probe);
  const std::uint64_t head = byWords ? headOf(probe, p.headPrefix.size()) : 0;
  // The order of record i against probe: by the words where they differ.
  auto orderAt = [&](std::size_t i) {
    if (byWords && p.heads[i] != head) return p.heads[i] < head ? -1 : 1;
    return compareKeys(p.records[i].key(), probe);
  };
  std::size_t low = 0, count = p.records.size();
  while (count > 0) {
    const std::size_t half = count / 2, middle = low + half;
    const int order = orderAt(middle);
    if (orEqual ? order <= 0 : order < 0) {
      low = middle + 1;
      count -= half + 1;
    } else {
      count = half;
    }
  }
  return low;
}

// Index of the first record whose key is greater than probe.
std::size_t upperIndex(const CachedPage& p, ByteView probe) { return boundIndex<true>(p, probe); }

// Index of the first record whose key is greater than or equal to probe.
std::size_t lowerIndex(const CachedPage& p, ByteView probe) { return boundIndex<false>(p, probe); }

// Whether the key of record `at` is key: words that differ say no without
// reading the record's bytes.
bool sameKeyAt(const CachedPage& p, std::size_t at, ByteView key) {
  if (p.headsValid && p.headsUsable && sharesHeadPrefix(p, key) && p.heads[at] != headOf(key, p.headPrefix.size()))
    return false;
  return compareKeys(p.records[at].key(), key) == 0;
}

// Keeps p's search heads across a change that put the record at `at` (a
// new one, inserted: inserted true) when its key has the page's prefix; drops
// them otherwise. Called after markChanged, with whether they were valid
// before it.
void keepHeads(CachedPage& p, bool wereValid, std::size_t at, bool inserted) {
  if (!wereValid || !p.headsUsable) return;
  const ByteView key = p.records[at].key();
  if (!sharesHeadPrefix(p, key)) return;
  const std::uint64_t head = headOf(key, p.headPrefix.size());
  if (inserted) {
    p.heads.insert(p.heads.begin() + std::ptrdiff_t(at), head);
  } else {
    p.heads[at] = head;
  }
  p.headsValid = true;
}

// The child to descend into: under the last separator <= probe, else the first.
std::size_t childIndexFor(const CachedPage& p, ByteView probe) {
  const std::size_t upper = upperIndex(p, probe);
  return upper == 0 ? 0 : upper - 1;
}
}  // namespace

Container::Impl::Impl(Container& owner_, OsFile& file_, ContainerHooks* hooks_)
    : owner(owner_), file(file_), hooks(hooks_), cacheBudget(kDefaultCacheBytes) {
  header.rootPage = -1;
  diskHeader.rootPage = -1;
}

// ---------------------------------------------------------------- page cache

bool Container::Impl::treeEmpty() const {
  if (header.rootPage == -1) return true;
  if (header.rootPage < 0) return false;  // a root not yet placed
  for (int i = 1; i <= page::kClassCount; ++i)
    if (header.regionEnd[i] > header.regionStart[i]) return false;
  return true;  // no page exists anywhere: whatever the root field says, there is no tree
}

int Container::Impl::classOfReference(std::int32_t ref) const {
  const auto r = std::uint32_t(ref);
  for (int i = 1; i <= page::kClassCount; ++i) {
    if (header.regionStart[i] <= r && r < header.regionEnd[i]) {
      if ((r - header.regionStart[i]) % std::uint32_t(i) != 0) break;
      return i;
    }
  }
  throw InternalError{ContainerDamage::OUTSIDE_REGIONS};
}

CachedPage* Container::Impl::adopt(std::unique_ptr<CachedPage> p) {
  CachedPage* page = p.get();
  page->lastUse = ++useClock;
  lastUseSum += page->lastUse;
  if (page->dirty)
    listDirty(page);
  else
    listClean(page);
  cache.insert(std::move(p));
  recent[recentSlot(page->ref)] = {page->ref, page};
  return page;
}

void Container::Impl::touch(CachedPage* p) {
  lastUseSum -= p->lastUse;
  p->lastUse = ++useClock;
  lastUseSum += p->lastUse;
  if (!p->dirty) p->cleanList->splice(p->cleanList->end(), *p->cleanList, p->cleanSlot);
}

void Container::Impl::dropPage(std::int32_t ref) {
  std::unique_ptr<CachedPage> p = cache.extract(ref);
  if (!p) return;
  forgetRecent(ref);
  ++leafVersion;
  lastUseSum -= p->lastUse;
  if (p->dirty)
    unlistDirty(p.get());
  else
    unlistClean(p.get());
}

void Container::Impl::dropDirtyPages() {
  std::vector<std::int32_t> refs;
  for (CachedPage* p : dirtyList) refs.push_back(p->ref);
  for (std::int32_t ref : refs) dropPage(ref);
}

void Container::Impl::clearCache() {
  ++leafVersion;
  cache.clear();
  recent.fill(RecentPage{});
  cleanLeaves.clear();
  cleanInner.clear();
  cleanLeafBytes = cleanInnerBytes = 0;
  dirtyList.clear();
  lastUseSum = 0;
}

void Container::Impl::setDirty(CachedPage* p) {
  if (p->dirty) return;
  p->dirty = true;
  unlistClean(p);
  listDirty(p);
}

void Container::Impl::setClean(CachedPage* p) {
  if (!p->dirty) return;
  p->dirty = false;
  unlistDirty(p);
  listClean(p);
  touch(p);
}

void Container::Impl::listDirty(CachedPage* p) {
  p->dirtySlot = dirtyList.size();
  dirtyList.push_back(p);
}

void Container::Impl::unlistDirty(CachedPage* p) {
  CachedPage* last = dirtyList.back();
  dirtyList[p->dirtySlot] = last;
  last->dirtySlot = p->dirtySlot;
  dirtyList.pop_back();
}

void Container::Impl::listClean(CachedPage* p) {
  p->cleanList = p->nonLeaf() ? &cleanInner : &cleanLeaves;
  p->cleanSlot = p->cleanList->insert(p->cleanList->end(), p);
  p->memory = memoryOf(*p);
  (p->nonLeaf() ? cleanInnerBytes : cleanLeafBytes) += p->memory;
}

void Container::Impl::unlistClean(CachedPage* p) {
  (p->cleanList == &cleanInner ? cleanInnerBytes : cleanLeafBytes) -= p->memory;
  p->cleanList->erase(p->cleanSlot);
  p->cleanList = nullptr;
}

// The least recently used clean leaf, else the least recently used clean
// inner page; nullptr when every cached page is dirty. Inner pages take at
// most nine tenths of the budget, so that a walk keeps room for its leaves
// (a step from the last record of a leaf looks at that leaf again).
CachedPage* Container::Impl::nextToDrop() const {
  if (!cleanInner.empty() && (cleanLeaves.empty() || cleanInnerBytes > cacheBudget / 10 * 9))
    return cleanInner.front();
  if (!cleanLeaves.empty()) return cleanLeaves.front();
  return nullptr;
}

CachedPage* Container::Impl::getPage(std::int32_t ref) {
  RecentPage& slot = recent[recentSlot(ref)];
  if (slot.page && slot.ref == ref) {
    touch(slot.page);
    return slot.page;
  }
  if (CachedPage* cached = cache.find(ref)) {
    slot = {ref, cached};
    touch(cached);
    return cached;
  }
  if (ref < 0) throw InternalError{ContainerDamage::OUTSIDE_REGIONS};
  const int sizeClass = classOfReference(ref);
  const std::size_t length = std::size_t(sizeClass) * page::kUnit;
  std::uint64_t offset = page::offsetOf(ref);
  if (pendingFound) {
    auto redirect = pendingCopies.find(offset);
    if (redirect != pendingCopies.end()) offset = redirect->second;
  }
  if (readBuffer.size() < length) readBuffer.resize(length);
  readBlock(offset, readBuffer.data(), length);
  page::DecodedPage decoded = page::decodePage(readBuffer.data(), length, sizeClass, expandBuffer);
  auto p = std::make_unique<CachedPage>();
  p->ref = ref;
  p->level = decoded.level;
  p->records = std::move(decoded.records);
  p->children = std::move(decoded.children);
  p->sizeClass = sizeClass;
  p->onDisk.storedSize = decoded.storedSize;
  p->onDisk.expandedSize = decoded.expandedSize;
  p->onDisk.sizeBound = decoded.sizeBound;
  p->onDisk.compressed = decoded.compressed;
  return adopt(std::move(p));
}

// A child must sit exactly one level below its parent; anything else is a
// broken link (and would let a damaged file send a descent round in circles).
CachedPage* Container::Impl::childOf(const CachedPage& parent, std::size_t index) {
  CachedPage* child = getPage(parent.children[index]);
  if (child->level + 1 != parent.level) throw InternalError{ContainerDamage::CHILD_WRONG_LEVEL};
  return child;
}

CachedPage* Container::Impl::newPage(std::uint8_t level) {
  auto p = std::make_unique<CachedPage>();
  p->ref = nextTemporary--;
  p->level = level;
  p->dirty = true;
  return adopt(std::move(p));
}

void Container::Impl::markChanged(CachedPage* p) {
  ++leafVersion;
  setDirty(p);
  p->bodyStale = true;
  p->boundKnown = false;
  p->headsValid = false;
}

void Container::Impl::markMoved(CachedPage* p) { setDirty(p); }

std::vector<CachedPage*> Container::Impl::dirtyPages() {
  std::vector<CachedPage*> pages = dirtyList;
  // Placed pages by position, then new pages in the order they were made.
  std::sort(pages.begin(), pages.end(), [](const CachedPage* a, const CachedPage* b) {
    if ((a->ref < 0) != (b->ref < 0)) return a->ref >= 0;
    return a->ref >= 0 ? a->ref < b->ref : a->ref > b->ref;
  });
  return pages;
}

// Drops clean pages (leaves first, see nextToDrop), never below 20 pages:
// always the least recently used one while the clean pages hold more than
// the budget, or the clean leaves more than a quarter of it; otherwise only
// one that has gone unused for long compared with the cache's average age.
// Leaves are kept few because a walk meets most of them once (a data record
// has a page of its own, and a key walk visits them in no order), while the
// inner pages above them serve every step; a few recycled leaves also stay
// in the processor's cache. Called only between operations, when no page
// pointer is held.
void Container::Impl::trimCache() {
  while (cache.size() > kCacheLow) {
    CachedPage* oldest = nextToDrop();
    if (!oldest) return;
    if (cleanLeafBytes + cleanInnerBytes <= cacheBudget && cleanLeafBytes <= cacheBudget / 4) {
      const std::uint64_t average = useClock - lastUseSum / cache.size();
      const std::uint64_t age = useClock - oldest->lastUse;
      if (age <= 4 * average + kAgeMargin) return;
    }
    dropPage(oldest->ref);
  }
}

// ---------------------------------------------------------------- tree

bool Container::Impl::exceedsLimits(CachedPage& p) {
  if (!p.boundKnown) {
    p.bound = page::sizeBoundOf(p.records, p.nonLeaf());
    p.boundKnown = true;
  }
  const std::size_t bound = p.bound;
  return bound > page::kSplitBound || (bound > page::kSplitBoundCrowded && p.records.size() > page::kCrowdedRecordCount);
}

Container::Impl::Inserted Container::Impl::insertInto(CachedPage* p, TreeRecord&& record) {
  if (!p->nonLeaf()) {
    const std::size_t at = lowerIndex(*p, record.key());
    if (at < p->records.size() && sameKeyAt(*p, at, record.key())) return Inserted::NOT_INSERTED;
    const bool boundKnown = p->boundKnown, headsValid = p->headsValid;
    const std::size_t cost = page::recordCost(record, false);
    p->records.insert(p->records.begin() + std::ptrdiff_t(at), std::move(record));
    markChanged(p);
    keepHeads(*p, headsValid, at, true);
    // One more record: the page's size bound grows by its cost alone.
    if (boundKnown) {
      p->bound += cost;
      p->boundKnown = true;
    }
    return at == 0 ? Inserted::FIRST : Inserted::INSIDE;
  }
  if (p->records.empty()) throw InternalError{ContainerDamage::EMPTY_PARENT};
  const std::size_t index = childIndexFor(*p, record.key());
  CachedPage* child = childOf(*p, index);
  const Inserted inserted = insertInto(child, std::move(record));
  if (inserted == Inserted::NOT_INSERTED) return inserted;
  // A new smallest key of the subtree becomes its separator. Only an insert
  // before every key of the child can have changed its smallest key (a split
  // keeps the lower half in the child).
  if (inserted == Inserted::FIRST && compareKeys(child->firstKey(), p->records[index].key()) != 0) {
    const bool headsValid = p->headsValid;
    p->records[index] = separatorOf(*child);
    markChanged(p);
    keepHeads(*p, headsValid, index, false);
  }
  if (exceedsLimits(*child)) splitChildren(p, index);
  return inserted == Inserted::FIRST && index == 0 ? Inserted::FIRST : Inserted::INSIDE;
}

// Splits the child at index, and every piece split off it, until all of them
// are within the limits; each new piece gets its separator in parent.
void Container::Impl::splitChildren(CachedPage* parent, std::size_t index) {
  std::size_t end = index + 1;
  while (index < end) {
    CachedPage* child = childOf(*parent, index);
    if (!exceedsLimits(*child)) {
      ++index;
      continue;
    }
    const std::size_t count = child->records.size();
    if (count < 2) throw InternalError{ContainerDamage::SPLIT_TOO_SMALL};
    const std::size_t middle = count / 2;
    const std::size_t lower = middle, upper = count - middle - 1;
    const std::size_t cut = lower < upper ? middle + 1 : middle;
    CachedPage* sibling = newPage(child->level);
    sibling->records.assign(std::make_move_iterator(child->records.begin() + std::ptrdiff_t(cut)),
                            std::make_move_iterator(child->records.end()));
    child->records.resize(cut);
    if (child->nonLeaf()) {
      sibling->children.assign(child->children.begin() + std::ptrdiff_t(cut), child->children.end());
      child->children.resize(cut);
    }
    markChanged(child);
    markChanged(sibling);
    const bool headsValid = parent->headsValid;
    parent->records.insert(parent->records.begin() + std::ptrdiff_t(index + 1), separatorOf(*sibling));
    parent->children.insert(parent->children.begin() + std::ptrdiff_t(index + 1), sibling->ref);
    markChanged(parent);
    keepHeads(*parent, headsValid, index + 1, true);
    ++end;
  }
}

// The root keeps its reference and becomes the only parent of a new page that
// takes over its contents.
void Container::Impl::growRoot() {
  CachedPage* root = getPage(header.rootPage);
  CachedPage* below = newPage(root->level);
  below->records = std::move(root->records);
  below->children = std::move(root->children);
  root->records.clear();
  root->children.clear();
  root->level = std::uint8_t(below->level + 1);
  root->records.push_back(separatorOf(*below));
  root->children.push_back(below->ref);
  markChanged(root);
  markChanged(below);
}

bool Container::Impl::eraseFrom(CachedPage* p, ByteView key, std::vector<CachedPage*>& emptied) {
  if (!p->nonLeaf()) {
    const std::size_t at = lowerIndex(*p, key);
    if (at >= p->records.size() || compareKeys(p->records[at].key(), key) != 0) return false;
    const bool headsValid = p->headsValid && p->headsUsable;
    p->records.erase(p->records.begin() + std::ptrdiff_t(at));
    markChanged(p);
    // What is left still shares the prefix: the heads stay, less one.
    if (headsValid) {
      p->heads.erase(p->heads.begin() + std::ptrdiff_t(at));
      p->headsValid = true;
    }
    return true;
  }
  if (p->records.empty()) throw InternalError{ContainerDamage::EMPTY_PARENT};
  const std::size_t index = childIndexFor(*p, key);
  CachedPage* child = childOf(*p, index);
  if (!eraseFrom(child, key, emptied)) return false;
  if (child->records.empty()) {
    p->records.erase(p->records.begin() + std::ptrdiff_t(index));
    p->children.erase(p->children.begin() + std::ptrdiff_t(index));
    markChanged(p);
    emptied.push_back(child);
  } else if (compareKeys(child->firstKey(), p->records[index].key()) != 0) {
    const bool headsValid = p->headsValid;
    p->records[index] = separatorOf(*child);
    markChanged(p);
    keepHeads(*p, headsValid, index, false);
  }
  return true;
}

std::pair<CachedPage*, std::size_t> Container::Impl::findParent(CachedPage* target) {
  if (target->records.empty()) throw InternalError{ContainerDamage::EMPTY_PARENT};
  const ByteView key = target->firstKey();
  CachedPage* at = getPage(header.rootPage);
  for (;;) {
    if (!at->nonLeaf()) throw InternalError{ContainerDamage::PARENT_NOT_FOUND};
    if (at->records.empty()) throw InternalError{ContainerDamage::EMPTY_PARENT};
    const std::size_t index = childIndexFor(*at, key);
    if (at->children[index] == target->ref) return {at, index};
    at = childOf(*at, index);
  }
}

// The leaf holding key and its index there; nullptr when the key is absent.
std::pair<CachedPage*, std::size_t> Container::Impl::leafHolding(ByteView key) {
  if (treeEmpty()) return {nullptr, 0};
  CachedPage* p = getPage(header.rootPage);
  while (p->nonLeaf()) {
    if (p->records.empty()) return {nullptr, 0};
    p = childOf(*p, childIndexFor(*p, key));
  }
  const std::size_t at = lowerIndex(*p, key);
  if (at >= p->records.size() || compareKeys(p->records[at].key(), key) != 0) return {nullptr, 0};
  return {p, at};
}

// Puts record in place of the one at (p, at) when that keeps the page's key
// order and size bound; false when it does not.
bool Container::Impl::overwriteInPlace(CachedPage* p, std::size_t at, TreeRecord&& record) {
  TreeRecord& old = p->records[at];
  if (record.keyLength != old.keyLength || record.bytes.size() != old.bytes.size() ||
      compareKeys(record.key(), old.key()) != 0)
    return false;
  if (record.bytes == old.bytes) return true;  // unchanged: nothing to write
  const bool boundKnown = p->boundKnown, headsValid = p->headsValid;
  old = std::move(record);
  markChanged(p);
  p->boundKnown = boundKnown;  // same length: same bound
  p->headsValid = headsValid;  // same key: same heads
  return true;
}

const TreeRecord* Container::Impl::stepFromHint(ByteView probe, int direction) {
  CachedPage* leaf = lastStep.leaf;
  if (!leaf || lastStep.version != leafVersion || lastStep.index >= leaf->records.size()) return nullptr;
  if (direction > 0 ? lastStep.index + 1 >= leaf->records.size() : lastStep.index == 0) return nullptr;
  if (compareKeys(leaf->records[lastStep.index].key(), probe) != 0) return nullptr;
  const std::size_t beside = direction > 0 ? lastStep.index + 1 : lastStep.index - 1;
  // A damaged page may hold its records out of order: a step must still move
  // strictly onwards, or a walk over that page would never end.
  if (compareKeys(leaf->records[beside].key(), probe) * direction <= 0) return nullptr;
  lastStep.index = beside;
  touch(leaf);
  return &leaf->records[beside];
}

const TreeRecord* Container::Impl::firstGreater(CachedPage* p, ByteView probe) {
  if (!p->nonLeaf()) {
    const std::size_t at = upperIndex(*p, probe);
    if (at >= p->records.size()) return nullptr;
    rememberStep(p, at);
    return &p->records[at];
  }
  // Lookups load pages but never drop any, so p stays valid meanwhile.
  for (std::size_t i = childIndexFor(*p, probe); i < p->children.size(); ++i)
    if (const TreeRecord* r = firstGreater(childOf(*p, i), probe)) return r;
  return nullptr;
}

const TreeRecord* Container::Impl::lastLessOrEqual(CachedPage* p, ByteView probe) {
  const std::size_t upper = upperIndex(*p, probe);
  if (!p->nonLeaf()) return upper == 0 ? nullptr : &p->records[upper - 1];
  if (p->children.empty()) return nullptr;
  for (std::size_t i = upper == 0 ? 1 : upper; i-- > 0;)
    if (const TreeRecord* r = lastLessOrEqual(childOf(*p, i), probe)) return r;
  return nullptr;
}

const TreeRecord* Container::Impl::lastLess(CachedPage* p, ByteView probe) {
  const std::size_t lower = lowerIndex(*p, probe);
  if (!p->nonLeaf()) {
    if (lower == 0) return nullptr;
    rememberStep(p, lower - 1);
    return &p->records[lower - 1];
  }
  if (p->children.empty()) return nullptr;
  for (std::size_t i = lower == 0 ? 1 : lower; i-- > 0;)
    if (const TreeRecord* r = lastLess(childOf(*p, i), probe)) return r;
  return nullptr;
}

// ---------------------------------------------------------------- public face

Container::Container(OsFile& file, ContainerHooks* hooks) : impl_(std::make_unique<Impl>(*this, file, hooks)) {}
Container::~Container() = default;

namespace {
bool copyOut(const TreeRecord* found, TreeRecord* out) {
  if (found && out) *out = *found;
  return found != nullptr;
}
}  // namespace

const TreeRecord* Container::peek(ByteView key) {
  if (!impl_->held.empty()) {
    auto it = impl_->held.find(key);
    if (it != impl_->held.end()) return &it->second;
  }
  impl_->trimCache();
  auto [p, at] = impl_->leafHolding(key);
  return p ? &p->records[at] : nullptr;
}

const TreeRecord* Container::peekFirstGreater(ByteView probe) {
  impl_->flushHeld();
  impl_->trimCache();
  if (const TreeRecord* next = impl_->stepFromHint(probe, +1)) return next;
  return impl_->treeEmpty() ? nullptr : impl_->firstGreater(impl_->getPage(impl_->header.rootPage), probe);
}

const TreeRecord* Container::peekLastLess(ByteView probe) {
  impl_->flushHeld();
  impl_->trimCache();
  if (const TreeRecord* previous = impl_->stepFromHint(probe, -1)) return previous;
  return impl_->treeEmpty() ? nullptr : impl_->lastLess(impl_->getPage(impl_->header.rootPage), probe);
}

bool Container::find(ByteView key, TreeRecord* out) { return copyOut(peek(key), out); }
bool Container::findFirstGreater(ByteView probe, TreeRecord* out) { return copyOut(peekFirstGreater(probe), out); }
bool Container::findLastLess(ByteView probe, TreeRecord* out) { return copyOut(peekLastLess(probe), out); }

bool Container::findLastLessOrEqual(ByteView probe, TreeRecord* out) {
  impl_->flushHeld();
  impl_->trimCache();
  return !impl_->treeEmpty() &&
         copyOut(impl_->lastLessOrEqual(impl_->getPage(impl_->header.rootPage), probe), out);
}

bool Container::findFirst(TreeRecord* out) {
  impl_->flushHeld();
  impl_->trimCache();
  if (impl_->treeEmpty()) return false;
  CachedPage* p = impl_->getPage(impl_->header.rootPage);
  while (p->nonLeaf() && !p->children.empty()) p = impl_->childOf(*p, 0);
  if (p->nonLeaf() || p->records.empty()) return false;
  if (out) *out = p->records.front();
  return true;
}

bool Container::findLast(TreeRecord* out) {
  impl_->flushHeld();
  impl_->trimCache();
  if (impl_->treeEmpty()) return false;
  CachedPage* p = impl_->getPage(impl_->header.rootPage);
  while (p->nonLeaf() && !p->children.empty()) p = impl_->childOf(*p, p->children.size() - 1);
  if (p->nonLeaf() || p->records.empty()) return false;
  if (out) *out = p->records.back();
  return true;
}

void Container::insert(const TreeRecord& record) { insert(TreeRecord(record)); }

void Container::insert(TreeRecord&& record) {
  if (!insertIfAbsent(std::move(record))) throw InternalError{ContainerDamage::DUPLICATE_KEY};
}

bool Container::insertIfAbsent(TreeRecord&& record) {
  if (record.bytes.size() > page::kMaxRecordBytes) throw InternalError{ContainerDamage::RECORD_TOO_LONG};
  if (record.keyLength > record.bytes.size()) throw InternalError{ContainerDamage::RECORD_TOO_LONG};
  Impl& d = *impl_;
  d.flushHeldFor(record.key());
  d.trimCache();
  d.beginChange();
  if (d.treeEmpty()) {
    d.header.rootPage = -1;
    CachedPage* root = d.newPage(0);
    root->records.push_back(std::move(record));
    d.header.rootPage = root->ref;
    d.headerDirty = true;
  } else if (d.insertInto(d.getPage(d.header.rootPage), std::move(record)) == Impl::Inserted::NOT_INSERTED) {
    return false;
  }
  while (Impl::exceedsLimits(*d.getPage(d.header.rootPage))) {
    if (d.getPage(d.header.rootPage)->records.size() < 2) throw InternalError{ContainerDamage::SPLIT_TOO_SMALL};
    d.growRoot();
    d.splitChildren(d.getPage(d.header.rootPage), 0);
  }
  return true;
}

bool Container::erase(ByteView key) {
  Impl& d = *impl_;
  d.flushHeldFor(key);
  d.trimCache();
  d.beginChange();
  if (d.treeEmpty()) return false;
  CachedPage* root = d.getPage(d.header.rootPage);
  std::vector<CachedPage*> emptied;
  if (!d.eraseFrom(root, key, emptied)) return false;
  if (root->records.empty()) {
    emptied.push_back(root);
    d.header.rootPage = -1;
    d.headerDirty = true;
  }
  d.freePages(emptied);
  return true;
}

void Container::eraseFound(ByteView key) {
  if (!erase(key)) throw InternalError{ContainerDamage::FOUND_RECORD_LOST};
}

void Container::replace(const TreeRecord& record) { replace(TreeRecord(record)); }

void Container::replace(TreeRecord&& record) {
  Impl& d = *impl_;
  d.flushHeldFor(record.key());
  d.trimCache();
  d.beginChange();
  auto [p, at] = d.leafHolding(record.key());
  if (p && d.overwriteInPlace(p, at, std::move(record))) return;
  if (p) erase(record.key());
  insert(std::move(record));
}

namespace {
bool sameKeyAndLength(const TreeRecord& a, const TreeRecord& b) {
  return a.keyLength == b.keyLength && a.bytes.size() == b.bytes.size() && compareKeys(a.key(), b.key()) == 0;
}
}  // namespace

// A record that keeps its key and length is held (Impl::held) until the
// commit; one that does not is replaced in the tree at once.
std::vector<bool> Container::rewriteAll(const std::vector<Bytes>& keys,
                                         const std::function<void(std::size_t, TreeRecord&)>& edit) {
  Impl& d = *impl_;
  d.trimCache();
  d.beginChange();
  std::vector<bool> found(keys.size(), false);
  CachedPage* leaf = nullptr;  // the leaf of the previous key looked up in the tree
  std::size_t from = 0;        // where that key stood in it
  TreeRecord updated;
  for (std::size_t i = 0; i < keys.size(); ++i) {
    const ByteView key = keys[i];
    auto heldAt = d.held.find(key);
    if (heldAt != d.held.end()) {
      found[i] = true;
      updated = heldAt->second;
      edit(i, updated);
      if (sameKeyAndLength(updated, heldAt->second)) {
        heldAt->second = std::move(updated);
        continue;
      }
      // The held version is the newest: the tree's goes, the edited one takes its place.
      d.held.erase(heldAt);
      replace(std::move(updated));
      leaf = nullptr;
      continue;
    }
    CachedPage* p = nullptr;
    std::size_t at = 0;
    // Keys ascend: one at most the leaf's last record lies in the same leaf
    // (it is there or nowhere), at or after the previous key's place.
    if (leaf && from < leaf->records.size() && compareKeys(key, leaf->records.back().key()) <= 0) {
      at = from;
      int order = 0;
      while ((order = compareKeys(leaf->records[at].key(), key)) < 0) ++at;
      if (order == 0) p = leaf;
    } else {
      std::tie(p, at) = d.leafHolding(key);
      leaf = p;
    }
    if (!p) continue;
    from = at;
    found[i] = true;
    updated = p->records[at];
    edit(i, updated);
    if (sameKeyAndLength(updated, p->records[at])) {
      if (!(updated.bytes == p->records[at].bytes)) d.held.emplace(Bytes(key.begin(), key.end()), std::move(updated));
      continue;
    }
    erase(key);
    insert(std::move(updated));
    leaf = nullptr;  // the tree changed shape, and a clean page may have been dropped
  }
  return found;
}

void Container::Impl::flushHeld() {
  if (held.empty()) return;
  auto records = std::move(held);
  held.clear();
  for (auto& [key, record] : records) {
    auto [p, at] = leafHolding(key);
    if (p && overwriteInPlace(p, at, std::move(record))) continue;
    owner.replace(std::move(record));
  }
}

std::uint32_t Container::newRecordNumber() {
  impl_->beginChange();
  // Numbers from FE000000 on are reserved; a counter already past them (a
  // damaged header) must not wrap round to numbers in use.
  if (impl_->header.lastRecordNumber >= 0xFDFFFFFFu) throw InternalError{ContainerDamage::NUMBERS_EXHAUSTED};
  const std::uint32_t next = impl_->header.lastRecordNumber + 1;
  impl_->header.lastRecordNumber = next;
  impl_->headerDirty = true;
  return next;
}

std::uint32_t Container::lastRecordNumber() const { return impl_->header.lastRecordNumber; }

void Container::setLastRecordNumber(std::uint32_t number) {
  impl_->beginChange();
  impl_->header.lastRecordNumber = number;
  impl_->headerDirty = true;
}

bool Container::dirty() const { return impl_->headerDirty || !impl_->dirtyList.empty() || !impl_->held.empty(); }

std::size_t Container::dirtyPageCount() const { return impl_->dirtyList.size(); }

std::size_t Container::cachedPageCount() const { return impl_->cache.size(); }

void Container::setCacheBytes(std::size_t bytes) { impl_->cacheBudget = bytes; }

std::size_t Container::cacheBytes() const { return impl_->cacheBudget; }

std::size_t Container::cachedCleanBytes() const { return impl_->cleanLeafBytes + impl_->cleanInnerBytes; }

const FileHeader& Container::header() const { return impl_->header; }

std::uint64_t Container::endOfData() const { return Impl::endOfData(impl_->header); }

std::uint64_t Container::fileBytes() const {
  std::uint64_t bytes = 0;
  if (int error = impl_->file.size(&bytes)) throw OsFailure{error};
  return bytes;
}

void Container::walkPages(const std::function<void(const PageInfo&)>& visit) {
  Impl& d = *impl_;
  d.flushHeld();
  d.trimCache();
  if (d.treeEmpty()) return;
  // (reference, level it must have; -1 for the root)
  std::vector<std::pair<std::int32_t, int>> stack{{d.header.rootPage, -1}};
  while (!stack.empty()) {
    const auto [ref, expectedLevel] = stack.back();
    stack.pop_back();
    CachedPage* p = d.getPage(ref);
    if (expectedLevel >= 0 && p->level != expectedLevel) throw InternalError{ContainerDamage::CHILD_WRONG_LEVEL};
    PageInfo info;
    info.reference = ref;
    info.level = p->level;
    info.sizeClass = ref >= 0 ? d.classOfReference(ref) : 0;
    page::EncodedBody sizes = p->onDisk;
    if (p->dirty) {
      sizes = p->bodyStale ? page::encodeBody(p->records, p->nonLeaf()) : p->encoded;
    }
    info.storedSize = sizes.storedSize;
    info.expandedSize = sizes.expandedSize;
    info.sizeBound = sizes.sizeBound;
    info.compressed = sizes.compressed;
    info.records = p->records;
    info.children = p->children;
    for (auto it = info.children.rbegin(); it != info.children.rend(); ++it) stack.emplace_back(*it, p->level - 1);
    visit(info);
    d.trimCache();
  }
}

bool Container::visitStoredPages(const std::function<void(const std::uint8_t*, int)>& visit) {
  Impl& d = *impl_;
  if (dirty() || d.pendingFound) return false;
  // Whole pages at a time, up to about 1 MB per read.
  constexpr std::size_t kReadBytes = std::size_t(1) << 20;
  Bytes chunk;
  for (int sizeClass = 1; sizeClass <= page::kClassCount; ++sizeClass) {
    const std::size_t slot = std::size_t(sizeClass) * page::kUnit;
    const std::size_t perRead = std::max<std::size_t>(1, kReadBytes / slot);
    const std::uint32_t start = d.header.regionStart[sizeClass], end = d.header.regionEnd[sizeClass];
    for (std::uint32_t unit = start; unit < end;) {
      const std::size_t pages = std::min<std::size_t>(perRead, (end - unit) / std::uint32_t(sizeClass));
      if (pages == 0) break;  // a region that is not a whole number of pages ends here
      chunk.resize(pages * slot);
      d.readBlock(page::offsetOf(std::int32_t(unit)), chunk.data(), chunk.size());
      for (std::size_t i = 0; i < pages; ++i) visit(chunk.data() + i * slot, sizeClass);
      unit += std::uint32_t(pages * std::size_t(sizeClass));
    }
  }
  return true;
}

}  // namespace glimra::datafile
