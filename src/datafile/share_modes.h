// SPDX-License-Identifier: GPL-3.0-or-later
// Share modes of an open data file, kept with lock bytes.
//
// An open names its access (read, write, read/write) and what it lets other
// opens do at the same time (deny none / compatibility, deny write, deny
// read, deny all). Here that is kept with byte-range locks that an open holds
// for as long as it is open, far above every lock byte of locks.h:
//
//   S = 0x200000000
//   S + 0 .. S + 1023   writer slots: an open for writing holds one, exclusively
//   S + 1024            deny-write byte: held shared by every open that denies
//                       writing (deny write, deny read, deny all)
//   S + 1025            open byte: held shared by every open
//   S + 1026            deny-read byte of opens for reading only (shared)
//   S + 1027            deny-read byte of opens for writing (exclusive)
//
// Deny read and deny all share nothing (every open reads), so they refuse any
// other open, as the container's own mapping of them does.
//
// Decision table: may a new open (column) join an existing one (row)?
//
//   existing \ new        read,none  write,none  read,deny-w  write,deny-w  deny read/all
//   read, deny none        yes        yes         yes          yes           no
//   write, deny none       yes        yes         no           no            no
//   read, deny write       yes        no          yes          no            no
//   write, deny write      yes        no          no           no            no
//   deny read / deny all   no         no          no           no            no
//   (compatibility counts as deny none; write-only access as write)
//
// A refused open fails with error 5 (sharing violation). The collection
// opens read/write with deny write, so a second program that opens it for
// writing is refused, while a reader (read, deny none) opens and reads.
//
// How an open finds the others: it first takes its own bytes, then probes
// those of the opens it conflicts with. Two opens racing each other thus see
// at least one of the two. A probe is a lock request that fails while another
// open holds the byte; a brief failure caused by another open's probe is
// told apart by repeating the probe for a short while.
//
// Limit: POSIX grants exclusive locks only on files opened for writing, and a
// shared lock cannot see another shared lock. Two opens that are both for
// reading only therefore cannot see each other: a read-only open with deny
// read or deny all keeps out writers, and is seen by them, but not other
// read-only opens.
#pragma once

#include <cstdint>

#include "datafile/os_file.h"

namespace glimra::datafile {

namespace share_bytes {
constexpr std::uint64_t kBase = 0x200000000ull;
constexpr std::uint32_t kWriterSlots = 1024;
constexpr std::uint64_t kDenyWrite = kBase + 1024;
constexpr std::uint64_t kOpen = kBase + 1025;
constexpr std::uint64_t kDenyReadShared = kBase + 1026;
constexpr std::uint64_t kDenyReadExclusive = kBase + 1027;
}  // namespace share_bytes

class ShareModeLock {
 public:
  ShareModeLock(OsFile& file, OpenMode mode);
  ~ShareModeLock() { release(); }
  ShareModeLock(const ShareModeLock&) = delete;
  ShareModeLock& operator=(const ShareModeLock&) = delete;

  // At open: 0, or 5 when another open's share mode refuses this one (or
  // this one's refuses another). An OS failure gives its error code.
  int acquire();
  // At close (the destructor does it too).
  void release();

  // Deny write, deny read and deny all keep every other writer out.
  bool deniesWrite() const;

 private:
  bool conflictWithOthers();
  bool writes() const;
  bool deniesRead() const;

  OsFile& file_;
  OpenMode mode_;
  bool held_ = false;
  std::int64_t writerSlot_ = -1;
};

}  // namespace glimra::datafile
