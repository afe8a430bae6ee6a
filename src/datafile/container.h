// SPDX-License-Identifier: GPL-3.0-or-later
// The file container: the 512-byte header, pages in 59 size classes, the one
// B+-tree of all records, page allocation in packed regions, the page cache and
// the write-ahead commit with recovery.
//
// Invariants kept across every committed state:
//  - every region is packed (no holes) and the regions lie in class order;
//  - every page's stored size rounds up to its region's class;
//  - records are in unsigned byte-wise key order, keys are unique, and every
//    separator is a copy of the first key of its child's subtree.
//
// Errors: structural faults throw InternalError (numbered as the file format
// defines them, internal_errors.h); OS failures throw OsFailure. Neither leaves the engine: the
// record layer's guarded entry point turns them into error codes.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "datafile/bytes.h"
#include "datafile/internal_errors.h"
#include "datafile/os_file.h"

namespace glimra::datafile {

// The OS refused a read, write, flush or lock. code is the OS error (errno);
// a short write counts as 5. text, when set, says more than the OS's text for
// code (a write the file's format cannot hold fails with EFBIG and says why).
struct OsFailure {
  int code;
  std::string text = {};
};

// A wait for locks another program holds was given up (the process's lock
// wait observer said so, locks.h). Thrown by a hook before the commit writes
// anything, so the file keeps its last commit and the changes stay in memory
// for the caller to drop.
struct LockWaitGivenUp {};

// The header's offsets are 32-bit: the data and the redo area of a commit
// must end at or below the last page boundary they can name (512 + 256 ×
// 16,777,213 bytes). A commit that would go past it fails with EFBIG before
// it writes anything, so the file keeps its last committed state.
constexpr std::uint64_t kAddressableFileEnd = 0xFFFFFF00u;

// Hooks through which locking and transactions (a higher layer) take part in
// the container's protocol. The defaults do nothing and roll forward.
class ContainerHooks {
 public:
  virtual ~ContainerHooks() = default;
  // Around the writing part of a commit: keep readers out. May throw
  // LockWaitGivenUp before anything is written.
  virtual void lockReadersForCommit() {}
  virtual void unlockReadersAfterCommit() {}
  // Recovery found a pending area. The pending copies are readable through the
  // container while this runs (find() etc. see the pending state). Return
  // true to roll the write forward, false to roll it back.
  virtual bool allowRollForward(class Container&) { return true; }
  // Every block written to or read from the file passes through these
  // (in place, whole 64-byte blocks); used by the file cipher.
  virtual void encipher(std::uint8_t*, std::size_t) {}
  virtual void decipher(std::uint8_t*, std::size_t) {}
};

class Container {
 public:
  // The container does not own the file; the caller keeps it open while the
  // container lives. hooks may be null.
  Container(OsFile& file, ContainerHooks* hooks = nullptr);
  ~Container();
  Container(const Container&) = delete;
  Container& operator=(const Container&) = delete;

  // Reads the header. A zero-length file opens as new and empty; 1..511 bytes
  // or a wrong magic (or a region table out of order) return 36 ("Invalid
  // Data File"). Returns 0 on success.
  int open();

  // At the start of every operation: reload the header when changeCount moved
  // (dropping cached pages), and find a pending area. When forWrite is set an
  // unfinished write is completed (rolled forward or back) first.
  void refresh(bool forWrite);

  // Tells whether another open of the file may write to it (true unless the
  // share mode denies writing to everyone else). When none may, refresh()
  // reads the header only until it has it: nothing else can move it on.
  void setOthersMayWrite(bool othersMayWrite);

  // Lookups. Each returns false when there is no such record.
  bool find(ByteView key, TreeRecord* out);                 // exact key
  bool findFirstGreater(ByteView probe, TreeRecord* out);   // first key > probe
  bool findLastLessOrEqual(ByteView probe, TreeRecord* out);
  bool findLastLess(ByteView probe, TreeRecord* out);        // last key < probe
  bool findFirst(TreeRecord* out);
  bool findLast(TreeRecord* out);
  // The same lookups without the copy: the record where it lies in the page
  // cache, or nullptr. Valid only until the next call on this container (any
  // call may load pages and let this one go).
  const TreeRecord* peek(ByteView key);
  const TreeRecord* peekFirstGreater(ByteView probe);
  const TreeRecord* peekLastLess(ByteView probe);

