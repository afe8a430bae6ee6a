// SPDX-License-Identifier: GPL-3.0-or-later
// Why a collection file did not open, told as a collector understands it:
// which file, and what it is instead of a collection the program can use —
// not there, empty, not a collection file, a data file of another kind, a
// collection laid out for another program, open in another Glimra window,
// out of reach, or damaged.
//
// The open's error code alone does not always tell (an empty file and a data
// file of another kind both give "File Not Found"; a file that is not a data
// file and one whose first page is destroyed both give "Invalid Data File"),
// so the file is looked at: its size, the tables it holds (through the
// collection's check, which only reads) and whether the collection has
// backups (a file that once was a collection and no longer opens is damaged).
#pragma once

#include <string>

#include "datafile/file_check.h"
#include "datafile/os_file.h"

namespace glimra::collection {

enum class OpenFailureKind {
  Missing,         // no file of that name
  Empty,           // a file without a byte, or a data file without a table
  NotACollection,  // not a data file at all
  OtherKind,       // a data file whose table is not a collection
  OtherLayout,     // a collection table laid out differently from this program's
  OpenElsewhere,   // another program (another Glimra window) holds it open
  Busy,            // another program kept it locked while it wrote
  NoAccess,        // the operating system refused it (permissions, a folder …)
  Damaged,         // a collection file whose pages or keys are damaged
  Other,
};

struct OpenFailure {
  OpenFailureKind kind = OpenFailureKind::Other;
  // For the user (UTF-8): the file's full path on a line of its own, what it
  // is, and the data-file error it came from.
  std::string text;
  // The check of the file, when it was run (always for Damaged).
  datafile::FileCheckReport report;
  bool checked = false;
};

// After the open of the collection at `path` failed with `errorCode`
// (`errorText` its text; for an operating-system failure `fileErrorCode` and
// `fileErrorText` its number and text).
OpenFailure describeOpenFailure(datafile::FileSystem& fileSystem, const std::string& path, int errorCode,
                                const std::string& errorText, const std::string& fileErrorCode,
                                const std::string& fileErrorText);

}  // namespace glimra::collection
