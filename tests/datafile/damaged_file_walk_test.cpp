// Files found by fuzzing that once made the engine loop or crash, replayed:
// every walk over them must move strictly onwards and end, and the integrity
// check must finish and report the damage.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "container_support.h"
#include "datafile/file_check.h"

namespace glimra::datafile::testing {
namespace {

Bytes readTestFile(const std::string& name) {
  std::ifstream in(std::string(GLIMRA_TEST_DATA) + "/" + name, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A leaf whose records are out of order: a walk that stepped to the record
// beside the previous one went back and forth over it for ever.
TEST(DamagedFileWalk, StepsOverAnUnorderedLeafMoveStrictlyOnwards) {
  const Bytes image = readTestFile("unordered-leaf-walk.dat");
  ASSERT_FALSE(image.empty());
  FaultFileSystem fs;
  fs.setContents("damaged.dat", image);
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

}  // namespace
}  // namespace glimra::datafile::testing
