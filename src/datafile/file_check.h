// SPDX-License-Identifier: GPL-3.0-or-later
// The integrity check of a data file: walks every page, record and key entry
// and verifies the invariants of the container (the header's own offset and
// size, its last record number, page order, separators, levels, packed
// regions, size bounds, the offset each page names as its own) and of the
// records (kinds, lengths, stored definitions, counters, memo pieces against
// each memo's length, and that every key holds exactly the entries its
// records call for). It only reads; damage of any kind ends as a list of
// problems, never as a crash.
//
// Bytes that carry no meaning are not looked at: the filler after each
// page's stored bytes, the reserved field of the header, the unused first
// entry of its region table, whatever lies after the end of the data, the
// multi-character part of the character tables, and the pictures, external
// names, decimals and element lengths of a stored definition (an open
// compares neither). No reader or writer of the file uses them, and every
// write of a page writes its filler anew.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "datafile/container.h"
#include "datafile/declaration.h"
#include "datafile/os_file.h"

namespace glimra::datafile {

// A table the check found: its stored definition (when readable) and records.
struct CheckedTable {
  std::string name;
  std::uint32_t number = 0;
  std::optional<TableDeclaration> layout;
  std::size_t records = 0;
};

// A key entry and the record it names holding different values for that key:
// one of them was changed behind the engine's back (a flipped bit on the
// disk, most likely) and nothing in the file tells which one is right. A key
// rebuild takes the record's value, so it must not go on unasked.
struct KeyDisagreement {
  std::string table;               // the table's name
  std::uint32_t recordNumber = 0;  // the record, which the entry names too
  std::size_t keyNumber = 0;
  std::string key;                 // the key's name as stored
  std::string recordValue;         // the key's fields as the record holds them (blank when it leaves the record out)
  std::string entryValue;          // what the key entry holds (text in the case the key folds it to)
  bool noEntry = false;            // the key holds no entry for the record, as for a blank value
  std::string recordName;          // what names the record to a user, when the caller said how
};

// How a check names records and shows their text to a user; both optional.
struct CheckPresentation {
  // What names a record (an ornament's name), from its table and image.
  std::function<std::string(const std::string& table, const TableDeclaration& layout, ByteView image)> recordName;
  // Text as the records store it, made ready to show (identity when absent).
  std::function<std::string(std::string_view stored)> displayText;
};

struct FileCheckReport {
  std::vector<std::string> problems;  // empty: the file is sound
  std::size_t keyProblems = 0;        // how many of them concern a key's entries or counter alone
  int openError = 0;                  // non-zero when the file could not be opened at all
  int osError = 0;                    // the OS error behind openError, when there was one
  bool noHeader = false;              // the file holds no usable header (too short, other magic, impossible regions)
  bool interruptedWrite = false;      // a write was cut short; the next write completes or undoes it
  bool waitedForWriter = false;       // another program was committing when the check began
  std::size_t pages = 0;
  std::size_t treeRecords = 0;
  std::size_t tables = 0;
  std::size_t dataRecords = 0;
  std::size_t keyEntries = 0;
  std::vector<CheckedTable> tableList;
  // Key entries and records that disagree (each is also among the problems,
  // as a key problem); at most as many as problems are listed.
  std::vector<KeyDisagreement> disagreements;
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
// A file that exists but does not hold a data file's header (too short, other
// magic bytes, impossible regions) is damaged: its problems say what is
// wrong; openError is left for a file that cannot be opened at all.
FileCheckReport checkDataFile(FileSystem& fileSystem, const std::string& path,
                              const CheckPresentation& presentation = {});

// The same check of a container its caller has open and keeps still (a
// writer that holds the writer lock checks before it changes anything).
FileCheckReport checkContainer(Container& container, const CheckPresentation& presentation = {});

}  // namespace glimra::datafile
