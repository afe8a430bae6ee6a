// SPDX-License-Identifier: GPL-3.0-or-later
#include "collection/backups.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <optional>
#include <system_error>
#include <utility>

#include "collection/collection_check.h"
#include "collection/gl_record.h"
#include "collection/glimra_file.h"
#include "collection/photo_backups.h"
#include "collection/temporary_files.h"
#include "datafile/committed_copy.h"
#include "datafile/datafile.h"
#include "datafile/file_errors.h"

namespace glimra::collection {
namespace {

namespace fs = std::filesystem;

constexpr const char* BACKUP_EXTENSION = ".GLM";
constexpr std::size_t STAMP_LENGTH = 19;  // "YYYY-MM-DD HH.MM.SS"

std::string homeFolder() {
  const char* home = std::getenv("HOME");
  if (home && home[0] != '\0') return home;
  if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) return pw->pw_dir;
  return ".";
}

std::uint32_t fnv1a(const std::string& text) {
  std::uint32_t hash = 2166136261u;
  for (unsigned char c : text) hash = (hash ^ c) * 16777619u;
  return hash;
}

std::string localStamp(std::time_t when, const char* format) {
  std::tm local{};
  localtime_r(&when, &local);
  char text[32];
  std::strftime(text, sizeof text, format, &local);
  return text;
}

std::string stemOf(const std::string& collectionPath) {
  const std::string stem = fs::path(collectionPath).stem().string();
  return stem.empty() ? "collection" : stem;
}

// The stamp of a backup's file name and the number of its " (n)" suffix (1
// without one); false for a name that is not a backup's.
bool parseBackupName(const std::string& name, std::string& stamp, int& sequence) {
  if (name.size() < STAMP_LENGTH + 5 || name.compare(name.size() - 4, 4, BACKUP_EXTENSION) != 0) return false;
  std::string rest = name.substr(0, name.size() - 4);
  sequence = 1;
  if (rest.size() > 4 && rest.back() == ')') {
    const std::size_t open = rest.rfind(" (");
    if (open == std::string::npos) return false;
    const std::string digits = rest.substr(open + 2, rest.size() - open - 3);
    if (digits.empty() || digits.size() > 4 || digits.find_first_not_of("0123456789") != std::string::npos) return false;
    sequence = std::stoi(digits);
    rest.resize(open);
  }
  if (rest.size() < STAMP_LENGTH + 1 || rest[rest.size() - STAMP_LENGTH - 1] != ' ') return false;
  stamp = rest.substr(rest.size() - STAMP_LENGTH);
  static const char pattern[] = "dddd-dd-dd dd.dd.dd";
  for (std::size_t i = 0; i < STAMP_LENGTH; ++i)
    if (pattern[i] == 'd' ? !std::isdigit(static_cast<unsigned char>(stamp[i])) : stamp[i] != pattern[i]) return false;
  return true;
}

struct Found {
  std::string path, stamp;
  int sequence;
};

// The collection's backups, oldest first.
std::vector<Found> findBackups(const std::string& collectionPath) {
  std::vector<Found> found;
  std::error_code ec;
  for (const fs::directory_entry& entry : fs::directory_iterator(backupFolderOf(collectionPath), ec)) {
    Found f;
    if (entry.is_regular_file(ec) && parseBackupName(entry.path().filename().string(), f.stamp, f.sequence)) {
      f.path = entry.path().string();
      found.push_back(std::move(f));
    }
  }
  std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
    return a.stamp != b.stamp ? a.stamp < b.stamp : a.sequence < b.sequence;
  });
  return found;
}

std::string osText(int code) { return datafile::osErrorText(code); }

// What an integrity check found, for a message; "" when sound.
std::string verdictOf(const datafile::FileCheckReport& report, bool keyDamageAllowed = false) {
  if (keyDamageAllowed && report.repairableByBuild()) return {};
  if (report.openError)
    return "it does not open as a collection file (" + datafile::errorTextFor(report.openError) + ")";
  if (report.noHeader) return "it does not open as a collection file (" + report.problems.front() + ")";
  if (!report.problems.empty())
    return "it does not pass the integrity check: " + report.problems.front() +
           (report.problems.size() > 1 ? " (and " + std::to_string(report.problems.size() - 1) + " more)" : "");
  return {};
}

