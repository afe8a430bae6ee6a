// SPDX-License-Identifier: GPL-3.0-or-later
// Power cuts during record operations: every ADD, PUT and DELETE changes a
// data record, several key entries and counters, and must reach the disk as
// one. A script of them is cut after every write and flush; after the reboot
// (unflushed writes kept, dropped or torn) the file must check sound and read
// as the state before or after the interrupted operation, never a mix.
#include <gtest/gtest.h>

#include <cerrno>

#include "cut_sweep.h"
#include "datafile/fault_file.h"
#include "datafile/file_check.h"
#include "datafile_fixture.h"

namespace glimra::datafile {
namespace {

using namespace testing;

const std::string PATH = "items.dat";

struct Step {
  enum Kind { Add, Put, Delete } kind;
  int target;  // Put/Delete: index of the added record (in add order)
  Item value;
};

std::vector<Step> script() {
  std::vector<Step> steps;
  for (int i = 0; i < 10; ++i)
    steps.push_back({Step::Add, 0, item("n" + std::to_string((i * 7) % 10), i, i * 1.5, i % 3 ? "c" + std::to_string(i) : "")});
  steps.push_back({Step::Put, 2, item("renamed", 102, -4, "")});
  steps.push_back({Step::Delete, 5, {}});
  steps.push_back({Step::Put, 7, item("n0", 7, 0.25, "zz")});
  steps.push_back({Step::Delete, 0, {}});
  steps.push_back({Step::Add, 0, item("last", 99, 1, "c99")});
  return steps;
}

// Everything a reader can see: each key and record order, with counts.
std::string snapshot(DataFile& file, Item& buffer) {
  std::string out;
  for (std::size_t k = 0; k <= CODEUNIQUE + 1; ++k) {
    const bool records = k == CODEUNIQUE + 1;
    if ((records ? file.setFile() : file.setKey(k)) != 0) return "set failed";
    while (file.next() == 0) out += std::to_string(file.pointer()) + ":" + trimmed(buffer.name, 8) + ",";
    if (file.errorCode() != 33) return "walk failed: " + file.errorText();
    out += "|" + std::to_string(records ? file.records() : file.records(k)) + "\n";
  }
  return out;
}

void run(FaultFileSystem& fs, const std::vector<Step>& steps, std::vector<std::uint64_t>* boundaries,
         std::vector<std::string>* states) {
  const TableDeclaration declaration = itemDeclaration();
  Item buffer{};
  DataFile file(fs);
  file.declare(declaration, &buffer);
  file.setName(PATH);
  ASSERT_EQ(file.open(), 0);
  std::vector<std::uint32_t> added;
  if (states) states->push_back(snapshot(file, buffer));
  for (const Step& step : steps) {
    if (boundaries) boundaries->push_back(fs.steps());
    if (step.kind == Step::Add) {
      buffer = step.value;
      ASSERT_EQ(file.add(), 0);
      added.push_back(file.pointer());
    } else {
      ASSERT_EQ(file.get(added[step.target]), 0);
      if (step.kind == Step::Put) {
        buffer = step.value;
        ASSERT_EQ(file.put(), 0);
      } else {
        ASSERT_EQ(file.erase(), 0);
      }
    }
    if (states) states->push_back(snapshot(file, buffer));
  }
  if (boundaries) boundaries->push_back(fs.steps());
}

void createEmpty(FaultFileSystem& fs) {
  const TableDeclaration declaration = itemDeclaration();
  Item buffer{};
  DataFile file(fs);
  file.declare(declaration, &buffer);
  file.setName(PATH);
  ASSERT_EQ(file.create(), 0);
  ASSERT_EQ(file.open(), 0);  // makes the counters exist, so the script's steps are only its own
  ASSERT_EQ(file.close(), 0);
  fs.resetCounters();
}

TEST(DataFileCrash, EveryCutLeavesTheStateBeforeOrAfterTheOperation) {
  const std::vector<Step> steps = script();
  std::vector<std::uint64_t> boundaries;
  std::vector<std::string> states;
  {
    FaultFileSystem fs;
    createEmpty(fs);
    run(fs, steps, &boundaries, &states);
  }
  const std::uint64_t total = boundaries.back();
  ASSERT_GT(total, steps.size());
  CutSweep sweep;
  sweep.maxFailures = 5;
  sweep.over(total, [&](std::uint64_t cut, UnflushedWrites mode) -> std::string {
    std::size_t op = 0;
    while (boundaries[op + 1] <= cut) ++op;
    FaultFileSystem fs;
    createEmpty(fs);
    fs.plan.crashAfter = cut;
    run(fs, steps, nullptr, nullptr);
    fs.reboot(mode, static_cast<std::uint32_t>(cut) + 3);

    const TableDeclaration declaration = itemDeclaration();
    Item buffer{};
    DataFile file(fs);
    file.declare(declaration, &buffer);
    file.setName(PATH);
    if (file.open() != 0) return "open: " + describeError(file);
    const std::string seen = snapshot(file, buffer);
    std::string problem;
    if (seen != states[op] && seen != states[op + 1])
      problem = "in step " + std::to_string(op) + " neither before nor after:\n" + seen;
    if (file.close() != 0) return "close: " + describeError(file);
    const FileCheckReport report = checkDataFile(fs, PATH);
    if (problem.empty() && !report.sound())
      problem = "check: " + (report.problems.empty() ? report.summary() : report.problems[0]);
    return problem;
  });
  sweep.expectSound(sweep.modes.size() * steps.size(), "record operations");
}

TEST(DataFileCrash, AFailedWriteIsReportedWithTheOsErrorAndChangesNothing) {
  FaultFileSystem fs;
  createEmpty(fs);
  const TableDeclaration declaration = itemDeclaration();
  Item buffer = item("kept", 1);
  DataFile file(fs);
  file.declare(declaration, &buffer);
  file.setName(PATH);
  ASSERT_EQ(file.open(), 0);
  ASSERT_EQ(file.add(), 0);
  fs.plan.failWrite = fs.writes() + 1;
  buffer = item("lost", 2);
  EXPECT_EQ(file.add(), 90);
  EXPECT_EQ(file.errorText(), "File System Error");
  EXPECT_EQ(file.fileErrorCode(), std::to_string(EIO));
  EXPECT_EQ(file.fileErrorText(), osErrorText(EIO));
  fs.plan = FaultPlan{};
  EXPECT_EQ(file.records(), 1u);
  EXPECT_EQ(snapshot(file, buffer).find("lost"), std::string::npos);
  buffer = item("later", 3);
  EXPECT_EQ(file.add(), 0) << "the file takes writes again";
  EXPECT_EQ(file.records(), 2u);
  ASSERT_EQ(file.close(), 0);
  EXPECT_TRUE(checkDataFile(fs, PATH).sound());
}

}  // namespace
}  // namespace glimra::datafile
