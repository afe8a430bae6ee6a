// SPDX-License-Identifier: GPL-3.0-or-later
// Backups of a collection: taken as a checked copy, named after the
// collection and the time, pruned to the newest ten, due once a day, and
// brought back by a restore that refuses a damaged backup.
#include "collection/backups.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include "collection/background_backup.h"
#include "collection/collection_check.h"
#include "collection/generator.h"
#include "collection/gl_record.h"
#include "datafile/datafile.h"
#include "collection/glimra_file.h"
#include "datafile/container.h"
#include "datafile/record_kinds.h"
#include "datafile/table_catalog.h"
#include "datafile/locks.h"
#include "datafile/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using namespace glimra::collection;
using glimra::datafile::testing::TempDir;

std::string bytesOf(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

void writeBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// 2026-12-10 12:00:00 UTC; the tests run in UTC so stamps are fixed.
constexpr std::time_t NOON = 1796904000;
constexpr std::time_t HOUR = 3600;

class BackupsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("XDG_DATA_HOME", dir_.file("data").c_str(), 1);
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    std::string error;
    ASSERT_EQ(generateCollectionFile(collection_, 25, 7, &error), 0) << error;
  }
  void TearDown() override { ::setenv("XDG_DATA_HOME", dir_.file("data").c_str(), 1); }

  std::vector<std::string> namesInFolder() const {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(backupFolderOf(collection_), ec))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  TempDir dir_;
  std::string collection_ = dir_.file("Tree.GLM");
};

TEST_F(BackupsTest, ABackupIsACheckedCopyNamedAfterTheCollectionAndTheTime) {
  const BackupResult backup = backUpCollection(collection_, glimra::datafile::posixFileSystem(), NOON);
  ASSERT_TRUE(backup.ok) << backup.error;
  EXPECT_EQ(fs::path(backup.path).filename(), "Tree 2026-12-10 12.00.00.GLM");
  EXPECT_EQ(fs::path(backup.path).parent_path().parent_path(), fs::path(dir_.file("data")) / "Glimra" / "backups");
  EXPECT_EQ(bytesOf(backup.path), bytesOf(collection_));
  EXPECT_EQ(namesInFolder(), std::vector<std::string>{"Tree 2026-12-10 12.00.00.GLM"}) << "no temporary left";
  const std::vector<Backup> list = listBackups(collection_);
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].taken, "2026-12-10 12:00:00");
  EXPECT_EQ(list[0].ornaments, 25);

  // A collection of the same name in another folder keeps its own backups.
  fs::create_directories(dir_.file("other"));
  const std::string namesake = dir_.file("other/Tree.GLM");
  fs::copy_file(collection_, namesake);
  EXPECT_NE(backupFolderOf(namesake), backupFolderOf(collection_));
  EXPECT_TRUE(listBackups(namesake).empty());
}

TEST_F(BackupsTest, TheNewestTenAreKeptAndTwoInOneSecondBothStay) {
  for (int i = 0; i < 12; ++i)
    ASSERT_TRUE(backUpCollection(collection_, glimra::datafile::posixFileSystem(), NOON + i * HOUR).ok);
  ASSERT_TRUE(backUpCollection(collection_, glimra::datafile::posixFileSystem(), NOON + 11 * HOUR).ok);
  const std::vector<Backup> list = listBackups(collection_);
  ASSERT_EQ(list.size(), BACKUPS_KEPT);
  EXPECT_EQ(fs::path(list[0].path).filename(), "Tree 2026-12-10 23.00.00 (2).GLM") << "newest first";
  EXPECT_EQ(fs::path(list[1].path).filename(), "Tree 2026-12-10 23.00.00.GLM");
  EXPECT_EQ(list.back().taken, "2026-12-10 15:00:00") << "the three oldest are gone";
  EXPECT_EQ(namesInFolder().size(), BACKUPS_KEPT);
}

