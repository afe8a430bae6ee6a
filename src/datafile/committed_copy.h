// SPDX-License-Identifier: GPL-3.0-or-later
// A byte-for-byte copy of a data file that holds one committed state: the
// source is read under one of its reader slots, so no writer (of this process
// or another) commits while the bytes are taken, and the copy is flushed to
// the disk before it is reported done. A write that a crash interrupted
// before the copy travels with it and is completed or undone when the copy
// is next opened, as it would be in the source.
#pragma once

#include <string>

#include "datafile/os_file.h"

namespace glimra::datafile {

struct CommittedCopy {
  int osError = 0;         // 0: the copy is complete and flushed
  bool sourceSide = false; // the error came from opening or reading the source
  bool gaveUp = false;     // the lock-wait observer gave up waiting for a writer
  bool ok() const { return osError == 0 && !gaveUp; }
};

// Copies source (read through `from`) to target (created or replaced through
// `to`). On failure the target may hold part of the bytes: the caller writes
// to a name of its own and removes it.
CommittedCopy copyCommittedFile(FileSystem& from, const std::string& source, FileSystem& to,
                                const std::string& target);

}  // namespace glimra::datafile
