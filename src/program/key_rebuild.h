// SPDX-License-Identifier: GPL-3.0-or-later
// Before the program rebuilds the keys of a collection file. A rebuild takes
// every value from the records; where a key entry and its record disagree (a
// changed byte in one of them), nothing tells which is right, so the user is
// shown each such ornament with both values and decides. The file is then
// backed up, as before every rewrite of a whole file; the backup keeps the
// key entries' values.
#pragma once

#include <string>
#include <string_view>

#include "datafile/file_check.h"
#include "datafile/os_file.h"
#include "runtime/runtime.h"

namespace glimra::program {

// Checks the collection at `path`; when key entries disagree with their
// records, asks under `caption` whether to rebuild from the records all the
// same (No the default). Then takes a backup (damaged keys let through, as
// the rebuild mends them; a failed backup asks whether to go on). True when
// the rebuild may go on.
bool readyToRebuildKeys(runtime::Runtime& runtime, datafile::FileSystem& fileSystem, const std::string& path,
                        std::string_view caption);

// The question asked when key entries disagree with their records: the
// ornaments (at most `listed`, then how many more) with both values.
std::string disagreementQuestion(const std::string& path, const datafile::FileCheckReport& report,
                                 std::size_t listed = 10);

}  // namespace glimra::program
