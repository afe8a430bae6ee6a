// SPDX-License-Identifier: GPL-3.0-or-later
#include "program/back_up_first.h"

#include <ctime>

#include "collection/backups.h"

namespace glimra::program {

bool backUpFirst(runtime::Runtime& runtime, datafile::FileSystem& fileSystem, const std::string& path,
                 std::string_view caption, std::string_view question, std::string* backupPath,
                 bool keyDamageAllowed) {
  if (backupPath) backupPath->clear();
  if (!fileSystem.exists(path)) return true;
  const collection::BackupResult backup =
      collection::backUpCollection(path, fileSystem, std::time(nullptr), keyDamageAllowed);
  if (backup.ok) {
    if (backupPath) *backupPath = backup.path;
    return true;
  }
  return goOnWithoutBackup(runtime, path, backup.error, caption, question);
}

bool goOnWithoutBackup(runtime::Runtime& runtime, const std::string& path, const std::string& reason,
                       std::string_view caption, std::string_view question) {
  const runtime::Button answer = runtime.message(runtime::MessageBox{
      "No backup of\n" + path + "\ncould be taken: " + reason + ".\n\n" + std::string(question),
      std::string(caption), runtime::MessageIcon::Exclamation, runtime::Yes | runtime::No, runtime::No});
  return answer == runtime::Yes;
}

std::string keptInBackup(const std::string& backupPath) {
  return "The collection as it was is kept in the backup\n" + backupPath +
         "\nFile › Restore from Backup brings it back.";
}

}  // namespace glimra::program
