// SPDX-License-Identifier: GPL-3.0-or-later
// Several tables of one file in one program: while the collection is open
// read/write deny-write, a second table of the same file is created, opened
// for writing and changed beside it, through the same open (handle, locks,
// transaction); another process is refused as before. A transaction that
// spans both tables commits as one write: cut at every step, both tables
// show the state before it or both the state after.
#include <gtest/gtest.h>

#include "datafile/fault_file.h"
#include "datafile/file_check.h"
#include "datafile_fixture.h"
#include "locks_support.h"

namespace glimra::datafile::testing {
namespace {

struct Table {
  Item buffer{};
  DataFile file;
  Table(FileSystem& fs, const std::string& name) : file(fs) {
    static const TableDeclaration declaration = itemDeclaration();
    file.declare(declaration, &buffer);
    file.setName(name);
  }
  int add(const std::string& name, int number) {
    buffer = item(name, number);
    return file.add();
  }
  // The name of the record numbered `number` in the number key, or "".
  std::string nameOf(int number) {
    buffer.number = number;
    return file.getByKey(NUMBERKEY) == 0 ? trimmed(buffer.name, sizeof buffer.name) : "";
  }
};

// The collection (the file's unnamed table) with `records` items.
void plantCollection(FileSystem& fs, const std::string& path, int records) {
  Table t(fs, path);
  ASSERT_EQ(t.file.create(), 0) << describeError(t.file);
  ASSERT_EQ(t.file.open(OpenMode{0x22}), 0) << describeError(t.file);
  for (int i = 1; i <= records; ++i) ASSERT_EQ(t.add("orn" + std::to_string(i), i), 0);
}

TEST(SharedTables, ASecondTableIsWrittenBesideTheOpenCollectionAndOtherProcessesAreRefused) {
  TempDir dir;
  const std::string path = dir.file("tree.glm");
  const std::string sizesName = path + "\\!SIZES";
  plantCollection(posixFileSystem(), path, 3);

  auto collection = std::make_unique<Table>(posixFileSystem(), path);
  ASSERT_EQ(collection->file.open(OpenMode{0x22}), 0);
  Table sizes(posixFileSystem(), sizesName);
  ASSERT_EQ(sizes.file.create(), 0) << "CREATE beside the open collection: " << describeError(sizes.file);
  ASSERT_EQ(sizes.file.open(OpenMode{0x22}), 0) << "OPEN for writing beside it: " << describeError(sizes.file);
  ASSERT_EQ(sizes.add("small", 1), 0) << describeError(sizes.file);
  ASSERT_EQ(collection->add("orn4", 4), 0) << describeError(collection->file);
  EXPECT_EQ(collection->file.records(), 4u);
  EXPECT_EQ(sizes.file.records(), 1u);

  // Further opens in this program: another table joins the open when the open
  // already grants what it asks; the same table twice stays two opens.
  const struct {
    const char* table;
    unsigned mode;
    int expected;
  } opens[] = {
      {"\\!SIZES2", 0x22, 0},  // read/write, deny write: as the open itself
      {"\\!SIZES2", 0x42, 0},  // deny none asks less
      {"\\!SIZES2", 0x40, 0},  // read only
      {"\\!SIZES2", 0x12, 5},  // deny all asks more than the open denies
      {"", 0x22, 5},           // the collection a second time
  };
  {
    Table more(posixFileSystem(), path + "\\!SIZES2");
    ASSERT_EQ(more.file.create(), 0) << describeError(more.file);
  }
  for (const auto& o : opens) {
    SCOPED_TRACE(::testing::Message() << o.table << " 0x" << std::hex << o.mode);
    Table t(posixFileSystem(), path + o.table);
    EXPECT_EQ(t.file.open(OpenMode{o.mode}), o.expected) << describeError(t.file);
    if (o.expected == 0) EXPECT_EQ(t.file.records(), 0u);
  }

  // Another process is refused a writing open of either table, as before,
  // and reads both.
  Pipe pipe;
  Child child([&] {
    Table otherSizes(posixFileSystem(), sizesName), otherCollection(posixFileSystem(), path);
    if (otherSizes.file.open(OpenMode{0x22}) != 5) return 1;
    if (otherCollection.file.open(OpenMode{0x42}) != 5) return 2;
    if (otherSizes.file.open(OpenMode{0x40}) != 0 || otherSizes.file.records() != 1) return 3;
    return 0;
  });
  ASSERT_TRUE(child.started());
  EXPECT_EQ(child.wait(), 0) << "1: sizes opened for writing, 2: collection opened for writing, 3: not readable";

  // The second table keeps the file when the collection closes, and the
  // collection joins it again.
  collection.reset();
  ASSERT_EQ(sizes.add("large", 2), 0) << describeError(sizes.file);
  collection = std::make_unique<Table>(posixFileSystem(), path);
  ASSERT_EQ(collection->file.open(OpenMode{0x22}), 0) << describeError(collection->file);
  EXPECT_EQ(collection->nameOf(4), "orn4");
  ASSERT_EQ(sizes.file.close(), 0);
  ASSERT_EQ(collection->file.close(), 0);
  const FileCheckReport report = checkDataFile(posixFileSystem(), path);
  EXPECT_TRUE(report.sound()) << report.summary();
  EXPECT_EQ(report.tables, 3u);
}

// LOGOUT on one table takes the other tables of the file into the
// transaction; ROLLBACK or COMMIT on any of them ends it for all.
TEST(SharedTables, TablesOfOneFileShareItsTransaction) {
  FaultFileSystem disk;
  plantCollection(disk, "shop.glm", 2);
  Table collection(disk, "shop.glm"), sizes(disk, "shop.glm\\!SIZES");
  ASSERT_EQ(collection.file.open(OpenMode{0x22}), 0);
  ASSERT_EQ(sizes.file.create(), 0) << describeError(sizes.file);
  ASSERT_EQ(sizes.file.open(OpenMode{0x22}), 0);

  ASSERT_EQ(collection.file.logout(), 0);
  EXPECT_TRUE(sizes.file.inTransaction()) << "the other table of the file is in it too";
  ASSERT_EQ(collection.add("gone", 3), 0);
  ASSERT_EQ(sizes.add("gone", 1), 0);
  ASSERT_EQ(sizes.file.rollback(), 0);
  EXPECT_FALSE(collection.file.inTransaction());
  EXPECT_EQ(collection.file.records(), 2u);
  EXPECT_EQ(sizes.file.records(), 0u);

  ASSERT_EQ(sizes.file.logout(), 0);
  ASSERT_EQ(collection.add("kept", 3), 0);
  ASSERT_EQ(sizes.add("kept", 1), 0);
  EXPECT_EQ(sizes.add("twice", 1), 40) << "a refused ADD leaves the transaction as it was";
  EXPECT_TRUE(collection.file.inTransaction());
  ASSERT_EQ(collection.file.commit(), 0);
  EXPECT_FALSE(sizes.file.inTransaction()) << "COMMIT on one table ends it for all";
  EXPECT_EQ(collection.nameOf(3), "kept");
  EXPECT_EQ(sizes.nameOf(1), "kept");
  EXPECT_EQ(sizes.file.records(), 1u);
}

TEST(SharedTables, ATransactionOverTwoTablesIsCutAtEveryStepAllBeforeOrAllAfter) {
  const UnflushedWrites reboots[] = {UnflushedWrites::Dropped, UnflushedWrites::Kept,
                                     UnflushedWrites::TornAtSectors};
  FaultFileSystem planted;
  plantCollection(planted, "shop.glm", 3);
  {
    Table sizes(planted, "shop.glm\\!SIZES");
    ASSERT_EQ(sizes.file.create(), 0);
    ASSERT_EQ(sizes.file.open(OpenMode{0x22}), 0);
    ASSERT_EQ(sizes.add("small", 1), 0);
    ASSERT_EQ(sizes.add("medium", 2), 0);
  }
  const auto image = planted.contents("shop.glm");
  std::uint64_t cuts = 0;
  for (const UnflushedWrites reboot : reboots) {
    for (std::uint64_t cut = 0;; ++cut) {
      SCOPED_TRACE(::testing::Message() << "reboot " << int(reboot) << ", cut after step " << cut);
      FaultFileSystem disk;
      disk.setContents("shop.glm", image);
      bool reachedEnd = false;
      {
        Table collection(disk, "shop.glm"), sizes(disk, "shop.glm\\!SIZES");
        ASSERT_EQ(collection.file.open(OpenMode{0x22}), 0);
        ASSERT_EQ(sizes.file.open(OpenMode{0x22}), 0) << describeError(sizes.file);
        ASSERT_EQ(DataFile::logout({&collection.file, &sizes.file}), 0);
        for (Table* t : {&collection, &sizes}) {
          ASSERT_EQ(t->add("new", 9), 0) << describeError(t->file);
          t->buffer.number = 1;
          ASSERT_EQ(t->file.getByKey(NUMBERKEY), 0);
          t->buffer = item("renamed", 1);
          ASSERT_EQ(t->file.put(), 0) << describeError(t->file);
        }
        disk.resetCounters();
        disk.plan.crashAfter = cut;
        EXPECT_EQ(sizes.file.commit(), 0) << "a crash is not a failure the program sees";
        reachedEnd = !disk.crashed();
        EXPECT_FALSE(disk.exists("datafile.tcf")) << "one file: an ordinary commit, no control file";
      }
      ++cuts;
      disk.reboot(reboot, std::uint32_t(cut) + 5);
      int after = 0;
      for (const char* name : {"shop.glm", "shop.glm\\!SIZES"}) {
        Table t(disk, name);
        ASSERT_EQ(t.file.open(OpenMode{0x22}), 0) << name << ": " << describeError(t.file);
        const std::string first = t.nameOf(1);
        const bool hasNew = t.nameOf(9) == "new";
        const bool isAfter = hasNew && first == "renamed";
        const bool isBefore = !hasNew && first != "renamed";
        ASSERT_TRUE(isAfter || isBefore) << name << ": first '" << first << "', new record " << hasNew;
        after += isAfter;
      }
      EXPECT_TRUE(after == 0 || after == 2) << "one table committed, the other not";
      const FileCheckReport report = checkDataFile(disk, "shop.glm");
      EXPECT_TRUE(report.sound()) << (report.problems.empty() ? report.summary() : report.problems[0]);
      if (reachedEnd) {
        EXPECT_EQ(after, 2);
        break;
      }
    }
  }
  EXPECT_GT(cuts, 9u);
}

}  // namespace
}  // namespace glimra::datafile::testing
