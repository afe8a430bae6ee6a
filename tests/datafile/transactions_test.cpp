// SPDX-License-Identifier: GPL-3.0-or-later
// Transactions over several files on the fault-injecting file system:
// rollback, the single-file commit, the multi-file commit through control
// files, the recovery decision, and crashes and failures at every write of a
// two-file commit.
#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>

#include "container_support.h"
#include "datafile/options.h"
#include "datafile/transactions.h"

namespace glimra::datafile::testing {
namespace {

const std::string kMarker(1, char(kMarkerKey));

// One data file as the record layer holds it: the OS file, its hooks (share
// mode, locks, recovery decision) and its container.
struct Member {
  std::string path;
  std::unique_ptr<OsFile> file;
  std::unique_ptr<DriverHooks> hooks;
  std::unique_ptr<Container> container;
  bool left = false;

  Member(FaultFileSystem& fs, std::string p, unsigned mode = 0x22) : path(std::move(p)) {
    int error = 0;
    file = fs.open(path, true, !fs.exists(path), &error);
    hooks = std::make_unique<DriverHooks>();
    EXPECT_EQ(hooks->attach(*file, OpenMode{mode}, fs, path), 0);
    container = std::make_unique<Container>(*file, hooks.get());
    EXPECT_EQ(container->open(), 0);
  }
  // As a file that closes: it leaves a transaction it is still in.
  ~Member() { Transaction::current().leave(container.get()); }
  TransactionMember member(FaultFileSystem& fs) {
    return {container.get(), &fs, path, hooks->locks(), [this] { left = true; }};
  }
  // One writing operation: under the file's locks, with recovery first.
  template <class Change>
  void write(Change change) {
    auto guard = hooks->locks()->forOperation(true);
    container->refresh(true);
    change(*container);
  }
  void commitNow() {
    write([](Container& c) { c.commit(); });
  }
  // The records as the next writing operation finds them (recovering an
  // unfinished write first), without the transaction marker.
  Model records() {
    Model all;
    write([&](Container& c) { all = readAll(c); });
    all.erase(kMarker);
    return all;
  }
};

Model initialContents(const std::string& name) { return {{name + " 1", "old"}, {name + " 2", "old"}}; }
Model changedContents(const std::string& name) { return {{name + " 2", "new"}, {name + " 3", "added"}}; }

void plant(Member& m, const std::string& name) {
  m.write([&](Container& c) {
    for (const auto& [key, payload] : initialContents(name)) c.insert(makeRecord(key, payload));
    c.commit();
  });
}

void change(Member& m, const std::string& name) {
  m.write([&](Container& c) {
    c.erase(view(name + " 1"));
    c.replace(makeRecord(name + " 2", "new"));
    c.insert(makeRecord(name + " 3", "added"));
  });
}

std::vector<std::uint32_t> idsIn(FaultFileSystem& fs, const std::string& controlPath) {
  Member control(fs, controlPath, 0x42);
  std::vector<std::uint32_t> ids;
  for (const auto& [key, payload] : control.records()) {
    EXPECT_EQ(key.size(), 4u);
    EXPECT_TRUE(payload.empty());
    ids.push_back(std::uint32_t(std::uint8_t(key[0])) | std::uint32_t(std::uint8_t(key[1])) << 8 |
                  std::uint32_t(std::uint8_t(key[2])) << 16 | std::uint32_t(std::uint8_t(key[3])) << 24);
  }
  return ids;
}

struct Transactions : ::testing::Test {
  FaultFileSystem fs;
  void SetUp() override { setControlFileOption(""); }
  void TearDown() override {
    EXPECT_FALSE(Transaction::current().active());
    setControlFileOption("");
  }
};

TEST_F(Transactions, RollbackDropsEveryChange) {
  Member a(fs, "shop/a.glm", 0x42), b(fs, "shop/b.glm", 0x42);
  plant(a, "a");
  plant(b, "b");
  ASSERT_EQ(Transaction::current().begin({a.member(fs), b.member(fs)}, 1), 0);
  EXPECT_TRUE(Transaction::current().includes(a.container.get()));
  change(a, "a");
  change(b, "b");
  // Uncommitted writes of deny-none members are shielded by their writer
  // lock: another writer cannot start a writing operation meanwhile.
  {
    auto other = fs.open("shop/a.glm", true, false, nullptr);
    FileLocks otherLocks(*other, OpenMode{0x42});
    EXPECT_FALSE(otherLocks.take(kWriterByte, 0, false));
  }
  Transaction::current().rollback();
  EXPECT_FALSE(Transaction::current().active());
  EXPECT_TRUE(a.left && b.left);
  EXPECT_FALSE(a.container->dirty() || b.container->dirty());
  EXPECT_EQ(a.records(), initialContents("a"));
  EXPECT_EQ(b.records(), initialContents("b"));
  auto other = fs.open("shop/a.glm", true, false, nullptr);
  FileLocks otherLocks(*other, OpenMode{0x42});
  EXPECT_TRUE(otherLocks.take(kWriterByte, 0, false)) << "the writer lock is given back";
  EXPECT_FALSE(fs.exists("shop/datafile.tcf"));
}

TEST_F(Transactions, ALogoutThatCannotTakeAWriterLockInTimeJoinsNothing) {
  Member a(fs, "shop/a.glm", 0x42), b(fs, "shop/b.glm", 0x42);
  auto other = fs.open("shop/b.glm", true, false, nullptr);
  FileLocks otherLocks(*other, OpenMode{0x42});
  ASSERT_TRUE(otherLocks.take(kWriterByte, 0, false));
  EXPECT_EQ(Transaction::current().begin({a.member(fs), b.member(fs)}, 0), 32);
  EXPECT_FALSE(Transaction::current().active());
  auto probe = fs.open("shop/a.glm", true, false, nullptr);
  FileLocks probeLocks(*probe, OpenMode{0x42});
  EXPECT_TRUE(probeLocks.take(kWriterByte, 0, false)) << "the lock taken on the way is given back";
  probeLocks.release(kWriterByte, 0);
  otherLocks.release(kWriterByte, 0);
  EXPECT_EQ(Transaction::current().begin({a.member(fs), b.member(fs)}, 0), 0);
  Transaction::current().rollback();
}

TEST_F(Transactions, CommitOfOneChangedFileTouchesNoControlFile) {
  Member a(fs, "shop/a.glm"), b(fs, "shop/b.glm");
  plant(a, "a");
  plant(b, "b");
  ASSERT_EQ(Transaction::current().begin({a.member(fs), b.member(fs)}, 1), 0);
  change(a, "a");
  Transaction::current().commit();
  EXPECT_FALSE(Transaction::current().active());
  EXPECT_FALSE(fs.exists("shop/datafile.tcf"));
  EXPECT_EQ(a.records(), changedContents("a"));
  EXPECT_EQ(b.records(), initialContents("b"));
  TreeRecord marker;
  EXPECT_FALSE(a.container->find(view(kMarker), &marker));
}

TEST_F(Transactions, TwoFilesCommitThroughTheirControlFile) {
  struct Layout {
    const char* a;
    const char* b;
    const char* option;
    const char* primary;       // the control file that decides
    const char* markerOfA;
    const char* markerOfB;
  };
  const Layout layouts[] = {
      {"shop/a.glm", "shop/b.glm", "", "shop/datafile.tcf", "C:\\DATAFILE.TCF", "C:\\DATAFILE.TCF"},
      {"a.glm", "b.glm", "", "datafile.tcf", "C:\\DATAFILE.TCF", "C:\\DATAFILE.TCF"},
      {"shop/a.glm", "home/b.glm", "", "shop/datafile.tcf", "C:\\DATAFILE.TCF", "shop/datafile.tcf"},
      {"shop/a.glm", "home/b.glm", "all.tcf", "all.tcf", "all.tcf", "all.tcf"},
  };
  for (const Layout& l : layouts) {
    SCOPED_TRACE(std::string(l.a) + " + " + l.b + " option " + l.option);
    FaultFileSystem disk;
    setControlFileOption(l.option);
    Member a(disk, l.a), b(disk, l.b);
    plant(a, "a");
    plant(b, "b");
    ASSERT_EQ(Transaction::current().begin({a.member(disk), b.member(disk)}, 1), 0);
    change(a, "a");
    change(b, "b");
    const auto before = std::uint32_t(std::time(nullptr));
    Transaction::current().commit();
    EXPECT_TRUE(a.left && b.left);
    EXPECT_EQ(a.records(), changedContents("a"));
    EXPECT_EQ(b.records(), changedContents("b"));
    const auto markerA = findMarker(*a.container);
    const auto markerB = findMarker(*b.container);
    ASSERT_TRUE(markerA && markerB);
    EXPECT_EQ(markerA->id, markerB->id);
    EXPECT_GE(markerA->id, before);
    EXPECT_EQ(markerA->controlFile, l.markerOfA);
    EXPECT_EQ(markerB->controlFile, l.markerOfB);
    ASSERT_TRUE(disk.exists(l.primary));
    EXPECT_TRUE(idsIn(disk, l.primary).empty()) << "the id is deleted at the commit point";
  }
}

TEST_F(Transactions, AnIdStillInAControlFileIsNotChosenAgain) {
  const auto now = std::uint32_t(std::time(nullptr));
  {
    std::unique_ptr<ControlFile> control;
    ASSERT_EQ(ControlFile::open(fs, "shop/datafile.tcf", &control), 0);
    for (std::uint32_t id = now; id < now + 4; ++id) EXPECT_TRUE(control->insert(id));
    EXPECT_FALSE(control->insert(now));
  }
  Member a(fs, "shop/a.glm"), b(fs, "shop/b.glm");
  ASSERT_EQ(Transaction::current().begin({a.member(fs), b.member(fs)}, 1), 0);
  change(a, "a");
  change(b, "b");
  Transaction::current().commit();
  const auto marker = findMarker(*a.container);
  ASSERT_TRUE(marker);
  EXPECT_GE(marker->id, now + 4);
  // The control file keeps its ids in the order of their stored bytes, which
  // is not their numeric order when the four straddle a multiple of 256.
  auto kept = idsIn(fs, "shop/datafile.tcf");
  std::sort(kept.begin(), kept.end());
  EXPECT_EQ(kept, (std::vector<std::uint32_t>{now, now + 1, now + 2, now + 3}));
}

TEST_F(Transactions, MoreThan99ControlFilesIsAnInternalErrorAndChangesNothing) {
  std::vector<std::unique_ptr<Member>> files;
  std::vector<TransactionMember> members;
  for (int i = 0; i < 100; ++i) {
    files.push_back(std::make_unique<Member>(fs, "dir" + std::to_string(i) + "/f.dat"));
    plant(*files.back(), "f");
    members.push_back(files.back()->member(fs));
  }
  ASSERT_EQ(Transaction::current().begin(members, 1), 0);
  for (auto& f : files) change(*f, "f");
  try {
    Transaction::current().commit();
    ADD_FAILURE() << "committed over 100 control files";
  } catch (const InternalError& e) {
    EXPECT_EQ(e.number, kTooManyControlFiles);
  }
  EXPECT_FALSE(Transaction::current().active());
  EXPECT_FALSE(fs.exists("dir0/datafile.tcf"));
  for (auto& f : files) EXPECT_EQ(f->records(), initialContents("f"));
}

// The decision for a file found with an unfinished write.
TEST_F(Transactions, RecoveryFollowsTheMarkersControlFile) {
  enum class Control { NoMarker, IdPresent, IdGone, NotADataFile, Missing };
  struct Case {
    Control control;
    const char* name;  // the marker's control file name
    bool forward;
  };
  const Case cases[] = {
      {Control::NoMarker, "", true},
      {Control::IdPresent, "C:\\DATAFILE.TCF", false},
      {Control::IdPresent, "c:\\datafile.tcf", false},
      {Control::IdPresent, "elsewhere/ids.tcf", false},
      {Control::IdGone, "C:\\DATAFILE.TCF", true},
      {Control::IdGone, "elsewhere/ids.tcf", true},
      {Control::NotADataFile, "elsewhere/ids.tcf", false},
      {Control::Missing, "elsewhere/ids.tcf", true},  // created empty: the id is not there
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << int(c.control) << " " << c.name);
    FaultFileSystem disk;
    const std::string controlPath =
        std::string(c.name).find('/') == std::string::npos ? "shop/datafile.tcf" : c.name;
    {
      Member m(disk, "shop/a.glm");
      plant(m, "a");
      if (c.control == Control::IdPresent || c.control == Control::IdGone) {
        std::unique_ptr<ControlFile> control;
        ASSERT_EQ(ControlFile::open(disk, controlPath, &control), 0);
        control->insert(4711);
        if (c.control == Control::IdGone) control->erase(4711);
      }
      if (c.control == Control::NotADataFile) disk.setContents(controlPath, std::vector<std::uint8_t>(700, 'x'));
      // A write announced in the header but never finished.
      change(m, "a");
      m.write([&](Container& f) {
        if (c.control != Control::NoMarker) f.replace(markerRecord({4711, c.name}));
        f.commitFirstHalf();
      });
    }
    Member reopened(disk, "shop/a.glm");
    EXPECT_EQ(reopened.records(), c.forward ? changedContents("a") : initialContents("a"));
  }
}

// A two-file commit cut at every step (write, flush or truncation of any
// file, control files included): after the reboot both files hold the state
// before the transaction or both the state after it.
TEST_F(Transactions, ACrashAtEveryStepOfATwoFileCommitLeavesBothBeforeOrBothAfter) {
  struct Layout {
    const char* a;
    const char* b;
    const char* option;
  };
  const Layout layouts[] = {{"shop/a.glm", "shop/b.glm", ""},
                            {"shop/a.glm", "home/b.glm", ""},
                            {"shop/a.glm", "home/b.glm", "ids.tcf"}};
  const UnflushedWrites rebootModes[] = {UnflushedWrites::Dropped, UnflushedWrites::Kept,
                                         UnflushedWrites::TornAtSectors};
  int cutPoints = 0, failures = 0;
  for (const Layout& l : layouts) {
    for (const UnflushedWrites reboot : rebootModes) {
      for (std::uint64_t cut = 0;; ++cut) {
        SCOPED_TRACE(::testing::Message() << l.a << " + " << l.b << " option '" << l.option << "' reboot "
                                          << int(reboot) << " cut after step " << cut);
        FaultFileSystem disk;
        setControlFileOption(l.option);
        bool reachedEnd = false;
        {
          Member a(disk, l.a), b(disk, l.b);
          plant(a, "a");
          plant(b, "b");
          ASSERT_EQ(Transaction::current().begin({a.member(disk), b.member(disk)}, 1), 0);
          change(a, "a");
          change(b, "b");
          disk.resetCounters();
          disk.plan.crashAfter = cut;
          try {
            Transaction::current().commit();
          } catch (...) {
            ADD_FAILURE() << "a crash is not a failure the program can see";
          }
          reachedEnd = !disk.crashed();
        }
        disk.reboot(reboot, std::uint32_t(cut) + 7);
        Member a(disk, l.a), b(disk, l.b);
        const Model ma = a.records(), mb = b.records();
        const bool aBefore = ma == initialContents("a"), aAfter = ma == changedContents("a");
        const bool bBefore = mb == initialContents("b"), bAfter = mb == changedContents("b");
        ++cutPoints;
        const bool sound = (aBefore && bBefore) || (aAfter && bAfter);
        if (!sound) ++failures;
        EXPECT_TRUE(sound) << "a " << (aBefore ? "before" : aAfter ? "after" : "damaged") << ", b "
                           << (bBefore ? "before" : bAfter ? "after" : "damaged");
        if (reachedEnd) {
          EXPECT_TRUE(aAfter && bAfter);
          break;
        }
      }
    }
  }
  std::cout << "[ crash cut points: " << cutPoints << ", mixed or damaged: " << failures << " ]\n";
}

// A write or flush that fails anywhere in a two-file commit: the files (read
// again, and again after a reboot) are both before or both after. With one
// control file every failure is reported; with two, a failure to delete the
// id from the second one, after the commit point, changes nothing and is not.
TEST_F(Transactions, AFailedWriteOrFlushAnywhereLeavesBothBeforeOrBothAfter) {
  int failurePoints = 0, mixed = 0;
  for (const char* other : {"shop/b.glm", "home/b.glm"}) {
    const bool oneControlFile = std::string(other).rfind("shop/", 0) == 0;
    for (const bool flushes : {false, true}) {
      for (std::uint64_t at = 1;; ++at) {
        SCOPED_TRACE(::testing::Message() << other << (flushes ? " flush " : " write ") << at);
        FaultFileSystem disk;
        bool failed = false, done = false;
        {
          Member a(disk, "shop/a.glm"), b(disk, other);
          plant(a, "a");
          plant(b, "b");
          ASSERT_EQ(Transaction::current().begin({a.member(disk), b.member(disk)}, 1), 0);
          change(a, "a");
          change(b, "b");
          disk.resetCounters();
          (flushes ? disk.plan.failFlush : disk.plan.failWrite) = at;
          try {
            Transaction::current().commit();
          } catch (const OsFailure&) {
            failed = true;
          } catch (const InternalError&) {
            failed = true;
          }
          EXPECT_FALSE(Transaction::current().active());
          done = at > (flushes ? disk.flushes() : disk.writes());
          if (failed) ++failurePoints;
          if (oneControlFile) {
            EXPECT_EQ(failed, !done) << "a failure went unreported";
          }
          disk.plan = FaultPlan{};
          const Model ma = a.records(), mb = b.records();
          const bool aAfter = ma == changedContents("a"), bAfter = mb == changedContents("b");
          const bool sound = (aAfter && bAfter) || (ma == initialContents("a") && mb == initialContents("b"));
          EXPECT_TRUE(sound);
          if (!sound) ++mixed;
        }
        disk.reboot(UnflushedWrites::Kept);
        Member a(disk, "shop/a.glm"), b(disk, other);
        EXPECT_EQ(a.records() == changedContents("a"), b.records() == changedContents("b"));
        if (done) break;
      }
    }
  }
  std::cout << "[ failure points: " << failurePoints << ", mixed: " << mixed << " ]\n";
}

}  // namespace
}  // namespace glimra::datafile::testing