TEST_F(BackupsTest, ABackupIsDueOncePerDay) {
  EXPECT_TRUE(dailyBackupDue(collection_, NOON));
  ASSERT_TRUE(backUpCollection(collection_, glimra::datafile::posixFileSystem(), NOON).ok);
  EXPECT_FALSE(dailyBackupDue(collection_, NOON + 11 * HOUR));
  EXPECT_TRUE(dailyBackupDue(collection_, NOON + 13 * HOUR)) << "the next day";
}

TEST_F(BackupsTest, AFailedBackupSaysWhyAndLeavesNothing) {
  struct Case {
    const char* what;
    std::function<void()> arrange;
    std::string expected;
  };
  const std::string blocker = dir_.file("blocker");
  const Case cases[] = {
      {"the folder cannot be made",
       [&] {
         writeBytes(blocker, "a file");
         ::setenv("XDG_DATA_HOME", blocker.c_str(), 1);
       },
       "The backup folder"},
      {"the collection is gone", [&] { fs::remove(collection_); }, "Tree.GLM cannot be read"},
      {"the collection is damaged",
       [&] {
         std::string bytes = bytesOf(collection_);
         for (std::size_t i = 1000; i < 1400 && i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7);
         writeBytes(collection_, bytes);
       },
       "does not pass the integrity check"},
      {"not a collection file", [&] { writeBytes(collection_, "name,category\r\n"); }, "does not open as a collection"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SetUp();
    c.arrange();
    const BackupResult backup = backUpCollection(collection_);
    EXPECT_FALSE(backup.ok);
    EXPECT_NE(backup.error.find(c.expected), std::string::npos) << backup.error;
    EXPECT_TRUE(namesInFolder().empty()) << "nothing left behind";
    ::setenv("XDG_DATA_HOME", dir_.file("data").c_str(), 1);
    fs::remove_all(dir_.file("data"));
  }
}

// The copy is taken under a reader slot: while another program commits (all
// reader slots taken) it waits, and when the wait is given up it fails.
TEST_F(BackupsTest, ABackupWaitsForACommitToFinish) {
  int error = 0;
  auto writer = glimra::datafile::posixFileSystem().open(collection_, true, false, &error);
  ASSERT_TRUE(writer);
  namespace lock_bytes = glimra::datafile::lock_bytes;
  ASSERT_EQ(writer->lock(lock_bytes::kBase, lock_bytes::kReaderSlots, true), 0);
  glimra::datafile::setLockWaitObserver([](const std::string&, std::chrono::seconds) { return false; });
  const BackupResult refused = backUpCollection(collection_);
  EXPECT_FALSE(refused.ok);
  EXPECT_NE(refused.error.find("another program kept writing"), std::string::npos) << refused.error;
  std::thread finish([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    writer->unlock(lock_bytes::kBase, lock_bytes::kReaderSlots);
  });
  glimra::datafile::setLockWaitObserver({});
  EXPECT_TRUE(backUpCollection(collection_).ok) << "taken once the commit is done";
  finish.join();
}

// A collection with one key entry erased: its records are whole, so a backup
// taken before its keys are rebuilt lets that through; any other backup
// refuses it and leaves nothing, and a restore never brings it back.
TEST_F(BackupsTest, KeyDamageIsLetThroughOnlyForTheBackupBeforeARebuild) {
  {
    int error = 0;
    auto os = glimra::datafile::posixFileSystem().open(collection_, true, false, &error);
    ASSERT_TRUE(os);
    glimra::datafile::Container container(*os);
    ASSERT_EQ(container.open(), 0);
    container.refresh(true);
    glimra::datafile::TreeRecord entry;
    const auto table = glimra::datafile::findTable(container, "UNNAMED");
    ASSERT_TRUE(table);
    ASSERT_TRUE(container.findFirstGreater(glimra::datafile::kindPrefix(*table, GlKey::NAMEKEYKEY), &entry));
    container.erase(entry.key());
    container.commit();
  }
  const BackupResult refused = backUpCollection(collection_, glimra::datafile::posixFileSystem(), NOON);
  EXPECT_FALSE(refused.ok);
  EXPECT_NE(refused.error.find("does not pass the integrity check"), std::string::npos) << refused.error;
  EXPECT_TRUE(namesInFolder().empty()) << "nothing left behind";

  const BackupResult allowed = backUpCollection(collection_, glimra::datafile::posixFileSystem(), NOON, true);
  ASSERT_TRUE(allowed.ok) << allowed.error;
  const StagedRestore staged = stageRestore(allowed.path, collection_);
  EXPECT_FALSE(staged.ok);
  EXPECT_NE(staged.error.find("is damaged and cannot be restored"), std::string::npos) << staged.error;
  EXPECT_FALSE(fs::exists(staged.stagedPath));
}

TEST_F(BackupsTest, ARestoreBringsBackTheChosenStateAndRefusesADamagedBackup) {
  const std::string before = bytesOf(collection_);
  const BackupResult backup = backUpCollection(collection_);
  ASSERT_TRUE(backup.ok);
  std::string error;
  ASSERT_EQ(generateCollectionFile(collection_, 3, 9, &error), 0) << error;

  StagedRestore staged = stageRestore(backup.path, collection_);
  ASSERT_TRUE(staged.ok) << staged.error;
  EXPECT_EQ(bytesOf(collection_).size() < before.size(), true) << "untouched until finished";
  EXPECT_EQ(finishRestore(staged), "");
  EXPECT_EQ(bytesOf(collection_), before);
  EXPECT_FALSE(fs::exists(staged.stagedPath));

  std::string damaged = bytesOf(backup.path);
  for (std::size_t i = 1000; i < 1400; ++i) damaged[i] = static_cast<char>(i * 7);
  writeBytes(backup.path, damaged);
  ASSERT_EQ(generateCollectionFile(collection_, 3, 9, &error), 0) << error;
  const std::string current = bytesOf(collection_);
  staged = stageRestore(backup.path, collection_);
  EXPECT_FALSE(staged.ok);
  EXPECT_NE(staged.error.find("is damaged and cannot be restored"), std::string::npos) << staged.error;
  EXPECT_EQ(bytesOf(collection_), current);
  EXPECT_FALSE(fs::exists(staged.stagedPath));
  EXPECT_EQ(listBackups(collection_).at(0).path, backup.path) << "a damaged backup is still listed";
}

}  // namespace

