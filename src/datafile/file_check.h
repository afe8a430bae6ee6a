// SPDX-License-Identifier: GPL-3.0-or-later
// The integrity check of a data file: walks every page, record and key entry
// and verifies the invariants of the container (page order, separators, levels,
// packed regions, size bounds) and of the records (kinds, lengths, stored
// definitions, counters, memo pieces against each memo's length, and that
// every key holds exactly the entries its records call for). It only reads;
// damage of any kind ends as a list of problems, never as a crash.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <optional>

#include "datafile/declaration.h"
#include "datafile/os_file.h"

namespace glimra::datafile {

class Container;

// A table the check found: its stored definition (when readable) and records.
struct CheckedTable {
  std::string name;
  std::uint32_t number = 0;
  std::optional<TableDeclaration> layout;
  std::size_t records = 0;
};

struct FileCheckReport {
  std::vector<std::string> problems;  // empty: the file is sound
  std::size_t keyProblems = 0;        // how many of them concern a key's entries or counter alone
  int openError = 0;                  // non-zero when the file could not be opened at all
  int osError = 0;                    // the OS error behind openError, when there was one
  bool interruptedWrite = false;      // a write was cut short; the next write completes or undoes it
  bool waitedForWriter = false;       // another program was committing when the check began
  std::size_t pages = 0;
  std::size_t treeRecords = 0;
  std::size_t tables = 0;
  std::size_t dataRecords = 0;
  std::size_t keyEntries = 0;
  std::vector<CheckedTable> tableList;
  // Where the data (or an unfinished write) ends, and whether that is within
  // 5 % of the end the header can address (kAddressableFileEnd): a note,
  // not damage, but writes that would pass that end will be refused.
  std::uint64_t dataEnd = 0;
  bool nearAddressableEnd = false;
  bool sound() const { return openError == 0 && problems.empty(); }
  // Every problem lies in keys, which a full build rebuilds from the records.
  bool repairableByBuild() const { return openError == 0 && !problems.empty() && keyProblems == problems.size(); }
  // One line: what was checked, or how many problems were found.
  std::string summary() const;
};

// Checks the file at path (a plain path: every table in it is checked). The
// check reads one committed state from start to end: it holds a reader slot
// throughout, so writers of other programs cannot commit under it.
FileCheckReport checkDataFile(FileSystem& fileSystem, const std::string& path);

// The same check of a container its caller has open and keeps still (a
// writer that holds the writer lock checks before it changes anything).
FileCheckReport checkContainer(Container& container);

}  // namespace glimra::datafile
