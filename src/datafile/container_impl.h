// SPDX-License-Identifier: GPL-3.0-or-later
// Private state of the container, shared by its three source files:
// container.cpp (tree operations), container_alloc.cpp (page placement) and
// container_commit.cpp (header and page I/O, the write-ahead commit, recovery).
//
// Invariants between operations:
//  - every dirty page is in the cache (only clean pages are ever evicted), so a
//    reference that is not cached still names the committed bytes on disk;
//  - a page with a negative reference exists only in memory and is dirty;
//  - header is the working header, diskHeader the header committed at offset 0
//    (or, while an unfinished write is found, the header announcing it).
#pragma once

#include <array>
#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "datafile/container.h"
#include "datafile/page_codec.h"
#include "datafile/page_table.h"

namespace glimra::datafile {

// Temporary references count down from here; -1 is kept for "no root".
constexpr std::int32_t kFirstTemporary = -2;

struct CachedPage {
  std::int32_t ref = 0;
  std::uint8_t level = 0;
  std::vector<TreeRecord> records;
  std::vector<std::int32_t> children;  // non-leaf pages: one per record
  int sizeClass = 0;                   // class of the slot it occupies; 0 while unplaced
  bool dirty = false;
  bool bodyStale = true;               // records changed since `encoded` was made
  std::size_t bound = 0;               // sizeBoundOf(records), while boundKnown
  bool boundKnown = false;
  bool detached = false;               // already unlinked from the tree, about to be freed
  page::EncodedBody encoded;
  page::EncodedBody onDisk;            // sizes as read from the file (clean pages)
  std::uint64_t lastUse = 0;
  std::size_t memory = 0;              // bytes it holds, while it is clean
  // Search heads: every key of the page begins with headPrefix, and heads[i]
  // holds the eight bytes of records[i]'s key that follow it (zero-padded),
  // as a big-endian word. A search compares words held side by side and reads
  // a key's own bytes only where two words are equal. Made when a search
  // first needs them (searchHeads); any change of the records drops them
  // (markChanged) unless the change keeps them itself.
  mutable std::vector<std::uint64_t> heads;
  mutable Bytes headPrefix;
  mutable bool headsValid = false;
  mutable bool headsUsable = false;    // false: the keys share no prefix as they should (damage)
  std::list<CachedPage*>* cleanList = nullptr;  // clean pages: the order it is kept in
  std::list<CachedPage*>::iterator cleanSlot;    // and its place there
  std::size_t dirtySlot = 0;           // dirty pages: its place in the dirty list

  bool nonLeaf() const { return level > 0; }
  ByteView firstKey() const { return records.front().key(); }
};

struct Container::Impl {
  Impl(Container& owner, OsFile& file, ContainerHooks* hooks);

  Container& owner;
  OsFile& file;
  ContainerHooks* hooks;
  ContainerHooks noHooks;

  FileHeader header;
  FileHeader diskHeader;
  bool headerLoaded = false;  // diskHeader holds what offset 0 said at the last refresh
  bool fileIsNew = false;     // zero-length file: no header on disk yet
  bool headerDirty = false;
  bool othersMayWrite = true;  // false while the share mode keeps every other writer out
  bool cutShort = false;       // the header names pages past the end of the file

  // The page cache. Only the helpers under "page cache" in container.cpp add,
  // drop, dirty or clean pages, so that the bookkeeping beside the table stays
  // exact: the clean leaves and the clean inner pages, each in order of last
  // use (least recent first) and with the bytes they hold, the number of
  // dirty pages and the sum of every page's lastUse (for the cache's average
  // age). Trimming and the dirty checks are then O(1) however many dirty
  // pages a large transaction holds. Clean pages are kept within cacheBudget
  // bytes (never fewer than 20 pages); dirty ones stay until the commit.
  // Trimming drops leaves before inner pages: a walk in key order visits the
  // data records in no order, and every one of them would otherwise push out
  // the inner pages that lead to the next.
  PageTable<CachedPage> cache;
  // In front of the table: the page last found under each of 4,096 slots of
  // references (a descent looks up the same inner pages again and again).
  // A slot is cleared whenever its page leaves the table or changes reference.
  struct RecentPage {
    std::int32_t ref = 0;
    CachedPage* page = nullptr;
  };
  std::array<RecentPage, 4096> recent{};
  static std::size_t recentSlot(std::int32_t ref) { return (std::uint32_t(ref) * 2654435761u) >> 20; }
  void forgetRecent(std::int32_t ref) {
    RecentPage& slot = recent[recentSlot(ref)];
    if (slot.ref == ref) slot = RecentPage{};
  }
  std::list<CachedPage*> cleanLeaves;
  std::list<CachedPage*> cleanInner;
  std::size_t cleanLeafBytes = 0;
  std::size_t cleanInnerBytes = 0;
  std::size_t cacheBudget;
  // The dirty pages, in no order; each knows its place (dirtySlot), so
  // that one leaves the list at once and a commit finds its pages without
  // looking through the whole cache.
  std::vector<CachedPage*> dirtyList;
  void listDirty(CachedPage* p);
  void unlistDirty(CachedPage* p);
  std::uint64_t lastUseSum = 0;
  std::uint64_t useClock = 0;
  // Reused by every page read: the slot's bytes and its expanded body, so
  // that a walk does not allocate (and zero) two page-sized buffers per page.
  Bytes readBuffer;
  Bytes expandBuffer;