namespace glimra::collection {
namespace {

// The day's backup on its own thread, racing commits of the collection and
// stopped (as at the program's exit) at different moments: the folder then
// holds either one whole backup that passes the check, or nothing at all.
TEST_F(BackupsTest, ABackgroundBackupRacingSavesAndAStopIsWholeOrAbsent) {
  std::string error;
  ASSERT_EQ(generateCollectionFile(collection_, 2000, 3, &error), 0) << error;
  for (int stopAfterMs : {0, 5, 30, -1}) {  // -1: never stopped
    SCOPED_TRACE(stopAfterMs);
    fs::remove_all(backupFolderOf(collection_));
    BackgroundBackup backup;
    backup.start(collection_, datafile::posixFileSystem());
    {
      // Saves go on meanwhile, each a committed transaction of its own.
      GlRecord record;
      datafile::DataFile file;
      file.declare(glimraDeclaration(), &record);
      file.setName(collection_);
      ASSERT_EQ(file.open(datafile::READ_WRITE_DENY_WRITE), 0);
      record.clear();
      for (int i = 0; i < 5; ++i) {
        ASSERT_EQ(file.add(), 0) << file.errorText();
      }
      file.close();
    }
    if (stopAfterMs >= 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(stopAfterMs));
      backup.stop();
    } else {
      const auto result = backup.wait();
      ASSERT_TRUE(result && result->ok) << (result ? result->error : "");
    }
    const std::vector<std::string> names = namesInFolder();
    if (names.empty()) continue;  // dropped: nothing counted, nothing left
    ASSERT_EQ(names.size(), 1u) << names[0] << " (no temporary beside a backup)";
    const auto backups = listBackups(collection_);
    ASSERT_EQ(backups.size(), 1u);
    EXPECT_TRUE(checkCollectionFile(datafile::posixFileSystem(), backups[0].path).sound());
  }
}

}  // namespace
}  // namespace glimra::collection
