// SPDX-License-Identifier: GPL-3.0-or-later
// The POSIX file layer: positioned I/O, missing files, byte-range locks far
// beyond the data (two opens in one process exclude each other), and a
// container committed to and reopened from a real file.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>

#include "container_support.h"
#include "temp_dir.h"

namespace glimra::datafile::testing {
namespace {

class PosixFileTest : public ::testing::Test {
 protected:
  std::string path(const char* name) const { return dir_.file(name); }
  TempDir dir_;
  FileSystem& fs_ = posixFileSystem();
};

TEST_F(PosixFileTest, ReadsWritesAndMissingFiles) {
  int error = 0;
  EXPECT_EQ(fs_.open(path("missing.dat"), false, false, &error), nullptr);
  EXPECT_EQ(error, ENOENT);
  EXPECT_FALSE(osErrorText(ENOENT).empty());
  auto f = fs_.open(path("a.dat"), true, true, &error);
  ASSERT_NE(f, nullptr);
  Bytes data(640, 0x11);
  ASSERT_EQ(f->writeAt(128, data.data(), data.size()), 0);
  ASSERT_EQ(f->flush(), 0);
  std::uint64_t size = 0;
  ASSERT_EQ(f->size(&size), 0);
  EXPECT_EQ(size, 768u);
  Bytes back(512);
  std::size_t got = 0;
  ASSERT_EQ(f->readAt(512, back.data(), back.size(), &got), 0);
  EXPECT_EQ(got, 256u) << "a read past the end is short, not an error";
  ASSERT_EQ(f->truncate(512), 0);
  ASSERT_EQ(f->size(&size), 0);
  EXPECT_EQ(size, 512u);
  EXPECT_TRUE(fs_.exists(path("a.dat")));
  EXPECT_EQ(fs_.copy(path("a.dat"), path("b.dat")), 0);
  EXPECT_EQ(fs_.remove(path("a.dat")), 0);
  EXPECT_FALSE(fs_.exists(path("a.dat")));
  EXPECT_TRUE(fs_.exists(path("b.dat")));
}

TEST_F(PosixFileTest, LocksBeyondTwoGigabytesExcludeOtherOpens) {
  int error = 0;
  auto a = fs_.open(path("l.dat"), true, true, &error);
  auto b = fs_.open(path("l.dat"), true, false, &error);
  ASSERT_TRUE(a && b);
  const std::uint64_t base = 0x80000000ull;
  EXPECT_EQ(a->lock(base + 1023, 1, true), 0);        // writer byte
  EXPECT_EQ(b->lock(base + 1023, 1, true), EAGAIN);
  EXPECT_EQ(b->lock(base + 1023, 1, false), EAGAIN);
  EXPECT_EQ(b->lock(base + 5, 1, false), 0);          // a reader slot
  EXPECT_EQ(a->lock(base + 5, 1, false), 0);          // shared with another reader
  EXPECT_EQ(a->lock(base, 1023, true), EAGAIN);       // all reader slots: b still reads
  EXPECT_EQ(b->unlock(base + 5, 1), 0);
  EXPECT_EQ(a->lock(base, 1023, true), 0);
  EXPECT_EQ(a->unlock(base + 1023, 1), 0);
  EXPECT_EQ(b->lock(base + 1023, 1, true), 0);
  EXPECT_EQ(b->lock(base + 1024 + 70000 + 1, 1, true), 0);  // a record's lock byte
}

TEST_F(PosixFileTest, ContainerRoundTrip) {
  Model model;
  {
    int error = 0;
    auto file = fs_.open(path("c.dat"), true, true, &error);
    Container c(*file);
    ASSERT_EQ(c.open(), 0);
    for (int i = 0; i < 300; ++i) {
      const std::string key = "key" + std::to_string(i * 7919 % 1000);
      model[key] = std::string(i % 50 * 20, char('a' + i % 26));
      c.replace(makeRecord(key, model[key]));
    }
    c.commit();
  }
  int error = 0;
  auto file = fs_.open(path("c.dat"), false, false, &error);
  Container c(*file);
  ASSERT_EQ(c.open(), 0);
  EXPECT_EQ(readAll(c), model);
  checkInvariants(c);
}

}  // namespace
}  // namespace glimra::datafile::testing
