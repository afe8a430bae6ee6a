// SPDX-License-Identifier: GPL-3.0-or-later
#include "collection/photo_backups.h"

#include <filesystem>
#include <system_error>

#include "collection/photo_check.h"
#include "collection/photo_store.h"

namespace glimra::collection {
namespace {

namespace fs = std::filesystem;

}  // namespace

std::string backUpPhotos(const std::string& copyPath, const std::string& collectionPath, const std::string& backupPath,
                         const std::vector<std::string>& earlierBackups) {
  std::vector<std::string> sources;
  // The newest earlier backup first: it lies on the backup's own file system.
  for (auto it = earlierBackups.rbegin(); it != earlierBackups.rend(); ++it) {
    std::error_code ec;
    if (fs::is_directory(photoFolderOf(*it), ec)) {
      sources.push_back(photoFolderOf(*it));
      break;
    }
  }
  sources.push_back(photoFolderOf(collectionPath));
  const CarriedPhotos carried = carryPhotos(datafile::posixFileSystem(), copyPath, sources, photoFolderOf(backupPath));
  if (!carried.error.empty()) removeBackupPhotos(backupPath);
  return carried.error;
}

void removeBackupPhotos(const std::string& backupPath) {
  std::error_code ec;
  fs::remove_all(photoFolderOf(backupPath), ec);
}

void removeStrayBackupPhotos(const std::string& backupFolder) {
  std::error_code ec;
  std::vector<fs::path> stray;
  for (const fs::directory_entry& entry : fs::directory_iterator(backupFolder, ec)) {
    const fs::path path = entry.path();
    if (path.extension() != ".photos" || !entry.is_directory(ec)) continue;
    fs::path backup = path;
    backup.replace_extension(".GLM");
    if (!fs::exists(backup, ec)) stray.push_back(path);
  }
  for (const fs::path& path : stray) fs::remove_all(path, ec);
}

std::string restorePhotos(datafile::FileSystem& fileSystem, const std::string& stagedPath,
                          const std::string& backupPath, const std::string& collectionPath) {
  return carryPhotos(fileSystem, stagedPath, {photoFolderOf(backupPath)}, photoFolderOf(collectionPath)).error;
}

}  // namespace glimra::collection
