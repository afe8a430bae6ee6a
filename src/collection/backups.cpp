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
#include <optional>
#include <system_error>

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

// What the integrity check of a copy found, for a message; "" when sound.
std::string checkVerdict(datafile::FileSystem& fileSystem, const std::string& path, bool keyDamageAllowed = false) {
  const datafile::FileCheckReport report = checkCollectionFile(fileSystem, path);
  if (keyDamageAllowed && report.repairableByBuild()) return {};
  if (report.openError)
    return "it does not open as a collection file (" + datafile::errorTextFor(report.openError) + ")";
  if (report.noHeader) return "it does not open as a collection file (" + report.problems.front() + ")";
  if (!report.problems.empty())
    return "it does not pass the integrity check: " + report.problems.front() +
           (report.problems.size() > 1 ? " (and " + std::to_string(report.problems.size() - 1) + " more)" : "");
  return {};
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
                              bool keyDamageAllowed) {
  BackupResult result;
  const std::string folder = backupFolderOf(collectionPath);
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (ec) {
    result.error = "The backup folder " + folder + " cannot be made: " + ec.message();
    return result;
  }
  const std::string base = folder + "/" + stemOf(collectionPath) + " " + localStamp(now, "%Y-%m-%d %H.%M.%S");
  std::string target = base + BACKUP_EXTENSION;
  for (int n = 2; fs::exists(target, ec) && n < 10000; ++n)
    target = base + " (" + std::to_string(n) + ")" + BACKUP_EXTENSION;
  datafile::FileSystem& disk = datafile::posixFileSystem();
  int temporaryError = 0;
  const std::optional<OwnedTemporary> owned = backupTemporary(folder, target, &temporaryError);
  if (!owned) {
    result.error = "the backup cannot be written to " + folder + ": " + osText(temporaryError);
    return result;
  }
  const std::string& temporary = owned->path();

  const datafile::CommittedCopy copy = datafile::copyCommittedFile(fileSystem, collectionPath, disk, temporary);
  std::string problem;
  if (copy.gaveUp)
    problem = "another program kept writing " + collectionPath;
  else if (copy.osError)
    problem = copy.sourceSide ? collectionPath + " cannot be read: " + osText(copy.osError)
                              : "the backup cannot be written to " + folder + ": " + osText(copy.osError);
  else
    problem = checkVerdict(disk, temporary, keyDamageAllowed);
  std::vector<std::string> earlier;
  for (const Found& f : findBackups(collectionPath)) earlier.push_back(f.path);
  if (problem.empty()) problem = backUpPhotos(temporary, collectionPath, target, earlier);
  if (problem.empty()) {
    if (int error = disk.rename(temporary, target))
      problem = "the backup cannot be named " + target + ": " + osText(error);
    else
      disk.flushFolderOf(target);
  }
  if (!problem.empty()) {
    disk.remove(temporary);
    removeBackupPhotos(target);
    result.error = problem;
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
