// SPDX-License-Identifier: GPL-3.0-or-later
// The check of a collection file: the data file's own integrity check, and
// what a collection needs beyond it: every collection table holds its header
// record (the first record in record order), without which the program cannot
// load the file.
#pragma once

#include <string>

#include "datafile/declaration.h"
#include "datafile/file_check.h"

namespace glimra::collection {

// True when a stored table definition is the collection's (same record length
// and the same fields at the same places).
bool isCollectionLayout(const datafile::TableDeclaration& layout);

datafile::FileCheckReport checkCollectionFile(datafile::FileSystem& fileSystem, const std::string& path);

}  // namespace glimra::collection
