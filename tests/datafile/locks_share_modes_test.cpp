// SPDX-License-Identifier: GPL-3.0-or-later
// Share modes: which opens may join which, in one process and across
// processes, and a reader that reads a file while its writer commits.
#include <gtest/gtest.h>

#include <set>
#include <thread>

#include "container_support.h"
#include "datafile/locks.h"
#include "datafile/options.h"
#include "datafile/share_modes.h"
#include "locks_support.h"

namespace glimra::datafile::testing {
namespace {

// The modes of the decision table: read/deny none, read-write/deny none,
// read/deny write, read-write/deny write, read-write/deny all, and the
// compatibility mode.
constexpr unsigned kReadShared = 0x40, kWriteShared = 0x42, kReadDenyWrite = 0x20, kWriteDenyWrite = 0x22,
                   kWriteDenyAll = 0x12, kReadDenyRead = 0x30, kCompatibility = 0x02;

TEST(ShareModes, DecisionTable) {
  TempDir dir;
  const std::string path = dir.file("modes.dat");
  openReal(path, true, true);
  struct Case {
    unsigned existing, joining;
    int expected;
  };
  const Case cases[] = {
      {kReadShared, kReadShared, 0},         {kReadShared, kWriteShared, 0},
      {kReadShared, kReadDenyWrite, 0},      {kReadShared, kWriteDenyWrite, 0},
      {kReadShared, kWriteDenyAll, 5},       {kWriteShared, kReadShared, 0},
      {kWriteShared, kWriteShared, 0},       {kWriteShared, kReadDenyWrite, 5},
      {kWriteShared, kWriteDenyWrite, 5},    {kWriteShared, kWriteDenyAll, 5},
      {kReadDenyWrite, kReadShared, 0},      {kReadDenyWrite, kWriteShared, 5},
      {kReadDenyWrite, kReadDenyWrite, 0},   {kReadDenyWrite, kWriteDenyWrite, 5},
      {kWriteDenyWrite, kReadShared, 0},     {kWriteDenyWrite, kWriteShared, 5},
      {kWriteDenyWrite, kReadDenyWrite, 5},  {kWriteDenyWrite, kWriteDenyWrite, 5},
      {kWriteDenyWrite, kCompatibility, 5},  {kCompatibility, kWriteDenyWrite, 5},
      {kWriteDenyAll, kReadShared, 5},       {kWriteDenyAll, kWriteShared, 5},
      {kReadDenyRead, kWriteShared, 5},      {kWriteShared, kReadDenyRead, 5},
      {kCompatibility, kCompatibility, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << std::hex << "existing 0x" << c.existing << ", joining 0x" << c.joining);
    auto first = openReal(path, OpenMode{c.existing}.writes());
    auto second = openReal(path, OpenMode{c.joining}.writes());
    ShareModeLock held(*first, OpenMode{c.existing});
    ASSERT_EQ(held.acquire(), 0);
    ShareModeLock joining(*second, OpenMode{c.joining});
    EXPECT_EQ(joining.acquire(), c.expected);
    // A refused open leaves no trace: once the first closes, it joins.
    held.release();
    EXPECT_EQ(joining.acquire(), 0);
  }
}

// A file of 120 records, each carrying the same version in its payload.
void writeVersion(Container& c, int version) {
  for (int i = 0; i < 120; ++i)
    c.replace(makeRecord("ornament " + std::to_string(100 + i), "version " + std::to_string(version) + std::string(60, '.')));
  c.commit();
}

TEST(ShareModesAcrossProcesses, DenyWriteKeepsWritersOutAndLetsReadersRead) {
  TempDir dir;
  const std::string path = dir.file("collection.glm");
  {
    auto file = openReal(path, true, true);
    Container c(*file);
    ASSERT_EQ(c.open(), 0);
    writeVersion(c, 1);
  }
  Pipe ready, done;
  Child owner([&] {
    int error = 0;
    auto file = posixFileSystem().open(path, true, false, &error);
    DriverHooks hooks;
    if (hooks.attach(*file, OpenMode{kWriteDenyWrite}, posixFileSystem(), path) != 0) return 2;
    ready.send('R');
    done.receive();
    return 0;
  });
  ASSERT_EQ(ready.receive(), 'R');
  struct Attempt {
    unsigned mode;
    int expected;
  };
  for (const Attempt a : {Attempt{kWriteDenyWrite, 5}, Attempt{kWriteShared, 5}, Attempt{kReadDenyWrite, 5},
                          Attempt{kReadShared, 0}}) {
    auto file = openReal(path, OpenMode{a.mode}.writes());
    DriverHooks hooks;
    EXPECT_EQ(hooks.attach(*file, OpenMode{a.mode}, posixFileSystem(), path), a.expected) << std::hex << a.mode;
    if (a.expected != 0) continue;
    // The reader reads under its reader slot.
    Container c(*file, &hooks);
    ASSERT_EQ(c.open(), 0);
    auto guard = hooks.locks()->forOperation(false);
    c.refresh(false);
    const Model records = readAll(c);
    EXPECT_EQ(records.size(), 120u);
    EXPECT_EQ(records.at("ornament 150").substr(0, 9), "version 1");
  }
  done.send('D');
  EXPECT_EQ(owner.wait(), 0);
  auto file = openReal(path, true);
  DriverHooks hooks;
  EXPECT_EQ(hooks.attach(*file, OpenMode{kWriteDenyWrite}, posixFileSystem(), path), 0) << "the owner has gone";
}

// The collection's writer (deny write) commits version after version while
// a reader in another process reads every record in one operation: each read
// sees one version throughout, never a commit half done.
TEST(ShareModesAcrossProcesses, AReaderDuringACommitSeesAllOrNothing) {
  TempDir dir;
  const std::string path = dir.file("collection.glm");
  {
    auto file = openReal(path, true, true);
    Container c(*file);
    ASSERT_EQ(c.open(), 0);
    writeVersion(c, 0);
  }
  constexpr int kVersions = 60;
  Pipe started, firstReadDone;
  Child writer([&] {
    int error = 0;
    auto file = posixFileSystem().open(path, true, false, &error);
    DriverHooks hooks;
    if (hooks.attach(*file, OpenMode{kWriteDenyWrite}, posixFileSystem(), path) != 0) return 2;
    Container c(*file, &hooks);
    if (c.open() != 0) return 3;
    started.send('S');
    // The reader has seen the first version before the others come, however
    // late a loaded machine schedules it.
    if (firstReadDone.receive() != 'R') return 4;
    for (int version = 1; version <= kVersions; ++version) {
      auto guard = hooks.locks()->forOperation(true);
      c.refresh(true);
      writeVersion(c, version);
    }
    return 0;
  });
  ASSERT_EQ(started.receive(), 'S');
  auto file = openReal(path, false);
  DriverHooks hooks;
  ASSERT_EQ(hooks.attach(*file, OpenMode{kReadShared}, posixFileSystem(), path), 0);
  Container c(*file, &hooks);
  ASSERT_EQ(c.open(), 0);
  std::set<std::string> seen;
  int reads = 0, mixed = 0;
  for (;;) {
    auto guard = hooks.locks()->forOperation(false);
    c.refresh(false);
    std::set<std::string> versions;
    for (const auto& [key, payload] : readAll(c)) versions.insert(payload.substr(0, payload.find('.')));
    if (++reads == 1) firstReadDone.send('R');
    if (versions.size() != 1) ++mixed;
    seen.insert(versions.begin(), versions.end());
    if (seen.count("version " + std::to_string(kVersions))) break;
  }
  EXPECT_EQ(writer.wait(), 0);
  EXPECT_EQ(mixed, 0) << "of " << reads << " reads";
  EXPECT_GE(seen.size(), 2u);
}

}  // namespace
}  // namespace glimra::datafile::testing
