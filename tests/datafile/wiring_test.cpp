// SPDX-License-Identifier: GPL-3.0-or-later
// The driver as every DataFile gets it without asking: share modes and locks
// between two opens of one file, LOGOUT/COMMIT of two files through the
// control file (and a crash at every step of it), the driver options through
// SEND, and the owner password of the declaration.
#include <gtest/gtest.h>

#include <algorithm>

#include "datafile/fault_file.h"
#include "datafile/transactions.h"
#include "datafile_fixture.h"

namespace glimra::datafile::testing {
namespace {

struct Opened {
  Item buffer{};
  DataFile file;
  Opened(const TableDeclaration& declaration, const std::string& name, FileSystem& fs = posixFileSystem())
      : file(fs) {
    file.declare(declaration, &buffer);
    file.setName(name);
  }
};

void plant(const TableDeclaration& declaration, const std::string& name, int records,
           FileSystem& fs = posixFileSystem()) {
  Opened o(declaration, name, fs);
  ASSERT_EQ(o.file.create(), 0) << o.file.errorText();
  ASSERT_EQ(o.file.open(OpenMode{0x22}), 0) << o.file.errorText();
  for (int i = 1; i <= records; ++i) {
    o.buffer = item("orn" + std::to_string(i), i);
    ASSERT_EQ(o.file.add(), 0) << o.file.errorText();
  }
}

// Two DataFile objects of one process are two opens: the collection's
// deny-write open keeps every other writer (and a replacing CREATE) out, lets
// readers in, and once closed the file opens again and copies.
TEST(Wiring, ShareModesBetweenTwoOpensOfOneFile) {
  TempDir dir;
  const std::string path = dir.file("tree.glm");
  const TableDeclaration declaration = itemDeclaration();
  plant(declaration, path, 12);

  auto owner = std::make_unique<Opened>(declaration, path);
  ASSERT_EQ(owner->file.open(OpenMode{0x22}), 0) << owner->file.errorText();
  const struct {
    unsigned mode;
    int expected;
  } cases[] = {{0x22, 5}, {0x42, 5}, {0x12, 5}, {0x02, 5}, {0x20, 5}, {0x40, 0}, {0x00, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "second open 0x" << std::hex << c.mode);
    Opened second(declaration, path);
    EXPECT_EQ(second.file.open(OpenMode{c.mode}), c.expected) << second.file.errorText();
    if (c.expected == 0) {
      EXPECT_EQ(second.file.records(), 12u);
      EXPECT_EQ(walk(second.file, NUMBERKEY).size(), 12u);
    }
  }
  {
    Opened replacing(declaration, path);
    EXPECT_EQ(replacing.file.create(), 5) << "CREATE may not replace a file open elsewhere";
  }
  EXPECT_EQ(owner->file.records(), 12u) << "the refused CREATE left the file untouched";
  owner->buffer = item("late", 13);
  EXPECT_EQ(owner->file.add(), 0) << owner->file.errorText();
  owner.reset();

  Opened again(declaration, path);
  ASSERT_EQ(again.file.copy(dir.file("copy.glm")), 0) << again.file.errorText();
  ASSERT_EQ(again.file.open(OpenMode{0x22}), 0) << "a closed file opens again: " << again.file.errorText();
  EXPECT_EQ(again.file.records(), 13u);
  Opened copy(declaration, dir.file("copy.glm"));
  ASSERT_EQ(copy.file.open(OpenMode{0x22}), 0) << copy.file.errorText();
  EXPECT_EQ(copy.file.records(), 13u);
}

// LOCK, HOLD and RELEASE between two deny-none opens: a step refused by a
// hold leaves the cursor where it was, so it meets the record again.
TEST(Wiring, TableLocksAndHoldsBetweenTwoOpens) {
  TempDir dir;
  const std::string path = dir.file("tree.glm");
  const TableDeclaration declaration = itemDeclaration();
  plant(declaration, path, 3);
  Opened a(declaration, path), b(declaration, path);
  ASSERT_EQ(a.file.open(OpenMode{0x42}), 0) << a.file.errorText();
  ASSERT_EQ(b.file.open(OpenMode{0x42}), 0) << b.file.errorText();

  EXPECT_EQ(a.file.lockTable(), 0);
  EXPECT_EQ(b.file.lockTable(), 32);
  EXPECT_EQ(a.file.unlockTable(), 0);
  EXPECT_EQ(b.file.lockTable(), 0);
  EXPECT_EQ(b.file.unlockTable(), 0);

  ASSERT_EQ(a.file.setKey(NUMBERKEY), 0);
  ASSERT_EQ(a.file.next(), 0);
  ASSERT_EQ(a.file.hold(-1), 0);
  ASSERT_EQ(a.file.next(), 0);
  const std::uint32_t held = a.file.pointer();

  ASSERT_EQ(b.file.setKey(NUMBERKEY), 0);
  ASSERT_EQ(b.file.next(), 0);
  const std::uint32_t first = b.file.pointer();
  ASSERT_EQ(b.file.hold(0), 0);
  EXPECT_EQ(b.file.next(), 43) << "the record is held by the other open";
  ASSERT_EQ(b.file.get(held), 43);
  EXPECT_EQ(b.file.pointer(), first) << "a refused read is not the current record";
  ASSERT_EQ(a.file.release(), 0);
  ASSERT_EQ(b.file.next(), 0) << b.file.errorText();
  EXPECT_EQ(b.file.pointer(), held) << "the refused step is repeated, not skipped";
  EXPECT_EQ(b.file.next(), 0);
  EXPECT_EQ(b.file.next(), 33);
}

// LOGOUT of two files and COMMIT: the commit goes through the files' control
// file, and a crash at every step of it leaves both files before or both after.
TEST(Wiring, TwoFileCommitThroughDataFilesSurvivesACrashAtEveryStep) {
  const TableDeclaration declaration = itemDeclaration();
  const UnflushedWrites reboots[] = {UnflushedWrites::Dropped, UnflushedWrites::Kept,
                                     UnflushedWrites::TornAtSectors};
  for (const UnflushedWrites reboot : reboots) {
    for (std::uint64_t cut = 0;; ++cut) {
      SCOPED_TRACE(::testing::Message() << "reboot " << int(reboot) << " cut after step " << cut);
      FaultFileSystem disk;
      plant(declaration, "shop/a.glm", 3, disk);
      plant(declaration, "shop/b.glm", 3, disk);
      bool reachedEnd = false;
      {
        Opened a(declaration, "shop/a.glm", disk), b(declaration, "shop/b.glm", disk);
        ASSERT_EQ(a.file.open(OpenMode{0x22}), 0);
        ASSERT_EQ(b.file.open(OpenMode{0x22}), 0);
        ASSERT_EQ(DataFile::logout({&a.file, &b.file}), 0) << a.file.errorText();
        ASSERT_TRUE(a.file.inTransaction() && b.file.inTransaction());
        for (Opened* o : {&a, &b}) {
          o->buffer = item("new", 4);
          ASSERT_EQ(o->file.add(), 0) << o->file.errorText();
          o->buffer.number = 1;
          ASSERT_EQ(o->file.getByKey(NUMBERKEY), 0);
          o->buffer = item("renamed", 1);
          ASSERT_EQ(o->file.put(), 0) << o->file.errorText();
        }
        disk.resetCounters();
        disk.plan.crashAfter = cut;
        EXPECT_EQ(a.file.commit(), 0) << "a crash is not a failure the program sees";
        EXPECT_FALSE(a.file.inTransaction() || b.file.inTransaction()) << "COMMIT ends the transaction of both";
        reachedEnd = !disk.crashed();
        if (reachedEnd) {
          EXPECT_TRUE(disk.exists("shop/datafile.tcf")) << "two changed files commit through the control file";
        }
      }
      disk.reboot(reboot, std::uint32_t(cut) + 11);
      int after = 0;
      for (const char* name : {"shop/a.glm", "shop/b.glm"}) {
        Opened o(declaration, name, disk);
        ASSERT_EQ(o.file.open(OpenMode{0x22}), 0) << name << ": " << o.file.errorText();
        const std::uint32_t count = o.file.records();
        o.buffer.number = 1;
        ASSERT_EQ(o.file.getByKey(NUMBERKEY), 0) << name;
        const std::string first = trimmed(o.buffer.name, sizeof o.buffer.name);
        const bool isAfter = count == 4 && first == "renamed";
        const bool isBefore = count == 3 && first == "orn1";
        ASSERT_TRUE(isAfter || isBefore) << name << " holds " << count << " records, first '" << first << "'";
        after += isAfter;
      }
      EXPECT_TRUE(after == 0 || after == 2) << "one file committed, the other not";
      if (reachedEnd) {
        EXPECT_EQ(after, 2);
        break;
      }
    }
  }
}

// One changed file commits alone: no control file; ROLLBACK drops both.
TEST(Wiring, SingleChangeCommitsAloneAndRollbackDropsEveryFile) {
  const TableDeclaration declaration = itemDeclaration();
  FaultFileSystem disk;
  plant(declaration, "shop/a.glm", 2, disk);
  plant(declaration, "shop/b.glm", 2, disk);
  Opened a(declaration, "shop/a.glm", disk), b(declaration, "shop/b.glm", disk);
  ASSERT_EQ(a.file.open(OpenMode{0x22}), 0);
  ASSERT_EQ(b.file.open(OpenMode{0x22}), 0);

  ASSERT_EQ(DataFile::logout({&a.file, &b.file}), 0);
  a.buffer = item("one", 3);
  ASSERT_EQ(a.file.add(), 0);
  ASSERT_EQ(b.file.commit(), 0) << "COMMIT on either file commits the transaction";
  EXPECT_FALSE(disk.exists("shop/datafile.tcf"));
  EXPECT_EQ(a.file.records(), 3u);

  ASSERT_EQ(DataFile::logout({&a.file, &b.file}), 0);
  for (Opened* o : {&a, &b}) {
    o->buffer = item("gone", 9);
    ASSERT_EQ(o->file.add(), 0);
  }
  ASSERT_EQ(a.file.rollback(), 0);
  EXPECT_FALSE(b.file.inTransaction());
  EXPECT_EQ(a.file.records(), 3u);
  EXPECT_EQ(b.file.records(), 2u);
}

// The driver options through SEND on a file opened without any set-up.
TEST(Wiring, OptionsThroughSend) {
  TempDir dir;
  const std::string path = dir.file("tree.glm");
  const std::string named = path + "\\!Stars";
  const TableDeclaration declaration = itemDeclaration();
  plant(declaration, named, 2);
  {
    Opened o(declaration, named);
    ASSERT_EQ(o.file.open(OpenMode{0x22}), 0) << o.file.errorText();
    const struct {
      const char* option;
      const char* result;
    } steps[] = {{"FULLBUILD", "OFF"}, {"FULLBUILD=on", ""},   {"FULLBUILD", "ON"},     {"fullbuild = off", ""},
                 {"FULLBUILD", "OFF"}, {"FLAGS", "0"},         {"FLAGS=7", ""},         {"FLAGS", "7"},
                 {"FLAGS=seven", ""},  {"FLAGS", "7"},         {"PNM=stars", "STARS"},  {"PNM=Garland", ""},
                 {"Recover=10", ""},   {"QUICKSCAN=on", ""}};
    for (const auto& s : steps) {
      EXPECT_EQ(o.file.send(s.option), s.result) << s.option;
      EXPECT_EQ(o.file.errorCode(), 0) << s.option;
    }
    EXPECT_EQ(o.file.records(), 2u) << "ignored options change nothing";
  }
  Opened reader(declaration, named);
  ASSERT_EQ(reader.file.open(OpenMode{0x40}), 0);
  EXPECT_EQ(reader.file.send("FLAGS"), "7") << "FLAGS is kept in the file";
  EXPECT_EQ(reader.file.send("FULLBUILD"), "OFF") << "FULLBUILD starts off at every open";
  EXPECT_EQ(reader.file.send("FLAGS=9"), "");
  EXPECT_EQ(reader.file.errorCode(), 5) << "a reader cannot change FLAGS";
  EXPECT_EQ(reader.file.send("FLAGS"), "7");
}

// The declaration's owner password enciphers the file with no further set-up.
TEST(Wiring, TheDeclarationsPasswordEnciphersTheFile) {
  FaultFileSystem disk;
  TableDeclaration secret = itemDeclaration();
  secret.ownerPassword = "Tinsel";
  plant(secret, "secret.glm", 5, disk);
  const auto bytes = disk.contents("secret.glm");
  const std::string name = "orn3";
  EXPECT_EQ(std::search(bytes.begin(), bytes.end(), name.begin(), name.end()), bytes.end());

  Opened right(secret, "secret.glm", disk);
  ASSERT_EQ(right.file.open(OpenMode{0x22}), 0) << right.file.errorText();
  EXPECT_EQ(right.file.records(), 5u);
  right.buffer.number = 3;
  ASSERT_EQ(right.file.getByKey(NUMBERKEY), 0);
  EXPECT_EQ(trimmed(right.buffer.name, 8), "orn3");
  right.file.close();

  for (const char* password : {"", "tinsel"}) {
    TableDeclaration wrong = itemDeclaration();
    wrong.ownerPassword = password;
    Opened o(wrong, "secret.glm", disk);
    EXPECT_EQ(o.file.open(OpenMode{0x22}), 36) << "password '" << password << "'";
  }
}

}  // namespace
}  // namespace glimra::datafile::testing
