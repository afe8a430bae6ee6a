// SPDX-License-Identifier: GPL-3.0-or-later
// Share modes and locks met through the record layer by another process: a
// collection file open for writing with deny write keeps a second writer out
// and lets a reader open and walk it. No hooks are set: every DataFile runs
// under the driver's.
#include <gtest/gtest.h>

#include "datafile_fixture.h"
#include "locks_support.h"

namespace glimra::datafile::testing {
namespace {

TEST(LockedDataFile, DenyWriteKeepsASecondWriterOutAndLetsAReaderRead) {
  TempDir dir;
  const std::string path = dir.file("collection.glm");
  const TableDeclaration declaration = itemDeclaration();
  Item buffer{};
  {
    DataFile file;
    file.declare(declaration, &buffer);
    file.setName(path);
    ASSERT_EQ(file.create(), 0) << file.errorText();
    ASSERT_EQ(file.open(OpenMode{0x22}), 0) << file.errorText();
    for (int i = 0; i < 20; ++i) {
      buffer = item("star" + std::to_string(i), i);
      ASSERT_EQ(file.add(), 0) << file.errorText();
    }
    file.close();
  }
  Pipe ready, done;
  Child owner([&] {
    DataFile file;
    Item own{};
    file.declare(declaration, &own);
    file.setName(path);
    if (file.open(OpenMode{0x22}) != 0) return 2;
    ready.send('R');
    done.receive();
    own = item("late", 99);
    return file.add() == 0 ? 0 : 3;
  });
  ASSERT_EQ(ready.receive(), 'R');
  auto openAs = [&](unsigned mode) {
    auto file = std::make_unique<DataFile>();
    file->declare(declaration, &buffer);
    file->setName(path);
    file->open(OpenMode{mode});
    return file;
  };
  EXPECT_EQ(openAs(0x22)->errorCode(), 5);
  EXPECT_EQ(openAs(0x42)->errorCode(), 5);
  auto reader = openAs(0x40);
  ASSERT_EQ(reader->errorCode(), 0) << reader->errorText();
  EXPECT_EQ(reader->records(), 20u);
  EXPECT_EQ(walk(*reader, NUMBERKEY).size(), 20u);
  done.send('D');
  EXPECT_EQ(owner.wait(), 0);
  EXPECT_EQ(reader->records(), 21u) << "the reader sees the owner's later commit";
}

}  // namespace
}  // namespace glimra::datafile::testing
