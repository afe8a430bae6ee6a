// SPDX-License-Identifier: GPL-3.0-or-later
// Lock bytes of an open file: which bytes each share mode takes for reading,
// writing and committing, reader slots, the application's LOCK, HOLD and
// record locks, and the same locks met by other processes.
#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "datafile/container.h"
#include "datafile/locks.h"
#include "locks_support.h"

namespace glimra::datafile::testing {
namespace {

using Clock = std::chrono::steady_clock;

struct TwoOpens : ::testing::Test {
  TempDir dir;
  std::string path = dir.file("shared.dat");
  std::unique_ptr<OsFile> first = openReal(path, true, true);
  std::unique_ptr<OsFile> second = openReal(path, true);

  // Whether another open finds the writer byte / the reader range busy.
  std::pair<bool, bool> busyForOthers() {
    FileLocks other(*second, OpenMode{0x42});
    const bool writer = !other.take(kWriterByte, 0, false);
    if (!writer) other.release(kWriterByte, 0);
    const bool readers = !other.take(kAllReaders, 0, false);
    if (!readers) other.release(kAllReaders, 0);
    return {writer, readers};
  }
};

TEST_F(TwoOpens, EachShareModeTakesItsBytesForReadingWritingAndCommitting) {
  struct Case {
    unsigned mode;
    std::pair<bool, bool> reading, writing, committing;  // {writer byte busy, reader range busy}
  };
  const Case cases[] = {
      {0x42, {false, true}, {true, false}, {true, true}},    // deny none
      {0x02, {false, true}, {true, false}, {true, true}},    // compatibility
      {0x22, {false, false}, {true, false}, {true, true}},   // deny write
      {0x12, {false, false}, {false, false}, {false, false}},  // deny all
      {0x32, {false, false}, {false, false}, {false, false}},  // deny read
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    FileLocks locks(*first, OpenMode{c.mode});
    {
      auto guard = locks.forOperation(false);
      EXPECT_EQ(busyForOthers(), c.reading);
    }
    {
      auto guard = locks.forOperation(true);
      EXPECT_EQ(busyForOthers(), c.writing);
      locks.lockForCommit();
      EXPECT_EQ(busyForOthers(), c.committing);
      locks.unlockAfterCommit();
      EXPECT_EQ(busyForOthers(), c.writing) << "the commit must give back only what it took";
    }
    EXPECT_EQ(busyForOthers(), std::make_pair(false, false));
  }
}

// An open that holds a reader slot across a commit of its own (it reads
// while it writes) keeps that slot when the commit gives back the reader
// range: another open is refused the whole range, as a committer would be,
// until that reader ends.
TEST_F(TwoOpens, AReadersSlotOutlivesACommitOfTheSameOpen) {
  FileLocks locks(*first, OpenMode{0x42});
  ASSERT_TRUE(locks.take(kReaderSlot, 0, false));
  {
    auto writing = locks.forOperation(true);
    locks.lockForCommit();
    locks.unlockAfterCommit();
  }
  EXPECT_EQ(busyForOthers(), std::make_pair(false, true)) << "the reader still reads";
  locks.release(kReaderSlot, 0);
  EXPECT_EQ(busyForOthers(), std::make_pair(false, false));
}

TEST_F(TwoOpens, AReaderMovesToTheNextFreeSlot) {
  // Every slot but 600 is taken by the first open.
  ASSERT_EQ(first->lock(lock_bytes::kBase, 600, true), 0);
  ASSERT_EQ(first->lock(lock_bytes::kBase + 601, lock_bytes::kReaderSlots - 601, true), 0);
  FileLocks reader(*second, OpenMode{0x42});
  ASSERT_TRUE(reader.take(kReaderSlot, 0, true));
  EXPECT_EQ(reader.readerSlot(), 600u);
  reader.release(kReaderSlot, 0);
  // With every slot busy a reader that does not wait gives up, one slot on.
  ASSERT_EQ(first->lock(lock_bytes::kBase + 600, 1, true), 0);
  EXPECT_FALSE(reader.take(kReaderSlot, 0, false));
  EXPECT_EQ(reader.readerSlot(), 601u);
  // A committer needs every slot: one reader keeps it out.
  ASSERT_EQ(first->unlock(lock_bytes::kBase, lock_bytes::kReaderSlots), 0);
  ASSERT_TRUE(reader.take(kReaderSlot, 0, true));
  FileLocks writer(*first, OpenMode{0x42});
  EXPECT_FALSE(writer.take(kAllReaders, 0, false));
  reader.release(kReaderSlot, 0);
  EXPECT_TRUE(writer.take(kAllReaders, 0, false));
}

TEST_F(TwoOpens, NumberLockRequestedWithReaderOrWriterLockIsAnInternalError) {
  FileLocks locks(*first, OpenMode{0x42});
  const std::pair<unsigned, int> cases[] = {
      {kNumberByte | kReaderSlot, 2328}, {kNumberByte | kAllReaders, 2328}, {kNumberByte | kWriterByte, 2352}};
  for (const auto& [kinds, number] : cases) {
    try {
      locks.take(kinds, 12, false);
      ADD_FAILURE() << "no internal error for kinds " << kinds;
    } catch (const InternalError& e) {
      EXPECT_EQ(e.number, number);
    }
  }
}

TEST_F(TwoOpens, LockHoldAndRecordLocksOfAnotherOpen) {
  FileLocks mine(*first, OpenMode{0x42});
  FileLocks theirs(*second, OpenMode{0x42});
  // LOCK of a table.
  EXPECT_EQ(mine.lockTable(7), 0);
  EXPECT_EQ(mine.lockTable(7), 0) << "locking twice is harmless";
  EXPECT_EQ(theirs.lockTable(7), 32);
  EXPECT_EQ(theirs.lockTable(8), 0);
  mine.unlockTable(7);
  EXPECT_EQ(theirs.lockTable(7), 0);

  // HOLD: only the next record read is held, until RELEASE.
  EXPECT_EQ(mine.recordRead(100), 0) << "no hold armed";
  EXPECT_EQ(theirs.lockRecord(100), 0);
  theirs.unlockRecord(100);
  mine.armHold(1);
  EXPECT_EQ(mine.recordRead(100), 0);
  EXPECT_EQ(mine.heldRecord(), 100u);
  EXPECT_EQ(mine.recordRead(101), 0) << "the hold applied to one read only";
  EXPECT_EQ(theirs.lockRecord(101), 0);
  theirs.unlockRecord(101);
  // HOLD of a second record gives the first one back.
  mine.armHold(1);
  EXPECT_EQ(mine.recordRead(102), 0);
  EXPECT_EQ(mine.heldRecord(), 102u);
  EXPECT_EQ(theirs.lockRecord(100), 0) << "the record held before is free again";
  theirs.unlockRecord(100);
  EXPECT_EQ(theirs.lockRecord(102), 5);
  mine.armHold(1);
  EXPECT_EQ(mine.recordRead(100), 0);
  EXPECT_EQ(theirs.lockRecord(102), 0) << "holding 100 again gives 102 back";
  theirs.unlockRecord(102);
  EXPECT_EQ(theirs.lockRecord(100), 5) << "PUT meets the held record";
  theirs.armHold(1);
  EXPECT_EQ(theirs.recordRead(100), 43);
  EXPECT_TRUE(theirs.mayRepeatHeldStep(Clock::now())) << "still within the time limit";
  EXPECT_FALSE(theirs.mayRepeatHeldStep(Clock::now() - std::chrono::seconds(2)));
  // PUT of the record this open holds keeps the hold afterwards.
  EXPECT_EQ(mine.lockRecord(100), 0);
  mine.unlockRecord(100);
  EXPECT_EQ(theirs.recordRead(100), 43);
  mine.releaseHold();
  EXPECT_EQ(theirs.recordRead(100), 0);
  EXPECT_FALSE(theirs.mayRepeatHeldStep(Clock::now())) << "the hold is used up";
  // A hold without a time limit repeats for as long as it takes.
  mine.armHold(-1);
  EXPECT_EQ(mine.recordRead(100), 43);
  EXPECT_TRUE(mine.mayRepeatHeldStep(Clock::now() - std::chrono::hours(1)));
  // A table's lock byte and a record's are the same bytes for the same number.
  theirs.releaseHold();
  EXPECT_EQ(theirs.lockTable(100), 0);
  EXPECT_EQ(mine.lockRecord(100), 5);
}

// ------------------------------------------------------------ other processes

TEST(LocksAcrossProcesses, TheReaderAfter1023WaitsForASlotAndDoesNotFail) {
  TempDir dir;
  const std::string path = dir.file("readers.dat");
  openReal(path, true, true);
  Pipe reports;
  // Reports 'H' once it holds a slot (and holds it until killed); the last
  // reader also reports 'W' when its first request meets a busy slot.
  auto reader = [&](char report, bool reportsWaiting) {
    return [&, report, reportsWaiting] {
      int error = 0;
      auto real = posixFileSystem().open(path, true, false, &error);
      if (!real) return 2;
      BusyReportingFile file(*real, [&] {
        if (reportsWaiting) reports.send('W');
      });
      FileLocks locks(file, OpenMode{0x42});
      auto guard = locks.forOperation(false);
      reports.send(report);
      for (;;) ::pause();
    };
  };
  std::vector<std::unique_ptr<Child>> holders;
  for (std::uint32_t i = 0; i < lock_bytes::kReaderSlots; ++i) {
    holders.push_back(std::make_unique<Child>(reader('H', false)));
    ASSERT_TRUE(holders.back()->started());
  }
  for (std::uint32_t i = 0; i < lock_bytes::kReaderSlots; ++i) ASSERT_EQ(reports.receive(), 'H') << i;
  auto probe = openReal(path, true);
  FileLocks prober(*probe, OpenMode{0x42});
  EXPECT_FALSE(prober.take(kReaderSlot, 0, false)) << "every slot is held";
  auto freeSlots = [&] {
    std::uint32_t free = 0;
    for (std::uint32_t s = 0; s < lock_bytes::kReaderSlots; ++s)
      if (probe->lock(lock_bytes::kBase + s, 1, true) == 0) ++free, probe->unlock(lock_bytes::kBase + s, 1);
    return free;
  };
  EXPECT_EQ(freeSlots(), 0u);

  Child last(reader('A', true));
  ASSERT_EQ(reports.receive(), 'W') << "the 1024th reader meets every slot busy";
  holders[517]->kill();
  holders[517]->wait();
  EXPECT_EQ(reports.receive(), 'A') << "it waits and takes the slot that came free";
  EXPECT_EQ(freeSlots(), 0u) << "the slot that came free is the last reader's now";
}

TEST(LocksAcrossProcesses, LockAndHoldOfAnotherProcess) {
  TempDir dir;
  const std::string path = dir.file("held.dat");
  openReal(path, true, true);
  Pipe ready, go;
  Child other([&] {
    int error = 0;
    auto file = posixFileSystem().open(path, true, false, &error);
    FileLocks locks(*file, OpenMode{0x42});
    if (locks.lockTable(5) != 0) return 2;
    locks.armHold(0);
    if (locks.recordRead(77) != 0) return 3;
    ready.send('R');
    // The other process says when its step has met the hold.
    if (go.receive() != 'G') return 4;
    locks.releaseHold();
    ready.send('F');
    for (;;) ::pause();
  });
  ASSERT_EQ(ready.receive(), 'R');
  auto file = openReal(path, true);
  FileLocks locks(*file, OpenMode{0x42});
  EXPECT_EQ(locks.lockTable(5), 32);
  EXPECT_EQ(locks.lockRecord(77), 5);

  // NEXT under HOLD with a limit of one second: repeated until the limit.
  locks.armHold(1);
  const auto start = Clock::now();
  int result = 0, attempts = 0;
  do {
    ++attempts;
    result = locks.recordRead(77);
  } while (result == 43 && locks.mayRepeatHeldStep(start));
  EXPECT_EQ(result, 43);
  EXPECT_GT(attempts, 1);
  EXPECT_GE(Clock::now() - start, std::chrono::seconds(1));

  // With a longer limit the step is repeated until the holder releases,
  // which it does once the step has met its hold.
  locks.armHold(30);
  const auto second = Clock::now();
  result = locks.recordRead(77);
  EXPECT_EQ(result, 43) << "the record is still held";
  go.send('G');
  while (result == 43 && locks.mayRepeatHeldStep(second)) result = locks.recordRead(77);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(ready.receive(), 'F');
  EXPECT_EQ(locks.heldRecord(), 77u);
}

}  // namespace
}  // namespace glimra::datafile::testing
