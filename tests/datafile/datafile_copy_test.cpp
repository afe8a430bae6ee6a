// SPDX-License-Identifier: GPL-3.0-or-later
// COPY of a whole file and of a table into another file, and how damage found
// by an operation is reported.
#include <gtest/gtest.h>

#include "datafile/record_kinds.h"
#include "datafile_fixture.h"

namespace glimra::datafile {
namespace {

using namespace testing;

std::vector<std::string> namesByKey(DataFile& file, Item& buffer, std::size_t key) {
  std::vector<std::string> out;
  EXPECT_EQ(file.setKey(key), 0);
  while (file.next() == 0) out.push_back(trimmed(buffer.name, 8) + "/" + std::to_string(buffer.number));
  return out;
}

TEST(DataFileCopy, WholeFileAndTableIntoAnotherFile) {
  TempDir dir;
  const TableDeclaration declaration = itemDeclaration();
  Item buffer{};
  DataFile source;
  source.declare(declaration, &buffer);
  source.setName(dir.file("source.dat"));
  ASSERT_EQ(source.create(), 0);
  ASSERT_EQ(source.open(), 0);
  for (int i = 0; i < 20; ++i) {
    buffer = item("s" + std::to_string(i), i, i * 0.5, i % 2 ? "c" + std::to_string(i) : "");
    ASSERT_EQ(source.add(), 0);
  }
  const auto expected = namesByKey(source, buffer, NAMEKEY);

  // The whole file, as a file.
  ASSERT_EQ(source.copy(dir.file("whole.dat")), 0) << source.errorText();
  // The table into a file that already holds a table of its own, whose
  // record numbers overlap the source's.
  DataFile target;
  Item targetBuffer{};
  target.declare(declaration, &targetBuffer);
  target.setName(dir.file("target.dat\\!mine"));
  ASSERT_EQ(target.create(), 0);
  ASSERT_EQ(target.open(), 0);
  for (int i = 0; i < 5; ++i) {
    targetBuffer = item("t" + std::to_string(i), 100 + i);
    ASSERT_EQ(target.add(), 0);
  }
  ASSERT_EQ(target.close(), 0);
  ASSERT_EQ(source.copy(dir.file("target.dat\\!copied")), 0) << source.errorText();
  // Copying again replaces the earlier copy.
  ASSERT_EQ(source.copy(dir.file("target.dat\\!copied")), 0) << source.errorText();

  for (const char* name : {"whole.dat", "target.dat\\!copied"}) {
    DataFile copy;
    Item copyBuffer{};
    copy.declare(declaration, &copyBuffer);
    copy.setName(dir.file(name));
    ASSERT_EQ(copy.open(), 0) << name << ": " << copy.errorText();
    EXPECT_EQ(namesByKey(copy, copyBuffer, NAMEKEY), expected) << name;
    EXPECT_EQ(copy.records(), 20u) << name;
    EXPECT_EQ(copy.records(CODEKEY), 10u) << name;
    // Records are added after the copy without colliding with its numbers.
    copyBuffer = item("new", 999);
    ASSERT_EQ(copy.add(), 0) << name;
    EXPECT_EQ(copy.records(), 21u);
  }
  target.setName(dir.file("target.dat\\!mine"));
  ASSERT_EQ(target.open(), 0);
  EXPECT_EQ(target.records(), 5u) << "the target's own table is untouched";
  EXPECT_EQ(namesByKey(target, targetBuffer, NAMEKEY).front(), "t0/100");

  DataFile missing;
  missing.setName(dir.file("nothing.dat"));
  EXPECT_EQ(missing.copy(dir.file("x.dat")), 2);
}

TEST(DataFileDamage, AnEntryWithoutItsRecordIsReportedAsCorruption) {
  TempDir dir;
  const TableDeclaration declaration = itemDeclaration();
  Item buffer = item("a", 1);
  DataFile file;
  file.declare(declaration, &buffer);
  file.setName(dir.file("damaged.dat"));
  ASSERT_EQ(file.create(), 0);
  ASSERT_EQ(file.open(), 0);
  ASSERT_EQ(file.add(), 0);
  // Remove the data record behind the layer's back.
  ASSERT_TRUE(file.container()->erase(dataRecordKey(file.tableNumber(), file.pointer())));
  file.container()->commit();

  ASSERT_EQ(file.setKey(NAMEKEY), 0);
  EXPECT_EQ(file.next(), 90);
  EXPECT_EQ(file.errorText(), "File System Error");
  EXPECT_EQ(file.fileErrorText(), "Possible data corruption in file");
  EXPECT_FALSE(file.fileErrorCode().empty());
  // The damage leaves the file usable for everything else.
  buffer = item("b", 2);
  EXPECT_EQ(file.add(), 0);
  EXPECT_EQ(file.close(), 0);
}

}  // namespace
}  // namespace glimra::datafile