  // Moves on whenever any cached page's records change or a page leaves the
  // cache. The last record a step found (its leaf and place) stays usable
  // while it has not moved, so a walk steps within the leaf instead of
  // descending from the root for every record.
  std::uint64_t leafVersion = 0;
  struct StepHint {
    CachedPage* leaf = nullptr;
    std::size_t index = 0;
    std::uint64_t version = 0;
  } lastStep;
  void rememberStep(CachedPage* leaf, std::size_t index) { lastStep = {leaf, index, leafVersion}; }
  // The record beside the one the last step found, when probe is that
  // record's key: +1 for the next, -1 for the previous.
  const TreeRecord* stepFromHint(ByteView probe, int direction);
  std::int32_t nextTemporary = kFirstTemporary;

  // Records rewritten by rewriteAll() since the last commit, newest version,
  // kept here rather than in their pages: a transaction that changes the same
  // few records in every operation (the counters) writes each into its page
  // once, when it commits. Every lookup sees them (an exact key here, any
  // other lookup after flushHeld()), and so does every change of their keys.
  struct KeyLess {
    using is_transparent = void;
    bool operator()(ByteView a, ByteView b) const { return compareKeys(a, b) < 0; }
  };
  std::map<Bytes, TreeRecord, KeyLess> held;
  // Writes the held records into their pages (before a commit, a walk or a
  // change that may meet them).
  void flushHeld();
  // Flushes when key may be one of the held records.
  void flushHeldFor(ByteView key) {
    if (!held.empty() && compareKeys(key, held.begin()->first) >= 0 && compareKeys(key, held.rbegin()->first) <= 0)
      flushHeld();
  }

  // An unfinished write found at refresh: home offset -> offset of its pending copy.
  bool pendingFound = false;
  bool pendingReadable = false;
  std::map<std::uint64_t, std::uint64_t> pendingCopies;
  FileHeader newestHeader;

  // Between the two halves of a commit: pages still to be written home.
  bool firstHalfDone = false;
  bool readersLocked = false;
  std::vector<std::pair<std::uint64_t, Bytes>> homeWrites;
  std::uint32_t finalDataEnd = 0;

  ContainerHooks& hook() { return hooks ? *hooks : noHooks; }

  // --- I/O (container_commit.cpp)
  class WriteRun;
  void readBlock(std::uint64_t offset, std::uint8_t* buffer, std::size_t length);
  void writeBlock(std::uint64_t offset, const std::uint8_t* data, std::size_t length);
  void flushFile();
  void writeHeaderAt0(const FileHeader& h);
  FileHeader readHeaderAt0(bool* shortFile);
  static std::uint64_t endOfData(const FileHeader& h);
  void refuseUnaddressable(const std::vector<CachedPage*>& dirty, std::uint64_t committedEnd);
  static bool regionsValid(const FileHeader& h);
  static bool fitsInFile(const FileHeader& h, std::uint64_t fileSize);
  void scanPendingArea();
  void recover();
  void unlockReaders();
  void restoreHeader(const FileHeader& h);
  // Before the first change of an operation: an unfinished write found by a
  // read-only refresh is completed first.
  void beginChange();
  void dropCleanPages();
  void forgetEverything();

  // --- pages and cache (container.cpp)
  CachedPage* getPage(std::int32_t ref);
  CachedPage* childOf(const CachedPage& parent, std::size_t index);
  CachedPage* newPage(std::uint8_t level);
  CachedPage* adopt(std::unique_ptr<CachedPage> p);  // p->dirty says which kind it is
  void touch(CachedPage* p);
  void dropPage(std::int32_t ref);
  void dropDirtyPages();
  void clearCache();
  void setDirty(CachedPage* p);
  void setClean(CachedPage* p);
  void listClean(CachedPage* p);
  void unlistClean(CachedPage* p);
  CachedPage* nextToDrop() const;
  void markChanged(CachedPage* p);  // records changed
  void markMoved(CachedPage* p);    // only its place or child references changed
  void trimCache();
  bool treeEmpty() const;
  int classOfReference(std::int32_t ref) const;
  std::vector<CachedPage*> dirtyPages();

  // --- tree (container.cpp)
  static bool exceedsLimits(CachedPage& p);
  // Puts record into p's subtree; NOT_INSERTED when the key is there already.
  enum class Inserted { NOT_INSERTED, INSIDE, FIRST };  // FIRST: before every key of the subtree
  Inserted insertInto(CachedPage* p, TreeRecord&& record);
  void splitChildren(CachedPage* parent, std::size_t index);
  void growRoot();
  bool eraseFrom(CachedPage* p, ByteView key, std::vector<CachedPage*>& emptied);
  const TreeRecord* firstGreater(CachedPage* p, ByteView probe);
  const TreeRecord* lastLessOrEqual(CachedPage* p, ByteView probe);
  const TreeRecord* lastLess(CachedPage* p, ByteView probe);
  std::pair<CachedPage*, std::size_t> findParent(CachedPage* target);
  std::pair<CachedPage*, std::size_t> leafHolding(ByteView key);
  bool overwriteInPlace(CachedPage* p, std::size_t at, TreeRecord&& record);

  // --- allocation (container_alloc.cpp)
  std::uint32_t gapAbove(int region) const;
  void movePage(std::int32_t from, std::int32_t to, int newClass);
  void freeSlot(std::int32_t ref, int sizeClass);
  void freePages(const std::vector<CachedPage*>& pages);
  bool roomBelow(int region, std::uint32_t units);
  void roomAbove(int region, std::uint32_t units);
  std::int32_t allocate(int sizeClass);
  void relocate(CachedPage* p, int sizeClass);
  // Returns the dirty pages, placed, in the order dirtyPages() gives.
  std::vector<CachedPage*> placeDirtyPages();
};

}  // namespace glimra::datafile
