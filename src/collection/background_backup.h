// SPDX-License-Identifier: GPL-3.0-or-later
// The day's backup of a collection, taken on a thread of its own so that the
// program that opened the collection goes on serving its user: the copy holds
// the collection (one reader slot) only while its bytes are taken, so a save
// waits at most for the copy, never for the check of the copy.
//
// The owner asks whether it has finished (finished(), from its own thread,
// e.g. on a timer) and takes the result once. stop() drops a backup still at
// work: it stops at its next read or write, its temporary is removed, and no
// backup is counted; one that was already whole and checked keeps its name.
// The destructor stops and waits, so a program that leaves never leaves a
// half backup behind (and a program that is killed leaves only an owned
// temporary, which the next start removes).
#pragma once

#include <atomic>
#include <ctime>
#include <optional>
#include <string>
#include <thread>

#include "collection/backups.h"

namespace glimra::collection {

class BackgroundBackup {
 public:
  BackgroundBackup() = default;
  BackgroundBackup(const BackgroundBackup&) = delete;
  BackgroundBackup& operator=(const BackgroundBackup&) = delete;
  ~BackgroundBackup();

  // Starts a backup of collectionPath (read through fileSystem, which must
  // outlive it) and returns once its copy holds the collection (or the
  // backup has ended): a commit made after start() is not in the backup. A
  // backup already at work is stopped and waited for first.
  void start(const std::string& collectionPath, datafile::FileSystem& fileSystem,
             std::time_t now = std::time(nullptr));
  bool running() const { return thread_.joinable() && !done_.load(); }
  bool started() const { return thread_.joinable(); }
  const std::string& path() const { return path_; }
  // The result once the backup has finished (the thread is then joined);
  // nullopt while it runs or when none was started. Given once.
  std::optional<BackupResult> finished();
  // Waits for the backup to finish and gives its result (nullopt when none
  // was started).
  std::optional<BackupResult> wait();
  // Stops a running backup and waits for it; its result is dropped.
  void stop();

 private:
  std::string path_;
  std::thread thread_;
  BackupControl control_;
  std::atomic<bool> done_{false};
  BackupResult result_;
};

}  // namespace glimra::collection