std::string checkVerdict(datafile::FileSystem& fileSystem, const std::string& path, bool keyDamageAllowed = false) {
  return verdictOf(checkCollectionFile(fileSystem, path), keyDamageAllowed);
}

// A file system whose reads and writes fail with ECANCELED once *stop turns
// true: it stops a backup's copy and check wherever they are, and they then
// clean up as after any failed read or write.
class StoppableFile : public datafile::OsFile {
 public:
  StoppableFile(std::unique_ptr<datafile::OsFile> file, const std::atomic<bool>& stop, std::function<void()> firstRead)
      : file_(std::move(file)), stop_(stop), firstRead_(std::move(firstRead)) {}
  int readAt(std::uint64_t offset, void* buffer, std::size_t length, std::size_t* got) override {
    if (firstRead_) std::exchange(firstRead_, nullptr)();
    if (stop_.load(std::memory_order_relaxed)) return ECANCELED;
    return file_->readAt(offset, buffer, length, got);
  }
  int writeAt(std::uint64_t offset, const void* buffer, std::size_t length) override {
    if (stop_.load(std::memory_order_relaxed)) return ECANCELED;
    return file_->writeAt(offset, buffer, length);
  }
  int flush() override { return stop_.load(std::memory_order_relaxed) ? ECANCELED : file_->flush(); }
  void startWritingBack(std::uint64_t offset, std::uint64_t length) override { file_->startWritingBack(offset, length); }
  int size(std::uint64_t* bytes) override { return file_->size(bytes); }
  int truncate(std::uint64_t bytes) override { return file_->truncate(bytes); }
  int lock(std::uint64_t offset, std::uint64_t length, bool exclusive) override {
    return file_->lock(offset, length, exclusive);
  }
  int unlock(std::uint64_t offset, std::uint64_t length) override { return file_->unlock(offset, length); }

 private:
  std::unique_ptr<datafile::OsFile> file_;
  const std::atomic<bool>& stop_;
  std::function<void()> firstRead_;
};

class StoppableFileSystem : public datafile::FileSystem {
 public:
  // firstRead: told at the first read of the first file opened (the copy
  // reads only after it took the source's reader slot).
  StoppableFileSystem(datafile::FileSystem& inner, const std::atomic<bool>& stop, std::function<void()> firstRead = {})
      : inner_(inner), stop_(stop), firstRead_(std::move(firstRead)) {}
  std::unique_ptr<datafile::OsFile> open(const std::string& path, bool forWrite, bool create, int* error) override {
    if (stop_.load(std::memory_order_relaxed)) {
      *error = ECANCELED;
      return nullptr;
    }
    std::unique_ptr<datafile::OsFile> file = inner_.open(path, forWrite, create, error);
    if (!file) return nullptr;
    return std::make_unique<StoppableFile>(std::move(file), stop_, std::exchange(firstRead_, nullptr));
  }
  bool exists(const std::string& path) override { return inner_.exists(path); }
  int remove(const std::string& path) override { return inner_.remove(path); }
  int copy(const std::string& from, const std::string& to) override { return inner_.copy(from, to); }
  int rename(const std::string& from, const std::string& to) override { return inner_.rename(from, to); }
  int flushFolderOf(const std::string& path) override { return inner_.flushFolderOf(path); }
  int makeFolder(const std::string& path) override { return inner_.makeFolder(path); }

 private:
  datafile::FileSystem& inner_;
  const std::atomic<bool>& stop_;
  std::function<void()> firstRead_;
};

// Naming a backup and pruning the folder, one backup of this process at a time.
std::mutex& namingLock() {
  static std::mutex lock;
  return lock;
}

// A backup is written under an owned temporary name beside where it goes
// (temporary_files.h), so that one a killed backup left behind is never
// taken for a backup, and is removed by the next backup to the folder (or
// at the program's start). Its name: the backup's name with ".partial-" and
// six letters or digits after it.
std::optional<OwnedTemporary> backupTemporary(const std::string& folder, const std::string& target, int* error) {
  removeAbandonedTemporariesIn(folder);
  return OwnedTemporary::create(target, error);
}

}  // namespace

