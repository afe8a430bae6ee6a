// SPDX-License-Identifier: GPL-3.0-or-later
// Files found by fuzzing that once made the engine loop, crash or run out of
// memory, replayed: every walk over them must move strictly onwards and end,
// the integrity check must finish and report the damage, and a write must be
// refused rather than grow the file.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "container_support.h"
#include "datafile/datafile.h"
#include "datafile/file_check.h"
#include "datafile/table_catalog.h"

namespace glimra::datafile::testing {
namespace {

// Puts the test file name into fs as path and returns its bytes.
Bytes loadTestFile(FaultFileSystem& fs, const std::string& name, const std::string& path) {
  std::ifstream in(std::string(GLIMRA_TEST_DATA) + "/" + name, std::ios::binary);
  Bytes image(std::istreambuf_iterator<char>(in), {});
  EXPECT_FALSE(image.empty()) << name;
  fs.setContents(path, image);
  return image;
}

// A leaf whose records are out of order: a walk that stepped to the record
// beside the previous one went back and forth over it for ever.
TEST(DamagedFileWalk, StepsOverAnUnorderedLeafMoveStrictlyOnwards) {
  FaultFileSystem fs;
  loadTestFile(fs, "unordered-leaf-walk.dat", "damaged.dat");
  {
    OpenFile f(fs, "damaged.dat");
    ASSERT_EQ(f.openResult, 0);
    for (bool forward : {true, false}) {
      try {
        TreeRecord r;
        bool more = forward ? f->findFirst(&r) : f->findLast(&r);
        for (int steps = 0; more; ++steps) {
          ASSERT_LT(steps, 100000) << "the walk does not end";
          const Bytes previous(r.key().begin(), r.key().end());
          more = forward ? f->findFirstGreater(previous, &r) : f->findLastLess(previous, &r);
          if (more) {
            ASSERT_EQ(compareKeys(r.key(), previous), forward ? 1 : -1) << "step " << steps;
          }
        }
      } catch (const InternalError&) {
        // Damage found on the way is a fine end too.
      }
    }
  }
  EXPECT_FALSE(checkDataFile(fs, "damaged.dat").sound());
}

// A header whose pages end far past the end of the file (here near 4 GB):
// the open walked the pages that are there, then its first write went to the
// header's end of data and grew the file to that size. What is there is still
// read; every write is refused with the damage number and changes nothing.
TEST(DamagedFileWalk, AFileShorterThanItsHeaderSaysIsReadButNotWritten) {
  FaultFileSystem fs;
  const Bytes image = loadTestFile(fs, "header-beyond-file-end.dat", "short.dat");
  OpenFile f(fs, "short.dat");
  ASSERT_EQ(f.openResult, 0);
  ASSERT_GT(f->endOfData(), image.size()) << "the case needs a header that names pages past the end";
  try {
    readAll(*f);
  } catch (const InternalError&) {
    // Pages past the end cannot be read: damage, reported.
  }
  for (int attempt = 0; attempt < 2; ++attempt) {
    try {
      f->insert(makeRecord("new", "record"));
      f->commit();
      ADD_FAILURE() << "a write into a file cut short was taken";
    } catch (const InternalError& e) {
      EXPECT_EQ(e.number, 2172);
    }
    f->discardChanges();
  }
  EXPECT_EQ(fs.contents("short.dat"), image);

  // The same file cut from a sound one: every byte it had is still readable
  // through the records that lie in it, and nothing is written.
  FaultFileSystem sound;
  {
    OpenFile g(sound, "cut.dat", true);
    for (int i = 0; i < 40; ++i) g->insert(makeRecord("k" + std::to_string(100 + i), std::string(300, 'x')));
    g->commit();
  }
  Bytes cut = sound.contents("cut.dat");
  {
    OpenFile whole(sound, "cut.dat");
    cut.resize(whole->endOfData() - 256);  // the last page's last 256 bytes are gone
  }
  sound.setContents("cut.dat", cut);
  OpenFile g(sound, "cut.dat");
  ASSERT_EQ(g.openResult, 0);
  EXPECT_THROW(g->erase(view("k100")), InternalError);
  EXPECT_EQ(sound.contents("cut.dat"), cut);
}

// A memo piece stored where its key does not lead (the tree out of order):
// writing a record's memo found the stale piece, could not erase it by its
// key, and found it again for ever. Every table of the file takes an ADD
// that ends, with the damage reported.
TEST(DamagedFileWalk, APieceItsKeyDoesNotLeadToEndsTheWriteWithDamage) {
  FaultFileSystem fs;
  loadTestFile(fs, "misplaced-memo-piece.dat", "memo.dat");
  std::vector<std::string> tables;
  {
    OpenFile f(fs, "memo.dat");
    ASSERT_EQ(f.openResult, 0);
    for (const TableEntry& t : listTables(*f)) tables.push_back(t.name);
  }
  ASSERT_FALSE(tables.empty());
  int damaged = 0;
  for (const std::string& table : tables) {
    DataFile file(fs);
    file.setName("memo.dat\\!" + table);
    if (file.open(OpenMode{0x22}) != 0) continue;
    if (file.add() == 90 && file.fileErrorCode() == "1896") ++damaged;
    file.close();
  }
  EXPECT_GT(damaged, 0);
}

}  // namespace
}  // namespace glimra::datafile::testing
