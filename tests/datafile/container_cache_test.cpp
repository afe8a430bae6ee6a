// SPDX-License-Identifier: GPL-3.0-or-later
// The page cache: bounded while reading, never losing dirty pages, and dropped
// when another opener of the file commits.
#include <gtest/gtest.h>

#include <map>
#include <random>

#include "datafile/page_table.h"

#include "container_support.h"
#include "datafile_fixture.h"

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

// The table of cached pages against a map, through growth, removals that
// shift a stretch of pages back (also across the table's end), pages put in
// place of others, and references a size class apart, negative ones (pages
// not yet placed) among them.
TEST(ContainerCache, PageTableFindsWhatAMapFinds) {
  struct Page {
    std::int32_t ref;
    int value;
  };
  // A wide range of references makes the table grow; a narrow one of 960
  // scattered references keeps it at its first size and nearly half full,
  // where stretches of pages often run across its end.
  for (const int range : {3000, 960}) {
    SCOPED_TRACE(range);
    PageTable<Page> table;
    std::map<std::int32_t, int> model;
    std::mt19937 random(11);
    std::vector<std::int32_t> scattered(range);
    for (std::int32_t& ref : scattered) ref = std::int32_t(random() % 1000000);
    for (int step = 0; step < 200000; ++step) {
      const bool wide = range == 3000;
      const int stride = 1 + int(random() % 4) * 16;
      const std::int32_t ref = wide ? std::int32_t(random() % range) * stride - (random() % 8 == 0 ? 40000 : 0)
                                    : scattered[random() % range];
      switch (random() % 3) {
        case 0:
          table.insert(std::make_unique<Page>(Page{ref, step}));
          model[ref] = step;
          break;
        case 1: {
          const std::unique_ptr<Page> page = table.extract(ref);
          ASSERT_EQ(page != nullptr, model.erase(ref) == 1) << ref;
          break;
        }
        default: {
          const Page* page = table.find(ref);
          const auto it = model.find(ref);
          ASSERT_EQ(page != nullptr, it != model.end()) << ref;
          if (page) ASSERT_EQ(page->value, it->second);
        }
      }
      ASSERT_EQ(table.size(), model.size());
      if (step == 150000) {
        table.clear();
        model.clear();
      }
    }
    for (const auto& [ref, value] : model) ASSERT_TRUE(table.find(ref) && table.find(ref)->value == value);
  }
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
  // Clean pages are kept within the budget in bytes, but never fewer than 20
  // (a budget of 0 keeps just those); a larger budget keeps more of what was
  // read.
  const std::size_t slack = 3 * 16 * 1024;  // one path of the last lookup
  std::map<std::size_t, std::size_t> kept;  // clean bytes by budget
  for (std::size_t budget : {std::size_t(0), std::size_t(256) << 10, Container::kDefaultCacheBytes}) {
    OpenFile f(fs, "big.dat");
    if (budget != Container::kDefaultCacheBytes) f->setCacheBytes(budget);
    EXPECT_EQ(readAll(*f), model);
    TreeRecord r;
    f->find(view("r1"), &r);
    EXPECT_GE(f->cachedPageCount(), 20u) << budget;
    EXPECT_TRUE(f->cachedCleanBytes() <= budget + slack || f->cachedPageCount() <= 20 + 3)
        << budget << ": " << f->cachedCleanBytes() << " bytes in " << f->cachedPageCount() << " pages";
    kept[budget] = f->cachedCleanBytes();
    checkInvariants(*f);
  }
  EXPECT_LT(kept[std::size_t(256) << 10], kept[Container::kDefaultCacheBytes]);
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

TEST(ContainerCache, AFilesBudgetHoldsForTheOpenFileAndItsLaterOpens) {
  TempDir dir;
  Item buffer;
  const TableDeclaration items = itemDeclaration();
  DataFile file;
  file.declare(items, &buffer);
  file.setName(dir.file("items.dat"));
  ASSERT_EQ(file.create(), 0);
  EXPECT_EQ(file.pageCacheBytes(), Container::kDefaultCacheBytes);
  file.setPageCacheBytes(std::size_t(1) << 20);
  ASSERT_EQ(file.open(), 0);
  EXPECT_EQ(file.container()->cacheBytes(), std::size_t(1) << 20);
  file.setPageCacheBytes(std::size_t(2) << 20);
  EXPECT_EQ(file.container()->cacheBytes(), std::size_t(2) << 20);
  ASSERT_EQ(file.close(), 0);
  ASSERT_EQ(file.open(), 0);
  EXPECT_EQ(file.container()->cacheBytes(), std::size_t(2) << 20);
}

}  // namespace
}  // namespace glimra::datafile::testing
