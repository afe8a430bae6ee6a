// SPDX-License-Identifier: GPL-3.0-or-later
// The photos of a collection's backups. A backup "NAME STAMP.GLM" keeps the
// photos it refers to in "NAME STAMP.photos" beside it. Photo files are never
// rewritten, so an unchanged photo is a hard link to the one of the previous
// backup (or of the collection) where the file system allows: a backup after
// one photo changed writes that photo and the collection file, not the rest.
// Restoring a backup gives the collection's photo folder every photo the
// backup refers to, before the backup replaces the collection file, so the
// index never names a file that is not there. Nothing in the collection's
// photo folder is removed by a restore.
#pragma once

#include <string>
#include <vector>

#include "datafile/os_file.h"

namespace glimra::collection {

// Gives the backup at backupPath (whose copy is at copyPath until it is
// named) the photos it refers to, from the newest earlier backup's photos and
// the collection's. "" or why it failed (the backup's photo folder is then
// removed again).
std::string backUpPhotos(const std::string& copyPath, const std::string& collectionPath, const std::string& backupPath,
                         const std::vector<std::string>& earlierBackups);

// Removes the photo folder of a backup that is removed.
void removeBackupPhotos(const std::string& backupPath);

// Removes photo folders of the backup folder that no backup file stands
// beside (left by a backup that was interrupted before it was named).
void removeStrayBackupPhotos(const std::string& backupFolder);

// Gives the collection's photo folder the photos the staged copy of a backup
// (read through fileSystem) refers to, from the backup's photo folder. "" or why it failed.
std::string restorePhotos(datafile::FileSystem& fileSystem, const std::string& stagedPath,
                          const std::string& backupPath, const std::string& collectionPath);

}  // namespace glimra::collection
