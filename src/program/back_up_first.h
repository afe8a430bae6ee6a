// SPDX-License-Identifier: GPL-3.0-or-later
// Before the program replaces or rewrites a whole collection file (a new file
// or a copy put over it, a restore, a key rebuild, an import), it takes a
// backup of it; a backup that fails is told to the user, who decides whether
// the operation goes on without one. Where a backup was taken of a file that
// is then replaced, the user is told where it is.
#pragma once

#include <string>
#include <string_view>

#include "datafile/os_file.h"
#include "runtime/runtime.h"

namespace glimra::program {

// Takes a backup of the collection at `path` (reached through `fileSystem`).
// True when the operation may go on: the backup was taken (its path in
// *backupPath, when given), or it failed and the user answered Yes to
// `question` (shown after the reason, under `caption`, No the default). A
// missing file needs no backup: true, *backupPath empty. With
// keyDamageAllowed (a file about to have its damaged keys rebuilt) a copy
// whose keys alone are damaged counts as a backup: every record is in it.
bool backUpFirst(runtime::Runtime& runtime, datafile::FileSystem& fileSystem, const std::string& path,
                 std::string_view caption, std::string_view question = "Go on without a backup?",
                 std::string* backupPath = nullptr, bool keyDamageAllowed = false);

// Tells why no backup of `path` could be taken (`reason`, a clause) and asks
// `question` under `caption`: true when the user answers Yes (No the default).
bool goOnWithoutBackup(runtime::Runtime& runtime, const std::string& path, const std::string& reason,
                       std::string_view caption, std::string_view question);

// The sentence that says where the collection as it was before a
// replacement is kept, and how to bring it back.
std::string keptInBackup(const std::string& backupPath);

}  // namespace glimra::program
