// SPDX-License-Identifier: GPL-3.0-or-later
#include "program/back_up_first.h"

#include <ctime>

#include "collection/backups.h"

namespace glimra::program {

bool backUpFirst(runtime::Runtime& runtime, datafile::FileSystem& fileSystem, const std::string& path,
                 std::string_view caption, std::string_view question, bool keyDamageAllowed) {
  if (!fileSystem.exists(path)) return true;
  const collection::BackupResult backup =
      collection::backUpCollection(path, fileSystem, std::time(nullptr), keyDamageAllowed);
  if (backup.ok) return true;
  const runtime::Button answer = runtime.message(runtime::MessageBox{
      "No backup of\n" + path + "\ncould be taken: " + backup.error + ".\n\n" + std::string(question),
      std::string(caption), runtime::MessageIcon::Exclamation, runtime::Yes | runtime::No, runtime::No});
  return answer == runtime::Yes;
}

}  // namespace glimra::program