void removeAbandonedBackupTemporaries() {
  std::error_code ec;
  for (const fs::directory_entry& entry : fs::directory_iterator(backupRoot(), ec))
    if (entry.is_directory(ec)) removeAbandonedTemporariesIn(entry.path().string());
}

std::string backupRoot() {
  const char* xdg = std::getenv("XDG_DATA_HOME");
  const std::string data = xdg && xdg[0] == '/' ? std::string(xdg) : homeFolder() + "/.local/share";
  return data + "/Glimra/backups";
}

std::string backupFolderOf(const std::string& collectionPath) {
  std::error_code ec;
  fs::path full = fs::weakly_canonical(fs::absolute(collectionPath, ec), ec);
  if (full.empty()) full = collectionPath;
  char hash[9];
  std::snprintf(hash, sizeof hash, "%08x", fnv1a(full.string()));
  return backupRoot() + "/" + stemOf(collectionPath) + "-" + hash;
}

BackupResult backUpCollection(const std::string& collectionPath, datafile::FileSystem& fileSystem, std::time_t now,
                              bool keyDamageAllowed, BackupControl* control) {
  const std::atomic<bool>* stop = control ? &control->stop : nullptr;
  BackupResult result;
  const std::string folder = backupFolderOf(collectionPath);
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (ec) {
    result.error = "The backup folder " + folder + " cannot be made: " + ec.message();
    return result;
  }
  const std::string base = folder + "/" + stemOf(collectionPath) + " " + localStamp(now, "%Y-%m-%d %H.%M.%S");
  // The first free name of the stamp; taken for good under namingLock.
  auto freeTarget = [&] {
    std::string target = base + BACKUP_EXTENSION;
    for (int n = 2; fs::exists(target, ec) && n < 10000; ++n)
      target = base + " (" + std::to_string(n) + ")" + BACKUP_EXTENSION;
    return target;
  };
  std::optional<StoppableFileSystem> stoppableSource, stoppableDisk;
  if (stop) {
    stoppableSource.emplace(fileSystem, *stop, control->copying);
    stoppableDisk.emplace(datafile::posixFileSystem(), *stop);
  }
  datafile::FileSystem& source = stop ? static_cast<datafile::FileSystem&>(*stoppableSource) : fileSystem;
  datafile::FileSystem& disk = stop ? static_cast<datafile::FileSystem&>(*stoppableDisk) : datafile::posixFileSystem();
  datafile::FileSystem& plainDisk = datafile::posixFileSystem();
  int temporaryError = 0;
  const std::optional<OwnedTemporary> owned = backupTemporary(folder, freeTarget(), &temporaryError);
  if (!owned) {
    result.error = "the backup cannot be written to " + folder + ": " + osText(temporaryError);
    return result;
  }
  const std::string& temporary = owned->path();
  auto stopped = [&] { return stop && stop->load(); };

  const datafile::CommittedCopy copy = datafile::copyCommittedFile(source, collectionPath, disk, temporary);
  std::string problem;
  if (copy.gaveUp) {
    problem = "another program kept writing " + collectionPath;
  } else if (copy.osError) {
    problem = copy.sourceSide ? collectionPath + " cannot be read: " + osText(copy.osError)
                              : "the backup cannot be written to " + folder + ": " + osText(copy.osError);
  } else {
    // The copy holds a committed state of the collection byte for byte: its
    // damage is the collection's (as of that state).
    const datafile::FileCheckReport report = checkCollectionFile(disk, temporary);
    problem = verdictOf(report, keyDamageAllowed);
    if (!problem.empty() && report.openError == 0 && !stopped()) result.damage = report;
  }
  std::string target;
  std::unique_lock<std::mutex> naming(namingLock(), std::defer_lock);
  if (problem.empty() && !stopped()) {
    naming.lock();
    target = freeTarget();
    std::vector<std::string> earlier;
    for (const Found& f : findBackups(collectionPath)) earlier.push_back(f.path);
    problem = backUpPhotos(temporary, collectionPath, target, earlier);
    // Past this point the backup is whole and checked: it is named even when
    // a stop comes now.
    if (problem.empty()) {
      if (int error = plainDisk.rename(temporary, target))
        problem = "the backup cannot be named " + target + ": " + osText(error);
      else
        plainDisk.flushFolderOf(target);
    }
  }
  if (!problem.empty() || target.empty()) {
    plainDisk.remove(temporary);
    if (!target.empty()) removeBackupPhotos(target);
    result.stopped = stopped() && target.empty();
    result.error = result.stopped ? "the backup was stopped" : problem;
    if (result.stopped) result.damage.reset();
    return result;
  }
  result.ok = true;
  result.path = target;
  std::vector<Found> found = findBackups(collectionPath);
  for (std::size_t i = 0; i + BACKUPS_KEPT < found.size(); ++i) {
    fs::remove(found[i].path, ec);
    removeBackupPhotos(found[i].path);
  }
  removeStrayBackupPhotos(folder);
  return result;
}

