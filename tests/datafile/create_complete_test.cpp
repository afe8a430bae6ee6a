// SPDX-License-Identifier: GPL-3.0-or-later
// Creating a collection is all or nothing: cut at every write, flush, rename
// and folder flush, a reboot shows the file that was there before or the
// whole new collection, never one without its header record.
#include <gtest/gtest.h>

#include "collection/collection_check.h"
#include "collection/generator.h"
#include "datafile/datafile.h"
#include "datafile/fault_file.h"

namespace glimra::datafile::testing {
namespace {

const std::string PATH = "made.GLM";

std::uint32_t recordsIn(FaultFileSystem& fs) {
  DataFile file(fs);
  file.setName(PATH);
  if (file.open(OpenMode{0x40}) != 0) return 0;
  const std::uint32_t records = file.records();
  file.close();
  return records;
}

TEST(CreateComplete, ACutAnywhereLeavesTheOldFileOrTheWholeNewOne) {
  constexpr std::size_t ORNAMENTS = 30;
  FaultFileSystem counting;
  std::string error;
  ASSERT_EQ(collection::generateCollectionFile(PATH, ORNAMENTS, 3, &error, counting), 0) << error;
  const std::uint64_t steps = counting.steps();
  ASSERT_GT(steps, 10u);

  std::size_t oldSeen = 0, newSeen = 0;
  for (const bool replacing : {false, true}) {
    for (const UnflushedWrites mode : {UnflushedWrites::Kept, UnflushedWrites::Dropped, UnflushedWrites::TornAtSectors}) {
      for (std::uint64_t cut = 0; cut <= steps; ++cut) {
        FaultFileSystem fs;
        std::vector<std::uint8_t> before;
        if (replacing) {
          ASSERT_EQ(collection::generateCollectionFile(PATH, 4, 8, &error, fs), 0) << error;
          before = fs.contents(PATH);
        }
        fs.resetCounters();
        fs.plan.crashAfter = cut;
        collection::generateCollectionFile(PATH, ORNAMENTS, 3, &error, fs);
        fs.reboot(mode, std::uint32_t(cut) + 11);
        const std::string where = "cut after step " + std::to_string(cut) + ", mode " + std::to_string(int(mode)) +
                                  (replacing ? ", replacing a file" : "");
        if (fs.exists(PATH) && fs.contents(PATH) != before) {
          const FileCheckReport report = collection::checkCollectionFile(fs, PATH);
          EXPECT_TRUE(report.sound()) << where << ": " << (report.problems.empty() ? report.summary() : report.problems[0]);
          EXPECT_EQ(recordsIn(fs), ORNAMENTS + 1) << where;
          ++newSeen;
        } else {
          EXPECT_EQ(fs.exists(PATH), replacing) << where;
          ++oldSeen;
        }
      }
    }
  }
  EXPECT_GT(oldSeen, 0u);
  EXPECT_GT(newSeen, 0u);
}

}  // namespace
}  // namespace glimra::datafile::testing
