// The page cache: bounded while reading, never losing dirty pages, and dropped
// when another opener of the file commits.
#include <gtest/gtest.h>

#include "container_support.h"

namespace glimra::datafile::testing {
namespace {

Model fill(Container& c, int count, const std::string& tag) {
  Model model;
  for (int i = 0; i < count; ++i) {
    const std::string key = "r" + std::to_string(i * 7 % count);
    model[key] = tag + std::string(500 + i % 7 * 90, char('a' + i % 26)) + std::to_string(i);
    c.replace(makeRecord(key, model[key]));
  }
  return model;
}

TEST(ContainerCache, DirtyPagesStayAndCleanPagesAreBounded) {
  FaultFileSystem fs;
  Model model;
  {
    OpenFile f(fs, "big.dat", true);
    model = fill(*f, 3000, "v1");  // one commit of several hundred pages
    EXPECT_GT(f->dirtyPageCount(), 150u);
    f->commit();
    EXPECT_EQ(f->dirtyPageCount(), 0u);
  }
  OpenFile f(fs, "big.dat");
  EXPECT_EQ(readAll(*f), model);
  TreeRecord r;
  f->find(view("r1"), &r);
  EXPECT_LE(f->cachedPageCount(), 100u + 3);  // plus at most one path of the last lookup
  EXPECT_GE(f->cachedPageCount(), 20u);
  checkInvariants(*f);
}

TEST(ContainerCache, AnotherOpenersCommitIsSeenAtTheNextRefresh) {
  FaultFileSystem fs;
  { OpenFile seed(fs, "s.dat", true); }
  OpenFile writer(fs, "s.dat");
  OpenFile reader(fs, "s.dat");
  const Model first = fill(*writer, 400, "v1");
  writer->commit();
  reader->refresh(false);
  EXPECT_EQ(readAll(*reader), first);  // the reader's pages are now cached
  const Model second = fill(*writer, 400, "v2");
  writer->erase(view("r3"));
  writer->commitFirstHalf();
  reader->refresh(false);  // an announced write is read through its pending copies
  Model expected = second;
  expected.erase("r3");
  EXPECT_EQ(readAll(*reader), expected);
  writer->commitSecondHalf();
  reader->refresh(false);
  EXPECT_EQ(readAll(*reader), expected);
  checkInvariants(*reader);
}

}  // namespace
}  // namespace glimra::datafile::testing
