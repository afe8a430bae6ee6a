// SPDX-License-Identifier: GPL-3.0-or-later
// Power cuts: a script of inserts, replacements and deletes (each committed
// on its own) is cut after every single write and flush. After the reboot,
// unflushed writes are kept, dropped, or torn at 512-byte sectors. The file
// must then read as the state before or after the interrupted operation, the
// same before and after its next write completes the recovery, and must take
// further writes.
#include <gtest/gtest.h>

#include <iostream>
#include <random>

#include "container_support.h"
#include "cut_sweep.h"

namespace glimra::datafile::testing {
namespace {

struct Operation {
  enum Kind { Put, Erase } kind;
  std::string key, payload;
};

struct State {
  Model records;
  std::uint32_t lastNumber = 0;
  bool operator==(const State&) const = default;
};

std::vector<Operation> makeScript() {
  std::mt19937 random(42);
  std::vector<Operation> script;
  std::vector<std::string> keys;
  const std::size_t sizes[] = {8, 150, 900, 2600, 5000};
  auto payload = [&] {
    std::string p(sizes[random() % 5], ' ');
    for (char& c : p) c = random() % 3 ? char('a' + random() % 26) : 'z';
    return p;
  };
  for (int i = 0; i < 70; ++i) {
    const int choice = i < 25 ? 0 : int(random() % 3);
    if (choice == 0 || keys.empty()) {
      keys.push_back("key" + std::to_string(random() % 100000));
      script.push_back({Operation::Put, keys.back(), payload()});
    } else if (choice == 1) {
      script.push_back({Operation::Put, keys[random() % keys.size()], payload()});  // replacement
    } else {
      const std::size_t at = random() % keys.size();
      script.push_back({Operation::Erase, keys[at], {}});
      keys.erase(keys.begin() + std::ptrdiff_t(at));
    }
  }
  return script;
}

void apply(Container& c, const Operation& op) {
  c.refresh(true);
  if (op.kind == Operation::Put) {
    c.newRecordNumber();
    c.replace(makeRecord(op.key, op.payload));
  } else {
    c.erase(view(op.key));
  }
  c.commit();
}

State stateOf(Container& c) { return State{readAll(c), c.lastRecordNumber()}; }

// Runs the script against a fresh file system until the power cut.
void runUntilCut(FaultFileSystem& fs, const std::vector<Operation>& script, std::uint64_t cut) {
  fs.plan.crashAfter = cut;
  OpenFile f(fs, "crash.dat", true);
  for (const Operation& op : script) {
    apply(*f, op);
    if (fs.crashed()) return;
  }
}

TEST(FaultCrash, EveryCutLeavesTheStateBeforeOrAfterTheInterruptedOperation) {
  const std::vector<Operation> script = makeScript();
  // Reference run: the state after each operation and where its steps begin.
  std::vector<State> states{State{}};
  std::vector<std::uint64_t> stepsBefore;
  {
    FaultFileSystem fs;
    OpenFile f(fs, "crash.dat", true);
    for (const Operation& op : script) {
      stepsBefore.push_back(fs.steps());
      apply(*f, op);
      states.push_back(stateOf(*f));
    }
    stepsBefore.push_back(fs.steps());
    checkInvariants(*f);
  }
  const std::uint64_t totalSteps = stepsBefore.back();
  CutSweep sweep;
  sweep.over(totalSteps, [&](std::uint64_t cut, UnflushedWrites mode) -> std::string {
    std::size_t op = 0;
    while (stepsBefore[op + 1] <= cut) ++op;
    const State& before = states[op];
    const State& after = states[op + 1];
    FaultFileSystem fs;
    runUntilCut(fs, script, cut);
    fs.reboot(mode, std::uint32_t(cut) + 1);
    const std::string where = "operation " + std::to_string(op) + ": ";
    try {
      const Bytes onDisk = fs.contents("crash.dat");
      OpenFile f(fs, "crash.dat");
      if (f.openResult != 0) return where + "open: " + std::to_string(f.openResult);
      f->refresh(false);
      const State readOnly = stateOf(*f);
      const bool unchanged = fs.contents("crash.dat") == onDisk;
      f->refresh(true);
      const State recovered = stateOf(*f);
      const bool ok = unchanged && readOnly == recovered && (recovered == before || recovered == after);
      if (!ok)
        return where + "unchanged=" + std::to_string(unchanged) + " consistent=" +
               std::to_string(readOnly == recovered) + " before=" + std::to_string(recovered == before) +
               " after=" + std::to_string(recovered == after);
      checkInvariants(*f);
      // The file takes the next write, and stale pending bytes do not matter.
      f->newRecordNumber();
      f->insert(makeRecord("~probe", "x"));
      f->commit();
      State expected = recovered;
      expected.records["~probe"] = "x";
      expected.lastNumber += 1;
      OpenFile again(fs, "crash.dat");
      if (!(stateOf(*again) == expected)) return where + "next write lost";
      checkInvariants(*again);
    } catch (const InternalError& e) {
      return where + "internal error " + std::to_string(e.number);
    } catch (const OsFailure& e) {
      return where + "OS failure " + std::to_string(e.code);
    }
    return "";
  });
  ::testing::Test::RecordProperty("cutPoints", static_cast<int>(sweep.cutPoints));
  sweep.expectSound(sweep.modes.size() * 500, "container script");
  EXPECT_GT(totalSteps, 500u);
}

// A crash while recovery itself writes: the next attempt still recovers.
TEST(FaultCrash, CutDuringRecoveryIsRecoveredAgain) {
  const std::vector<Operation> script = makeScript();
  FaultFileSystem reference;
  State before, after;
  std::uint64_t announced = 0;
  {
    OpenFile f(reference, "crash.dat", true);
    for (int i = 0; i < 40; ++i) apply(*f, script[std::size_t(i)]);
    before = stateOf(*f);
    f->refresh(true);
    f->newRecordNumber();
    f->replace(makeRecord(script[40].key, script[40].payload));
    reference.resetCounters();
    f->commitFirstHalf();  // the redo log is announced; the pages never go home
    announced = reference.steps();
    EXPECT_GT(announced, 2u);
    after = before;
    after.records[script[40].key] = script[40].payload;
    after.lastNumber += 1;
  }
  const Bytes crashed = reference.contents("crash.dat");
  // How many steps does recovery take?
  std::uint64_t recoverySteps = 0;
  {
    FaultFileSystem fs;
    fs.setContents("crash.dat", crashed);
    OpenFile f(fs, "crash.dat");
    fs.resetCounters();
    f->refresh(true);
    recoverySteps = fs.steps();
    EXPECT_EQ(stateOf(*f), after);
  }
  ASSERT_GT(recoverySteps, 2u);
  CutSweep sweep;
  sweep.modes = {UnflushedWrites::Dropped, UnflushedWrites::TornAtSectors};
  sweep.over(recoverySteps, [&](std::uint64_t cut, UnflushedWrites mode) -> std::string {
    FaultFileSystem fs;
    fs.setContents("crash.dat", crashed);
    {
      OpenFile f(fs, "crash.dat");
      fs.plan.crashAfter = cut;
      f->refresh(true);
    }
    fs.reboot(mode, std::uint32_t(cut) + 7);
    OpenFile f(fs, "crash.dat");
    f->refresh(true);
    checkInvariants(*f);
    return stateOf(*f) == after ? "" : "the committed change is lost";
  });
  sweep.expectSound(sweep.modes.size() * 3, "recovery");
}

}  // namespace
}  // namespace glimra::datafile::testing
