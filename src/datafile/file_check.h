// The integrity check of a data file: walks every page, record and key entry
// and verifies the invariants of the container (page order, separators, levels,
// packed regions, size bounds) and of the records (kinds, lengths, stored
// definitions, counters, memo pieces, and that every key holds exactly the
// entries its records call for). It only reads; damage of any kind ends as a
// list of problems, never as a crash.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "datafile/os_file.h"

namespace glimra::datafile {

struct FileCheckReport {
  std::vector<std::string> problems;  // empty: the file is sound
  int openError = 0;                  // non-zero when the file could not be opened at all
  bool interruptedWrite = false;      // a write was cut short; the next write completes or undoes it
  bool waitedForWriter = false;       // another program was committing when the check began
  std::size_t pages = 0;
  std::size_t treeRecords = 0;
  std::size_t tables = 0;
  std::size_t dataRecords = 0;
  std::size_t keyEntries = 0;
  bool sound() const { return openError == 0 && problems.empty(); }
  // One line: what was checked, or how many problems were found.
  std::string summary() const;
};

// Checks the file at path (a plain path: every table in it is checked). The
// check reads one committed state from start to end: it holds a reader slot
// throughout, so writers of other programs cannot commit under it.
FileCheckReport checkDataFile(FileSystem& fileSystem, const std::string& path);

}  // namespace glimra::datafile
