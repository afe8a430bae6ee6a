// SPDX-License-Identifier: GPL-3.0-or-later
// Backups of collection files: a copy of a collection taken before anything
// replaces or rewrites the whole file, and once a day when it is opened, kept
// in a folder of its own so that an earlier state can be brought back.
//
// Where: $XDG_DATA_HOME/Glimra/backups (when that is an absolute path), else
// ~/.local/share/Glimra/backups; inside it one folder per collection, named
// after the collection's file and a short hash of its full path (so that two
// collections of the same name in different folders never mix), holding
// "NAME YYYY-MM-DD HH.MM.SS.GLM" files in local time (" (2)" and up when two
// fall in one second).
//
// A backup is taken under a reader slot of the collection (one committed
// state, even while another program writes), written under a temporary name,
// flushed, checked with the collection's integrity check, and only then given
// its name; beyond the newest BACKUPS_KEPT of a collection the oldest are
// removed. A failed backup leaves no file behind and says why; the collection
// itself is only read. A backup killed on the way leaves its temporary
// ("NAME STAMP.GLM.partial-XXXXXX"), which the next backup to that folder
// removes, and so does the program at its start.
#pragma once

#include <atomic>
#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "datafile/file_check.h"
#include "datafile/os_file.h"

namespace glimra::collection {

inline constexpr std::size_t BACKUPS_KEPT = 10;

// The folder all backups go to, and the one of a collection.
std::string backupRoot();
std::string backupFolderOf(const std::string& collectionPath);

struct BackupResult {
  bool ok = false;
  std::string path;   // the backup taken
  std::string error;  // when not ok: why, as a clause ("X cannot be read: …")
  bool stopped = false;  // not ok because the caller asked it to stop
  // When the copy failed its check: what the check found. The copy holds a
  // committed state of the collection byte for byte, so this is the
  // collection's own damage (as of that state).
  std::optional<datafile::FileCheckReport> damage;
};

// What a caller on another thread may do with a backup at work: stop it, and
// hear when its copy holds the collection (its reader slot is taken, so no
// commit changes what is copied from then on). `copying` is told once, from
// the backup's thread, or not at all when the copy never got that far.
struct BackupControl {
  std::atomic<bool> stop{false};
  std::function<void()> copying;
};

// Takes a backup of the collection at collectionPath, read through
// fileSystem (the one the program reaches the collection through), stamped
// with `now`, and prunes the collection's backups to BACKUPS_KEPT. The copy
// must pass the integrity check; with keyDamageAllowed (a collection about to
// have its damaged keys rebuilt) problems of its keys alone are let through,
// as every record is there.
//
// Once control->stop turns true (another thread may set it at any time) the backup
// stops at its next read or write, removes its temporary and counts nothing:
// the result is then not ok and `stopped`. The collection is held (its
// reader slot) only while its bytes are copied; the check reads the copy.
// Backups of this process are named and pruned one at a time, so that two
// running at once (the day's in the background, one before a command) never
// take one name.
BackupResult backUpCollection(const std::string& collectionPath,
                              datafile::FileSystem& fileSystem = datafile::posixFileSystem(),
                              std::time_t now = std::time(nullptr), bool keyDamageAllowed = false,
                              BackupControl* control = nullptr);

// Removes the temporaries that killed backups left in every collection's
// backup folder (those of a backup still at work are left alone).
void removeAbandonedBackupTemporaries();

// True when the collection has no backup stamped on the local day of `now`:
// opening it then takes one.
bool dailyBackupDue(const std::string& collectionPath, std::time_t now = std::time(nullptr));

struct Backup {
  std::string path;
  std::string taken;    // "YYYY-MM-DD HH:MM:SS", local time
  long ornaments = -1;  // live ornaments it holds; -1 when it cannot be opened
};

// The backups of a collection, newest first.
std::vector<Backup> listBackups(const std::string& collectionPath);

// Bringing a backup back, in two steps so that the caller can close the
// collection (and back it up) in between: stageRestore copies the backup,
// under its reader slot, to a temporary file beside the collection and checks
// it there, leaving the collection untouched; finishRestore renames it over
// the collection, discardRestore removes it.
struct StagedRestore {
  bool ok = false;
  std::string error;  // when not ok: why, for the user (a damaged backup is refused here)
  std::string stagedPath;
  std::string collectionPath;
};
StagedRestore stageRestore(const std::string& backupPath, const std::string& collectionPath,
                           datafile::FileSystem& fileSystem = datafile::posixFileSystem());
// "" on success, else why the collection could not be replaced (it then
// holds what it held before).
std::string finishRestore(const StagedRestore& staged, datafile::FileSystem& fileSystem = datafile::posixFileSystem());
void discardRestore(const StagedRestore& staged, datafile::FileSystem& fileSystem = datafile::posixFileSystem());

}  // namespace glimra::collection
