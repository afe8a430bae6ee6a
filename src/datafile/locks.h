// SPDX-License-Identifier: GPL-3.0-or-later
// Locks of an open data file: the byte-range locks through which processes
// that share a file coordinate, and the application's file, record and hold
// locks built on them.
//
// Lock bytes (B = 0x80000000, far beyond any data):
//   B + 0 .. B + 1022     1023 reader slots; a reading operation locks one
//   B + 0, length 1023    every reader slot at once; a writer while it commits
//   B + 1023              the writer byte; a writing operation locks it
//   B + 1024 + n + 1      the lock byte of number n (a record number for
//                         record locks and holds, a table number for LOCK;
//                         both come from one counter, so they never coincide)
// The bytes of the share modes (share_modes.h) lie above all of these.
//
// What an open file locks follows its share mode:
//   deny none, compatibility  reading operation: a reader slot;
//                             writing operation: the writer byte;
//                             commit: the writer byte and every reader slot
//   deny write                reading operation: nothing (no other writer can
//                             exist); writing operation and commit: as above
//   deny read, deny all       nothing (no other open can exist)
// LOCK, HOLD and PUT's record lock work in every mode.
//
// Taking a lock: the request is repeated at once until it succeeds when the
// caller waits; a reader slot moves on to the next slot (mod 1023) after each
// failure, so a reader waits only while all 1023 slots are busy. The first
// slot of an open file is the time since program start in hundredths of a
// second, mod 1023.
//
// POSIX grants exclusive locks only on files opened for writing. A file opened
// for reading only therefore takes its locks shared: its reader slots still
// keep a committing writer out, but such readers never wait for one another,
// and their LOCK and HOLD keep out only processes that opened for writing.
//
// Invariants: each byte is locked at most once by this object (nested takers
// share it through counts, so an inner release never drops an outer lock);
// the destructor releases whatever is still held.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>

#include "datafile/os_file.h"

namespace glimra::datafile {

namespace lock_bytes {
constexpr std::uint64_t kBase = 0x80000000ull;
constexpr std::uint32_t kReaderSlots = 1023;
constexpr std::uint64_t kWriter = kBase + 1023;
constexpr std::uint64_t ofNumber(std::uint32_t n) { return kBase + 1024 + std::uint64_t(n) + 1; }
// One past the highest lock byte any number can have.
constexpr std::uint64_t kEnd = ofNumber(0xFFFFFFFFu) + 1;
}  // namespace lock_bytes

// What one lock request covers. A number's byte never goes together with a
// reader or writer lock in one request.
enum LockKind : unsigned {
  kReaderSlot = 0x1,
  kAllReaders = 0x2,
  kWriterByte = 0x4,
  kNumberByte = 0x8,
};

// Told while an operation waits for locks another program holds: first after
// a second of waiting, then about ten times a second (so that a program can
// keep a notice about the wait answering its user), with the data file's
// path and the time waited so far. It answers whether to go on waiting;
// false gives the wait up (the operation then fails with 32, "File Is Already
// Locked", having changed nothing). `ended` is told once when a wait the
// observer heard of is over: the lock taken or the wait given up. One for the
// whole process (a tool or a program sets it once); without one an operation
// waits for as long as it takes. With one, LOGOUT's time limit gives way to
// it: the observer decides how long LOGOUT waits.
using LockWaitObserver = std::function<bool(const std::string& path, std::chrono::seconds waited)>;
using LockWaitEnded = std::function<void(const std::string& path)>;
void setLockWaitObserver(LockWaitObserver observer, LockWaitEnded ended = {});

class FileLocks {
 public:
  enum class Policy { ReadersAndWriter, WriterOnly, None };
  static Policy policyOf(OpenMode mode);

  // path: the data file's, for the wait observer.
  FileLocks(OsFile& file, OpenMode mode, std::string path = {});
  ~FileLocks();
  FileLocks(const FileLocks&) = delete;
  FileLocks& operator=(const FileLocks&) = delete;

  Policy policy() const { return policy_; }
  std::uint32_t readerSlot() const { return slot_; }

  // Takes the locks of kinds (number: for kNumberByte). Returns true when
  // taken; false when busy and wait is false. A malformed request throws
  // InternalError 2328 or 2352; an OS failure throws OsFailure.
  bool take(unsigned kinds, std::uint32_t number, bool wait);
  void release(unsigned kinds, std::uint32_t number);

  // Releases the locks it was given when it goes out of scope.
  class Guard {
   public:
    Guard() = default;
    Guard(FileLocks* owner, unsigned kinds) : owner_(owner), kinds_(kinds) {}
    Guard(Guard&& other) noexcept : owner_(other.owner_), kinds_(other.kinds_) { other.owner_ = nullptr; }
    Guard& operator=(Guard&& other) noexcept;
    ~Guard() { reset(); }
    void reset();

   private:
    FileLocks* owner_ = nullptr;
    unsigned kinds_ = 0;
  };

  // The locks of one driver operation, waiting until they are free or, when
  // gaveUp is given, until the wait observer gives up (then an empty guard,
  // and *gaveUp is set).
  [[nodiscard]] Guard forOperation(bool writes, bool* gaveUp = nullptr);
  // Around the writing part of a commit (container hooks): readers out.
  // Throws LockWaitGivenUp when the wait observer gives the wait up.
  void lockForCommit();
  void unlockAfterCommit();
  // The writer byte, waiting up to deadline (none: forever), or, while a wait
  // observer is set, until it gives up. For a file that joins a transaction:
  // no other writer may commit under it meanwhile.
  bool takeWriterUntil(std::optional<std::chrono::steady_clock::time_point> deadline);
  void releaseWriter();

  // LOCK / UNLOCK of a table: 0, or 32 when another process holds it.
  int lockTable(std::uint32_t table);
  void unlockTable(std::uint32_t table);

  // HOLD arms a hold for the next record read (seconds < 0: no time limit).
  void armHold(int seconds);
  // A record was read: under an armed hold its byte is locked without
  // waiting. 0, or 43 when another process holds it (the hold stays armed, so
  // a step can be repeated). The record held before is released.
  int recordRead(std::uint32_t record);
  // For NEXT and PREVIOUS after 43: true while the hold's time limit, counted
  // from stepStart, has not passed.
  bool mayRepeatHeldStep(std::chrono::steady_clock::time_point stepStart) const;
  std::optional<std::uint32_t> heldRecord() const { return held_; }
  void releaseHold();  // RELEASE

  // PUT's record lock: 0, or 5 when another process holds it.
  int lockRecord(std::uint32_t record);
  void unlockRecord(std::uint32_t record);

 private:
  bool request(std::uint64_t offset, std::uint64_t length, bool wait);
  bool takeReaderSlot(bool wait);
  bool retainNumber(std::uint32_t number, bool wait);
  void releaseNumber(std::uint32_t number);

  OsFile& file_;
  std::string path_;
  Policy policy_;
  bool exclusive_;  // false: the file is open for reading only
  std::uint32_t slot_;
  int readerDepth_ = 0;
  int allReadersDepth_ = 0;
  int writerDepth_ = 0;
  std::map<std::uint32_t, int> numbers_;  // number byte -> holders in this object
  std::set<std::uint32_t> tables_;        // tables locked by LOCK
  bool holdArmed_ = false;
  int holdSeconds_ = -1;
  std::optional<std::uint32_t> held_;
};

}  // namespace glimra::datafile
