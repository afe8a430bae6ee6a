// SPDX-License-Identifier: GPL-3.0-or-later
// An import is one transaction: cut at every write, flush, rename and folder
// flush, a reboot shows the collection as it was or with every imported
// ornament, never a part; a failed or cancelled import leaves it as it was.
#include <gtest/gtest.h>

#include "collection/collection_check.h"
#include "collection/csv_import.h"
#include "collection/generator.h"
#include "cut_sweep.h"
#include "datafile/datafile.h"
#include "datafile/fault_file.h"

namespace glimra::datafile::testing {
namespace {

const std::string PATH = "XMAS.GLM";

std::vector<collection::ImportRow> madeUpRows(std::size_t count) {
  std::vector<collection::ImportRow> rows;
  for (const collection::GlRecord& r : collection::generateOrnaments(count, 9)) rows.push_back(collection::importRowOf(r));
  return rows;
}
constexpr std::size_t BEFORE = 5, IMPORTED = 120;

std::uint32_t recordsIn(FaultFileSystem& fs) {
  DataFile file(fs);
  file.setName(PATH);
  if (file.open(READ_ONLY_DENY_NONE) != 0) return 0;
  const std::uint32_t records = file.records();
  file.close();
  return records;
}

void makeCollection(FaultFileSystem& fs) {
  std::string error;
  ASSERT_EQ(collection::generateCollectionFile(PATH, BEFORE, 4, &error, fs), 0) << error;
}

TEST(ImportCrash, ACutAnywhereLeavesTheCollectionAsItWasOrWholeImported) {
  FaultFileSystem counting;
  makeCollection(counting);
  counting.resetCounters();
  ASSERT_TRUE(collection::importOrnaments(PATH, madeUpRows(IMPORTED), {}, counting).ok);
  const std::uint64_t steps = counting.steps();

  std::size_t oldSeen = 0, newSeen = 0;
  CutSweep sweep;
  sweep.over(steps + 1, [&](std::uint64_t cut, UnflushedWrites mode) -> std::string {
    FaultFileSystem fs;
    makeCollection(fs);
    fs.resetCounters();
    fs.plan.crashAfter = cut;
    collection::importOrnaments(PATH, madeUpRows(IMPORTED), {}, fs);
    fs.reboot(mode, std::uint32_t(cut) + 3);
    const FileCheckReport report = collection::checkCollectionFile(fs, PATH);
    if (!report.sound()) return report.problems.empty() ? report.summary() : report.problems[0];
    const std::uint32_t records = recordsIn(fs);
    if (records == 1 + BEFORE) ++oldSeen;
    else if (records == 1 + BEFORE + IMPORTED) ++newSeen;
    else return std::to_string(records) + " records: a part of the import";
    return "";
  }, "import");
  sweep.expectSound(steps, "import of " + std::to_string(IMPORTED) + " ornaments");
  EXPECT_GT(oldSeen, 0u);
  EXPECT_GT(newSeen, 0u);
}

TEST(ImportCrash, AFailedOrCancelledImportLeavesTheFileAsItWas) {
  FaultFileSystem fs;
  makeCollection(fs);
  const auto before = fs.contents(PATH);
  fs.resetCounters();
  fs.plan.failWrite = 2;
  collection::ImportResult result =
      collection::importOrnaments(PATH, madeUpRows(IMPORTED), {}, fs);
  EXPECT_FALSE(result.ok);
  EXPECT_NE(result.error.find("Nothing was imported"), std::string::npos) << result.error;
  fs.plan = FaultPlan{};
  EXPECT_EQ(recordsIn(fs), 1 + BEFORE);

  result = collection::importOrnaments(
      PATH, madeUpRows(IMPORTED * 10), [](std::size_t added, std::size_t) { return added < 500; },
      fs);
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.error, "The import was cancelled: nothing was imported.");
  EXPECT_EQ(recordsIn(fs), 1 + BEFORE);
  EXPECT_TRUE(collection::checkCollectionFile(fs, PATH).sound());
}

}  // namespace
}  // namespace glimra::datafile::testing
