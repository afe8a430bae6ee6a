// SPDX-License-Identifier: GPL-3.0-or-later
// Before the program replaces or rewrites a whole collection file (a new file
// or a copy put over it, a restore, a key rebuild, an import), it takes a
// backup of it; a backup that fails is told to the user, who decides whether
// the operation goes on without one.
#pragma once

#include <string>
#include <string_view>

#include "datafile/os_file.h"
#include "runtime/runtime.h"

namespace glimra::program {

// Takes a backup of the collection at `path` (reached through `fileSystem`).
// True when the operation may go on: the backup was taken, or it failed and
// the user answered Yes to `question` (shown after the reason, under
// `caption`, No the default). A missing file needs no backup: true. With
// keyDamageAllowed (the keys are about to be rebuilt) a copy whose keys alone
// are damaged is a good backup.
bool backUpFirst(runtime::Runtime& runtime, datafile::FileSystem& fileSystem, const std::string& path,
                 std::string_view caption, std::string_view question = "Go on without a backup?",
                 bool keyDamageAllowed = false);

}  // namespace glimra::program
