// SPDX-License-Identifier: GPL-3.0-or-later
// The seams for the layers above: the block cipher on every read and write,
// the reader lock around a commit, the roll-forward decision of recovery, and
// the two halves of a commit for multi-file transactions.
#include <gtest/gtest.h>

#include "container_support.h"

namespace glimra::datafile::testing {
namespace {

struct RecordingHooks : ContainerHooks {
  int locks = 0, unlocks = 0, oddBlocks = 0, decisions = 0;
  bool rollForward = true;
  bool cipher = true;
  std::string sawDuringDecision;
  void lockReadersForCommit() override { ++locks; }
  void unlockReadersAfterCommit() override { ++unlocks; }
  bool allowRollForward(Container& c) override {
    ++decisions;
    TreeRecord r;
    if (c.find(view("pending"), &r)) sawDuringDecision = payloadText(r);
    return rollForward;
  }
  void encipher(std::uint8_t* data, std::size_t length) override { scramble(data, length); }
  void decipher(std::uint8_t* data, std::size_t length) override { scramble(data, length); }
  void scramble(std::uint8_t* data, std::size_t length) {
    if (length % 64 != 0) ++oddBlocks;
    if (!cipher) return;
    for (std::size_t i = 0; i < length; ++i) data[i] ^= std::uint8_t(0x5A + i % 64);
  }
};

struct HookedFile {
  std::unique_ptr<OsFile> file;
  std::unique_ptr<Container> container;
  int openResult;
  HookedFile(FaultFileSystem& fs, const std::string& path, ContainerHooks* hooks) {
    int error = 0;
    file = fs.open(path, true, !fs.exists(path), &error);
    container = std::make_unique<Container>(*file, hooks);
    openResult = container->open();
  }
  Container* operator->() { return container.get(); }
};

TEST(ContainerHooks, EveryBlockIsEncipheredAndOnlyTheKeyReadsIt) {
  FaultFileSystem fs;
  RecordingHooks hooks;
  {
    HookedFile f(fs, "c.dat", &hooks);
    for (int i = 0; i < 100; ++i) f->insert(makeRecord("secret" + std::to_string(i), std::string(300, 's')));
    f->commit();
  }
  const Bytes b = fs.contents("c.dat");
  EXPECT_EQ(std::search(b.begin(), b.end(), std::begin("secret"), std::end("secret") - 1), b.end());
  EXPECT_FALSE(page::hasMagic(b.data()));
  {
    HookedFile f(fs, "c.dat", &hooks);
    ASSERT_EQ(f.openResult, 0);
    EXPECT_EQ(readAll(*f.container).size(), 100u);
  }
  EXPECT_EQ(hooks.oddBlocks, 0);
  HookedFile plain(fs, "c.dat", nullptr);
  EXPECT_EQ(plain.openResult, 36);
}

// Leaves a file whose last write is announced but never finished.
Bytes fileWithPendingWrite() {
  FaultFileSystem fs;
  OpenFile f(fs, "p.dat", true);
  for (int i = 0; i < 30; ++i) f->insert(makeRecord("old" + std::to_string(i), std::string(500, 'o')));
  f->commit();
  f->insert(makeRecord("pending", "new"));
  f->erase(view("old7"));
  f->commitFirstHalf();
  return fs.contents("p.dat");
}

TEST(ContainerHooks, RecoveryAsksWhetherToRollForward) {
  const Bytes pending = fileWithPendingWrite();
  for (bool forward : {true, false}) {
    FaultFileSystem fs;
    fs.setContents("p.dat", pending);
    RecordingHooks hooks;
    hooks.rollForward = forward;
    hooks.cipher = false;
    HookedFile f(fs, "p.dat", &hooks);
    ASSERT_EQ(f.openResult, 0);
    // Reading sees the pending copies and writes nothing.
    TreeRecord r;
    EXPECT_TRUE(f->find(view("pending"), &r));
    EXPECT_EQ(fs.contents("p.dat"), pending);
    f->refresh(true);
    EXPECT_EQ(hooks.decisions, 1);
    EXPECT_EQ(hooks.sawDuringDecision, "new") << "pending copies readable while deciding";
    EXPECT_EQ(f->find(view("pending"), &r), forward);
    EXPECT_EQ(f->find(view("old7"), &r), !forward);
    EXPECT_EQ(f->header().dataEnd, f->header().pendingEnd);
    checkInvariants(*f.container);
    OpenFile again(fs, "p.dat");
    EXPECT_EQ(again->find(view("pending"), &r), forward);
    EXPECT_EQ(readAll(*again).size(), 30u);  // one in, one out when rolled forward
  }
}

TEST(ContainerHooks, CommitLocksReadersOnceEvenWhenItFails) {
  FaultFileSystem fs;
  RecordingHooks hooks;
  HookedFile f(fs, "l.dat", &hooks);
  f->insert(makeRecord("a"));
  f->commit();
  f->commit();  // nothing dirty: no lock
  EXPECT_EQ(hooks.locks, 1);
  EXPECT_EQ(hooks.unlocks, 1);
  f->insert(makeRecord("b"));
  fs.plan.failFlush = fs.flushes() + 1;
  EXPECT_THROW(f->commit(), OsFailure);
  EXPECT_EQ(hooks.locks, 2);
  EXPECT_EQ(hooks.unlocks, 2);
}

TEST(ContainerHooks, DiscardingTheFirstHalfKeepsTheOldState) {
  FaultFileSystem fs;
  OpenFile f(fs, "t.dat", true);
  f->insert(makeRecord("kept", "1"));
  f->commit();
  f->insert(makeRecord("dropped", "2"));
  f->commitFirstHalf();
  EXPECT_NE(f->header().dataEnd + 0u, 0u);
  f->discardPendingArea();
  EXPECT_FALSE(f->dirty());
  EXPECT_EQ(readAll(*f), (Model{{"kept", "1"}}));
  OpenFile again(fs, "t.dat");
  again->refresh(true);
  EXPECT_EQ(readAll(*again), (Model{{"kept", "1"}}));
  // The two halves in a row are an ordinary commit.
  again->insert(makeRecord("later", "3"));
  again->commitFirstHalf();
  again->commitSecondHalf();
  OpenFile third(fs, "t.dat");
  EXPECT_EQ(readAll(*third), (Model{{"kept", "1"}, {"later", "3"}}));
}

TEST(ContainerHooks, TruncateDropsStaleBytesAfterTheData) {
  FaultFileSystem fs;
  OpenFile f(fs, "x.dat", true);
  for (int i = 0; i < 50; ++i) f->insert(makeRecord("r" + std::to_string(i), std::string(600, char('a' + i % 26))));
  f->commit();
  for (int i = 0; i < 50; i += 2) f->erase(view("r" + std::to_string(i)));
  f->commit();
  ASSERT_GT(fs.contents("x.dat").size(), f->endOfData());
  f->truncateToDataEnd();
  EXPECT_EQ(fs.contents("x.dat").size(), f->endOfData());
  OpenFile again(fs, "x.dat");
  EXPECT_EQ(readAll(*again).size(), 25u);
  checkInvariants(*again);
}

}  // namespace
}  // namespace glimra::datafile::testing
