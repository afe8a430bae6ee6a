// SPDX-License-Identifier: GPL-3.0-or-later
// The power-cut sweep the crash tests share: a piece of work is cut after
// each of its steps (the writes, truncations and flushes the fault-injecting
// file system counts) in each reboot mode. The caller's trial runs the work up
// to the cut, reboots, looks at the file and says what it found wrong (""
// when nothing). The sweep counts the cut points, reports each failure with
// its place, gives up after a few, and fails a sweep that cut too seldom to
// show anything.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <iostream>
#include <string>
#include <vector>

#include "datafile/fault_file.h"

namespace glimra::datafile::testing {

inline const std::vector<UnflushedWrites> kEveryRebootMode = {UnflushedWrites::Kept, UnflushedWrites::Dropped,
                                                             UnflushedWrites::TornAtSectors};

// trial(cut, mode): what went wrong after a cut after step `cut` and a reboot
// in `mode`; "" when the file came through.
using CutTrial = std::function<std::string(std::uint64_t cut, UnflushedWrites mode)>;

struct CutSweep {
  std::vector<UnflushedWrites> modes = kEveryRebootMode;
  int maxFailures = 10;
  std::uint64_t cutPoints = 0;
  int failures = 0;

  // Cuts after each of the first `steps` steps, in every mode; `work` names
  // the piece of work in failure messages. False once the sweep gave up.
  bool over(std::uint64_t steps, const CutTrial& trial, const std::string& work = "") {
    for (std::uint64_t cut = 0; cut < steps; ++cut) {
      for (UnflushedWrites mode : modes) {
        ++cutPoints;
        const std::string problem = trial(cut, mode);
        if (problem.empty()) continue;
        ADD_FAILURE() << work << (work.empty() ? "" : ", ") << "cut after step " << cut << " of " << steps
                      << ", reboot mode " << int(mode) << ": " << problem;
        if (++failures >= maxFailures) return false;
      }
    }
    return true;
  }

  // The verdict: no failure, and at least minimumCutPoints cut points.
  void expectSound(std::uint64_t minimumCutPoints, const std::string& label) const {
    std::cout << "[ cuts     ] " << label << ": " << cutPoints << " cut points (" << modes.size()
              << " reboot modes), " << failures << " failures\n";
    EXPECT_EQ(failures, 0);
    EXPECT_GE(cutPoints, minimumCutPoints) << "too few cut points to show anything";
  }
};

}  // namespace glimra::datafile::testing
