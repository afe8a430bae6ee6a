// SPDX-License-Identifier: GPL-3.0-or-later
// Entered series sizes: a second table of the collection file, written beside
// the open collection through its open, surviving a power cut at any step and
// a reopen, and leaving the collection's own table exactly as it was.
#include "collection/series_sizes.h"

#include <gtest/gtest.h>

#include "collection/collection_check.h"
#include "collection/glimra_file.h"
#include "datafile/cut_sweep.h"
#include "datafile/fault_file.h"
#include "datafile/temp_dir.h"
#include "hand_made_collection.h"

namespace glimra::collection {
namespace {

using datafile::FaultFileSystem;
using datafile::UnflushedWrites;

const std::vector<testing::Ornament> ORNAMENTS = {
    {"Angel", "Tree", "Bells", "1", "15.50"}, {"Bell", "Tree", "Bells", "3"}, {"Drum", "", "Drums", "2"}};

// Every record of the collection table, by record number, with its bytes.
std::string collectionRecords(datafile::FileSystem& fs, const std::string& path) {
  GlRecord buffer;
  datafile::DataFile file(fs);
  file.declare(glimraDeclaration(), &buffer);
  file.setName(path);
  if (file.open(datafile::READ_ONLY_DENY_NONE) != 0) return "cannot open: " + datafile::describeError(file);
  std::string out;
  file.setFile();
  while (file.next() == 0) {
    const GlRecordImage image = toImage(buffer);
    out += std::to_string(file.pointer()) + ":" + std::string(image.begin(), image.end());
  }
  return out;
}

std::string sizesText(datafile::FileSystem& fs, const std::string& path) {
  SeriesSizes sizes(fs);
  if (sizes.open(path, datafile::READ_ONLY_DENY_NONE) != 0) return "cannot open: " + datafile::describeError(sizes.file());
  SeriesSizeMap map;
  if (sizes.read(&map) != 0) return "cannot read: " + datafile::describeError(sizes.file());
  std::string out;
  for (const auto& [series, size] : map) out += series + "=" + std::to_string(size) + " ";
  return out;
}

// What the collector enters, one entry at a time, with the collection open
// for writing as the program keeps it: the first entry creates the table.
const struct Entry {
  const char* series;
  std::int32_t size;
} ENTRIES[] = {{"Bells", 12}, {"drums", 4}, {"BELLS", 10}, {"Drums", 0}};
// The sizes after each number of entries made.
const char* const STATES[] = {"", "BELLS=12 ", "BELLS=12 DRUMS=4 ", "BELLS=10 DRUMS=4 ", "BELLS=10 "};

TEST(SeriesSizes, EnteredBesideTheOpenCollectionAndReadBackAfterAReopen) {
  datafile::testing::TempDir dir;
  const std::string path = dir.file("TREE.GLM"), plain = dir.file("PLAIN.GLM");
  testing::writeCollection(path, ORNAMENTS);
  testing::writeCollection(plain, ORNAMENTS);
  auto& fs = datafile::posixFileSystem();
  EXPECT_EQ(sizesText(fs, path), "") << "a file without the table has no sizes";
  {
    GlRecord GL;
    datafile::DataFile GLIMRA;
    GLIMRA.declare(glimraDeclaration(), &GL);
    GLIMRA.setName(path);
    ASSERT_EQ(GLIMRA.open(datafile::READ_WRITE_DENY_WRITE), 0);
    SeriesSizes sizes;
    ASSERT_EQ(sizes.open(path, datafile::READ_WRITE_DENY_WRITE), 0) << datafile::describeError(sizes.file());
    for (std::size_t i = 0; i < std::size(ENTRIES); ++i) {
      ASSERT_EQ(sizes.enter(ENTRIES[i].series, ENTRIES[i].size), 0) << datafile::describeError(sizes.file());
      SeriesSizeMap map;
      ASSERT_EQ(sizes.read(&map), 0);
      EXPECT_EQ(map.size(), i == 1 || i == 2 ? 2u : 1u);
    }
  }
  EXPECT_EQ(sizesText(fs, path), STATES[std::size(ENTRIES)]);
  // The collection's own table is the one written without sizes, record for
  // record and byte for byte, and the whole file passes the check.
  EXPECT_EQ(collectionRecords(fs, path), collectionRecords(fs, plain));
  const datafile::FileCheckReport report = checkCollectionFile(fs, path);
  EXPECT_TRUE(report.sound()) << report.summary();
}

TEST(SeriesSizes, APowerCutAtAnyStepLeavesTheSizesBeforeOrAfterAnEntry) {
  FaultFileSystem planted;
  testing::writeCollection("TREE.GLM", ORNAMENTS, planted);
  const auto image = planted.contents("TREE.GLM");
  const std::string records = collectionRecords(planted, "TREE.GLM");

  datafile::testing::CutSweep sweep;
  for (std::size_t entry = 0; entry < std::size(ENTRIES); ++entry) {
    // The entry as the program makes it after the earlier ones, cut at step `cut`.
    auto run = [&](FaultFileSystem& disk, std::uint64_t cut) {
      disk.setContents("TREE.GLM", image);
      GlRecord GL;
      datafile::DataFile GLIMRA(disk);
      GLIMRA.declare(glimraDeclaration(), &GL);
      GLIMRA.setName("TREE.GLM");
      SeriesSizes sizes(disk);
      if (GLIMRA.open(datafile::READ_WRITE_DENY_WRITE) != 0 || sizes.open("TREE.GLM", datafile::READ_WRITE_DENY_WRITE) != 0)
        return false;
      for (std::size_t i = 0; i < entry; ++i)
        if (sizes.enter(ENTRIES[i].series, ENTRIES[i].size) != 0) return false;
      disk.resetCounters();
      disk.plan.crashAfter = cut;
      sizes.enter(ENTRIES[entry].series, ENTRIES[entry].size);
      return true;
    };
    FaultFileSystem counting;
    ASSERT_TRUE(run(counting, datafile::FaultPlan::kNever));
    const std::uint64_t steps = counting.steps();
    sweep.over(steps + 1, [&](std::uint64_t cut, UnflushedWrites mode) -> std::string {
      FaultFileSystem disk;
      if (!run(disk, cut)) return "the entries before the cut failed";
      disk.reboot(mode, static_cast<std::uint32_t>(cut) + 3);
      const std::string found = sizesText(disk, "TREE.GLM");
      if (found != STATES[entry] && found != STATES[entry + 1])
        return "sizes '" + found + "', expected '" + STATES[entry] + "' or '" + STATES[entry + 1] + "'";
      if (collectionRecords(disk, "TREE.GLM") != records) return "the collection table changed";
      const datafile::FileCheckReport report = checkCollectionFile(disk, "TREE.GLM");
      if (!report.sound()) return report.problems.empty() ? report.summary() : report.problems[0];
      return "";
    }, std::string("entry ") + std::to_string(entry + 1));
  }
  sweep.expectSound(20, "series sizes");
}

}  // namespace
}  // namespace glimra::collection
