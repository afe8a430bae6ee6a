// SPDX-License-Identifier: GPL-3.0-or-later
#include "collection/background_backup.h"

#include <future>

namespace glimra::collection {

BackgroundBackup::~BackgroundBackup() { stop(); }

void BackgroundBackup::start(const std::string& collectionPath, datafile::FileSystem& fileSystem, std::time_t now) {
  stop();
  path_ = collectionPath;
  control_.stop = false;
  done_ = false;
  result_ = {};
  auto copying = std::make_shared<std::promise<void>>();
  std::future<void> holding = copying->get_future();
  control_.copying = [copying] { copying->set_value(); };
  thread_ = std::thread([this, collectionPath, &fileSystem, now, copying] {
    BackupResult result = backUpCollection(collectionPath, fileSystem, now, false, &control_);
    result_ = std::move(result);
    done_.store(true);
    control_.copying = nullptr;
    try {
      copying->set_value();  // a backup that ended before its copy began
    } catch (const std::future_error&) {
    }
  });
  holding.wait();
}

std::optional<BackupResult> BackgroundBackup::finished() {
  if (!thread_.joinable() || !done_.load()) return std::nullopt;
  thread_.join();
  return std::move(result_);
}

std::optional<BackupResult> BackgroundBackup::wait() {
  if (!thread_.joinable()) return std::nullopt;
  thread_.join();
  return std::move(result_);
}

void BackgroundBackup::stop() {
  if (!thread_.joinable()) return;
  control_.stop.store(true);
  thread_.join();
}

}  // namespace glimra::collection
