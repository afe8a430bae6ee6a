// SPDX-License-Identifier: GPL-3.0-or-later
// The check of a collection file: the data file's own integrity check, and
// what a collection needs beyond it:
//  - every table of a collection file is stored with the declaration the
//    program opens it with: the same structure (field types, offsets and
//    sizes, keys), without which every command fails with "Invalid Record
//    Declaration" (47), and the same names;
//  - every collection table holds its header record (the first record in
//    record order), without which the program cannot load the file;
//  - a key entry that disagrees with its record is named by the ornament,
//    its values shown as text.
// And the one rule for rebuilding damaged keys, which the program and
// glimra-file share: a rebuild takes every value from the records, so it goes
// on by itself only when no key entry disagrees with its record.
#pragma once

#include <string>

#include "datafile/declaration.h"
#include "datafile/file_check.h"

namespace glimra::collection {

// True when a stored table definition is meant as the collection's: most of
// its fields carry the collection's names in the collection's order (a name
// changed by damage does not make it another table).
bool isCollectionLayout(const datafile::TableDeclaration& layout);

datafile::FileCheckReport checkCollectionFile(datafile::FileSystem& fileSystem, const std::string& path);

// Whether a key rebuild may mend what a check found.
enum class KeyRepair {
  NotNeeded,   // the file is sound
  ByItself,    // only keys are damaged and no entry disagrees with its record: a rebuild loses nothing
  AskFirst,    // only keys are damaged, but entries disagree with their records: a rebuild keeps the
               // records' values, which may be the damaged ones, so the user must agree to it
  Impossible,  // damage beyond the keys, or no file to check: a rebuild would not mend it
};
KeyRepair keyRepairFor(const datafile::FileCheckReport& report);

// One disagreement for a collector: the ornament, the field the key sorts
// by, and both values ("Star (record 12): Stock # is "C-3245" in the record,
// "S-3245" in its key entry").
std::string describeDisagreement(const datafile::KeyDisagreement& disagreement);

}  // namespace glimra::collection
