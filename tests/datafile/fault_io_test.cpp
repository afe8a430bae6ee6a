// SPDX-License-Identifier: GPL-3.0-or-later
// I/O faults during a commit: a failed or short write, a failed flush, a full
// disk. Each surfaces as OsFailure. A fault before the redo log is announced
// leaves the last committed state; a fault after it leaves a complete redo
// log, which the next writing operation replays.
#include <gtest/gtest.h>

#include <cerrno>

#include "container_support.h"

namespace glimra::datafile::testing {
namespace {

struct Scenario {
  Bytes committedBytes;
  Model before, after;
  std::uint64_t writesToAnnounce = 0, flushesToAnnounce = 0;  // counted from the start of the commit
  std::uint64_t totalWrites = 0, totalFlushes = 0;
};

void change(Container& c) {
  c.refresh(true);
  for (int i = 0; i < 60; ++i) c.replace(makeRecord("new" + std::to_string(i), std::string(200 + i, char('a' + i % 26))));
  for (int i = 0; i < 40; i += 3) c.erase(view("old" + std::to_string(i)));
  c.replace(makeRecord("old5", std::string(3000, 'r') + "x"));
}

Scenario makeScenario() {
  Scenario s;
  FaultFileSystem fs;
  OpenFile f(fs, "io.dat", true);
  for (int i = 0; i < 40; ++i) f->insert(makeRecord("old" + std::to_string(i), std::string(400, char('A' + i % 26))));
  f->commit();
  s.committedBytes = fs.contents("io.dat");
  s.before = readAll(*f);
  change(*f);
  fs.resetCounters();
  f->commitFirstHalf();
  s.writesToAnnounce = fs.writes();
  s.flushesToAnnounce = fs.flushes();
  f->commitSecondHalf();
  s.totalWrites = fs.writes();
  s.totalFlushes = fs.flushes();
  s.after = readAll(*f);
  return s;
}

// Runs the change against the committed file with the plan armed; returns the
// OS code of the failure (0 when none), the state the same container sees at
// its next writing operation, and the state a fresh open sees.
struct Outcome {
  int code = 0;
  Model sameContainer, reopened;
};

Outcome runWithFault(const Scenario& s, const FaultPlan& plan) {
  Outcome out;
  FaultFileSystem fs;
  fs.setContents("io.dat", s.committedBytes);
  OpenFile f(fs, "io.dat");
  change(*f);
  fs.resetCounters();
  fs.plan = plan;
  try {
    f->commit();
  } catch (const OsFailure& e) {
    out.code = e.code;
    f->discardChanges();
  }
  fs.plan = FaultPlan{};
  try {
    f->refresh(true);
    out.sameContainer = readAll(*f);
    checkInvariants(*f);
    OpenFile again(fs, "io.dat");
    again->refresh(true);
    out.reopened = readAll(*again);
    checkInvariants(*again);
  } catch (const InternalError& e) {
    ADD_FAILURE() << "internal error " << e.number << " after the fault";
  }
  return out;
}

TEST(FaultIo, FailedOrShortWritesAtEveryPosition) {
  const Scenario s = makeScenario();
  // At least the new pages, the pending area with its header copy, and the
  // announcing header (adjacent pages go out in one write).
  ASSERT_GE(s.writesToAnnounce, 3u);
  ASSERT_GT(s.totalWrites, s.writesToAnnounce);
  for (std::uint64_t w = 1; w <= s.totalWrites; ++w) {
    for (bool shortWrite : {false, true}) {
      FaultPlan plan;
      (shortWrite ? plan.shortWrite : plan.failWrite) = w;
      const Outcome o = runWithFault(s, plan);
      const Model& expected = w <= s.writesToAnnounce ? s.before : s.after;
      const std::string where = std::string(shortWrite ? "short" : "failed") + " write " + std::to_string(w);
      EXPECT_EQ(o.code, EIO) << where;  // a short write counts as 5
      EXPECT_TRUE(o.sameContainer == expected) << where;
      EXPECT_TRUE(o.reopened == expected) << where;
    }
  }
}

TEST(FaultIo, FailedFlushAtEveryPosition) {
  const Scenario s = makeScenario();
  for (std::uint64_t n = 1; n <= s.totalFlushes; ++n) {
    FaultPlan plan;
    plan.failFlush = n;
    const Outcome o = runWithFault(s, plan);
    const Model& expected = n <= s.flushesToAnnounce ? s.before : s.after;
    EXPECT_EQ(o.code, EIO) << "flush " << n;
    EXPECT_TRUE(o.sameContainer == expected) << "flush " << n;
    EXPECT_TRUE(o.reopened == expected) << "flush " << n;
  }
}

TEST(FaultIo, FullDiskKeepsTheCommittedStateAndTheFileRecovers) {
  const Scenario s = makeScenario();
  FaultPlan plan;
  plan.capacity = s.committedBytes.size();
  const Outcome o = runWithFault(s, plan);
  EXPECT_EQ(o.code, ENOSPC);
  EXPECT_TRUE(o.sameContainer == s.before);
  EXPECT_TRUE(o.reopened == s.before);
  // Once there is room again the same change goes through.
  FaultFileSystem fs;
  fs.setContents("io.dat", s.committedBytes);
  OpenFile f(fs, "io.dat");
  change(*f);
  fs.plan.capacity = s.committedBytes.size();
  EXPECT_THROW(f->commit(), OsFailure);
  fs.plan = FaultPlan{};
  f->commit();
  OpenFile again(fs, "io.dat");
  EXPECT_TRUE(readAll(*again) == s.after);
}

}  // namespace
}  // namespace glimra::datafile::testing
