// SPDX-License-Identifier: GPL-3.0-or-later
// Power cuts at scale: a long workload on the collection file (adds, puts,
// deletes and transactions of several of them) is cut at every write and
// every flush of every unit of work; after the reboot the writes not yet
// flushed are kept, dropped, or torn at 512-byte sectors. Each time the file
// must open, read as the state before or after the interrupted unit (so no
// committed unit is lost and no half unit shows), pass the integrity check,
// and take a further ADD that leaves it sound.
//
// Each unit starts from the disk image the previous one left, so a cut costs
// one unit, not the whole workload. GLIMRA_RELIABILITY_OPS sets the size.
#include <gtest/gtest.h>

#include <iostream>

#include "datafile/fault_file.h"
#include "cut_sweep.h"
#include "datafile/file_check.h"
#include "reliability_support.h"

namespace glimra::datafile::testing {
namespace {

const std::string PATH = "crash.GLM";

struct Reference {
  std::vector<std::vector<std::uint8_t>> images;    // disk before unit i (and after the last)
  std::vector<std::uint64_t> digests;               // what a reader sees, same indexing
  std::vector<LiveRecords> live;                    // live records before unit i
  std::vector<std::uint64_t> steps;                 // writes + flushes of unit i
};

Reference referenceRun(const Workload& w) {
  Reference r;
  FaultFileSystem fs;
  {
    CollectionFile f(fs, PATH);
    EXPECT_EQ(f.file.create(), 0);
    EXPECT_EQ(f.file.open(), 0);
    r.digests.push_back(digestOf(f));
  }
  LiveRecords live;
  for (const WorkUnit& u : w.units) {
    r.images.push_back(fs.contents(PATH));
    r.live.push_back(live);
    CollectionFile f(fs, PATH);
    EXPECT_EQ(f.file.open(), 0);
    fs.resetCounters();
    EXPECT_EQ(runUnit(f, w, u, live), 0) << describeError(f.file);
    r.steps.push_back(fs.steps());
    r.digests.push_back(digestOf(f));
    EXPECT_EQ(f.file.close(), 0);
  }
  r.images.push_back(fs.contents(PATH));
  return r;
}

TEST(ReliabilityCrash, EveryCutOfALongWorkloadKeepsACommittedConsistentFile) {
  const std::size_t operations = envSize("GLIMRA_RELIABILITY_OPS", 40);
  const Workload w = makeWorkload(operations, envSize("GLIMRA_RELIABILITY_SEED", 5));
  const Reference ref = referenceRun(w);
  ASSERT_FALSE(HasFailure());

  CutSweep sweep;
  for (std::size_t i = 0; i < w.units.size(); ++i) {
    if (i % 50 == 0 && i > 0)
      std::cerr << "[ reliability ] unit " << i << " of " << w.units.size() << ", cuts so far: " << sweep.cutPoints
                << "\n";
    const bool goOn = sweep.over(ref.steps[i], [&](std::uint64_t cut, UnflushedWrites mode) -> std::string {
      FaultFileSystem fs;
      fs.setContents(PATH, ref.images[i]);
      {
        CollectionFile f(fs, PATH);
        if (f.file.open() != 0) return "open before the cut: " + describeError(f.file);
        fs.resetCounters();
        fs.plan.crashAfter = cut;
        LiveRecords live = ref.live[i];
        runUnit(f, w, w.units[i], live);  // the program does not notice the cut
      }
      fs.reboot(mode, static_cast<std::uint32_t>(cut * 3 + i));

      CollectionFile f(fs, PATH);
      if (f.file.open() != 0) return "open: " + describeError(f.file);
      const std::uint64_t seen = digestOf(f);
      if (seen != ref.digests[i] && seen != ref.digests[i + 1]) return "neither before nor after";
      const std::uint32_t records = f.file.records();
      f.buffer = w.ornaments[cut % w.ornaments.size()];
      if (f.file.add() != 0) return "add after the cut: " + describeError(f.file);
      if (f.file.records() != records + 1) return "add after the cut not counted";
      f.file.close();
      const FileCheckReport report = checkDataFile(fs, PATH);
      if (!report.sound()) return "check: " + (report.problems.empty() ? report.summary() : report.problems[0]);
      return "";
    }, "unit " + std::to_string(i));
    if (!goOn) break;
  }
  std::cout << "[ reliability ] " << w.operations << " operations (" << w.seriesOperations
            << " on SERIES, with memos) in " << w.units.size() << " units, " << sweep.cutPoints
            << " cuts (3 reboot modes), " << sweep.failures << " failures\n";
  // Every unit writes and flushes at least once: a sweep with fewer cuts than
  // that counted no steps and proved nothing.
  sweep.expectSound(2 * sweep.modes.size() * w.units.size(), "reliability workload");
}

}  // namespace
}  // namespace glimra::datafile::testing