  // Changes, kept in memory until commit(). insert() of a present key throws
  // DUPLICATE_KEY; erase() returns false when the key is absent.
  void insert(const TreeRecord& record);
  void insert(TreeRecord&& record);
  // The same in one descent for a key that may be present: false, changing
  // nothing, when it is.
  bool insertIfAbsent(TreeRecord&& record);
  bool erase(ByteView key);
  // Erases a record a walk has just found. When its key does not lead back
  // to it the tree is out of order: FOUND_RECORD_LOST (a loop that erases
  // what it finds would otherwise find the same record for ever).
  void eraseFound(ByteView key);
  // Erase (if present) then insert; a record of the same key and length is
  // overwritten where it stands.
  void replace(const TreeRecord& record);
  void replace(TreeRecord&& record);
  // Changes the records of keys (ascending) through edit(i, record), given a
  // copy of the record of keys[i]. A record that keeps its key and length is
  // rewritten in its page, and keys that lie in one leaf share its descent;
  // otherwise this is a replace. Returns which keys were present (absent ones
  // are left alone). An edit that throws leaves the keys before it
  // rewritten (the caller's operation is then dropped as a whole).
  std::vector<bool> rewriteAll(const std::vector<Bytes>& keys,
                               const std::function<void(std::size_t, TreeRecord&)>& edit);

  // Issues the next record number (big-endian counter in the header).
  std::uint32_t newRecordNumber();
  std::uint32_t lastRecordNumber() const;
  void setLastRecordNumber(std::uint32_t number);

  // True when there are uncommitted changes.
  bool dirty() const;
  // Pages currently waiting to be written (for build checkpoints).
  std::size_t dirtyPageCount() const;
  // Pages held in memory, dirty or clean.
  std::size_t cachedPageCount() const;

  // The memory the page cache may keep clean pages in: the least recently
  // used are let go beyond it, but never below 20 pages (dirty pages always
  // stay until the commit). Takes effect at the next operation.
  static constexpr std::size_t kDefaultCacheBytes = std::size_t(4) << 20;
  void setCacheBytes(std::size_t bytes);
  std::size_t cacheBytes() const;
  // The bytes the clean pages in the cache hold now.
  std::size_t cachedCleanBytes() const;

  // The whole write-ahead commit. Does nothing when nothing is dirty. A
  // commit whose data or redo area would end past kAddressableFileEnd throws
  // OsFailure{EFBIG} and writes nothing.
  void commit();
  // The commit in two halves, for multi-file transactions: the first writes
  // the pending area and announces it in the header, the second writes the
  // pages home and finalizes the header. Both do nothing when nothing is dirty.
  void commitFirstHalf();
  void commitSecondHalf();
  // Throws away the announced pending area of a first half that will not be
  // finished (header gets dataEnd = pendingEnd = end of data).
  void discardPendingArea();
  // Drops every uncommitted change (transaction rollback, failed operation).
  void discardChanges();

  // Truncates the file right after the end of its data.
  void truncateToDataEnd();

  const FileHeader& header() const;
  std::uint64_t endOfData() const;
  // The length of the file now (OsFailure when the OS cannot tell).
  std::uint64_t fileBytes() const;

  // For integrity checking: visits every page reachable from the root with its
  // reference, level, class and records; throws InternalError on damage.
  struct PageInfo {
    std::int32_t reference;
    int level;
    int sizeClass;
    std::uint16_t storedSize;
    std::uint16_t expandedSize;
    std::uint16_t sizeBound;
    bool compressed;
    std::vector<TreeRecord> records;
    std::vector<std::int32_t> children;
  };
  void walkPages(const std::function<void(const PageInfo&)>& visit);

  // For a reader that looks at every page once (the text search): hands each
  // page of the file to visit in file order, as the deciphered bytes of its
  // slot (its class x 256 bytes; class given), reading many pages per read
  // and leaving the page cache alone. Returns false, visiting nothing, when
  // the file on disk is not what the tree holds: uncommitted changes, or an
  // unfinished write found at refresh; walk the tree then. The bytes are
  // valid only during the call of visit.
  bool visitStoredPages(const std::function<void(const std::uint8_t* slot, int sizeClass)>& visit);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace glimra::datafile