bool dailyBackupDue(const std::string& collectionPath, std::time_t now) {
  const std::vector<Found> found = findBackups(collectionPath);
  return found.empty() || found.back().stamp.compare(0, 10, localStamp(now, "%Y-%m-%d")) != 0;
}

std::vector<Backup> listBackups(const std::string& collectionPath) {
  std::vector<Backup> list;
  const std::vector<Found> found = findBackups(collectionPath);
  for (auto it = found.rbegin(); it != found.rend(); ++it) {
    Backup backup;
    backup.path = it->path;
    backup.taken = it->stamp;
    backup.taken[13] = backup.taken[16] = ':';
    // Live ornaments from the counters alone: every record but the header
    // and the retired versions (the deleted-flag key holds exactly those).
    GlRecord buffer;
    datafile::DataFile file;
    file.declare(glimraDeclaration(), &buffer);
    file.setName(it->path);
    if (file.open(datafile::READ_ONLY_DENY_NONE) == 0) {
      const long records = static_cast<long>(file.records());
      const long retired = static_cast<long>(file.records(GlKey::DELETEKEY));
      if (file.errorCode() == 0) backup.ornaments = std::max(0L, records - retired - 1);
      file.close();
    }
    list.push_back(std::move(backup));
  }
  return list;
}

StagedRestore stageRestore(const std::string& backupPath, const std::string& collectionPath,
                           datafile::FileSystem& fileSystem) {
  StagedRestore staged;
  staged.collectionPath = collectionPath;
  staged.stagedPath = collectionPath + ".restoring";
  const datafile::CommittedCopy copy =
      datafile::copyCommittedFile(datafile::posixFileSystem(), backupPath, fileSystem, staged.stagedPath);
  if (copy.gaveUp)
    staged.error = "Another program kept writing the backup " + backupPath + ".";
  else if (copy.osError)
    staged.error = copy.sourceSide ? "The backup " + backupPath + " cannot be read: " + osText(copy.osError)
                                   : "The backup cannot be copied beside " + collectionPath + ": " + osText(copy.osError);
  else if (const std::string problem = checkVerdict(fileSystem, staged.stagedPath); !problem.empty())
    staged.error = "The backup " + backupPath + " is damaged and cannot be restored: " + problem + ".";
  else if (const std::string photos = restorePhotos(fileSystem, staged.stagedPath, backupPath, collectionPath); !photos.empty())
    staged.error = "The photos of the backup " + backupPath + " cannot be restored: " + photos + ".";
  if (!staged.error.empty()) {
    fileSystem.remove(staged.stagedPath);
    return staged;
  }
  staged.ok = true;
  return staged;
}

std::string finishRestore(const StagedRestore& staged, datafile::FileSystem& fileSystem) {
  if (int error = fileSystem.rename(staged.stagedPath, staged.collectionPath)) {
    fileSystem.remove(staged.stagedPath);
    return "The backup cannot replace " + staged.collectionPath + ": " + osText(error);
  }
  fileSystem.flushFolderOf(staged.collectionPath);
  return {};
}

void discardRestore(const StagedRestore& staged, datafile::FileSystem& fileSystem) {
  fileSystem.remove(staged.stagedPath);
}

}  // namespace glimra::collection
