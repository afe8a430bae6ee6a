// SPDX-License-Identifier: GPL-3.0-or-later
#include "program/check_open.h"

#include "program/key_rebuild.h"
#include "program/messages.h"
#include "collection/standard_warning.h"
#include "datafile/file_errors.h"

namespace glimra::program {

namespace {

using collection::Warning::CREATED_FILE_OPEN_ERROR;
using collection::Warning::FILE_ACCESS_ERROR;
using collection::Warning::FILE_CREATION_ERROR;
using collection::Warning::INVALID_FILE;
using collection::Warning::INVALID_KEY;
using collection::Warning::KEY_REBUILD_ERROR;
namespace FileError = datafile::FileError;

constexpr std::uint8_t DEFAULT_OPEN_MODE = datafile::READ_WRITE_DENY_WRITE.value;

// The procedure's state: the file, the open mode and whether it has returned.
struct CheckOpen {
  runtime::Runtime& runtime;
  datafile::DataFile& file;
  datafile::OpenMode mode;

  // Creates the missing file and opens it; a failure of either ends the
  // program. CHECKOPEN returns after it.
  void R_CREATEFILE() {
    if (file.create() != 0) STANDARDWARNING(runtime, file, FILE_CREATION_ERROR, file.name());
    if (file.open(mode) != 0) STANDARDWARNING(runtime, file, CREATED_FILE_OPEN_ERROR, file.name());
  }
};

}  // namespace

void CHECKOPEN(runtime::Runtime& runtime, datafile::DataFile& file, std::optional<std::uint8_t> OVERRIDECREATE,
               std::optional<std::uint8_t> OVERRIDEOPENMODE, const KeyRebuilder& rebuildKeys) {
  CheckOpen procedure{runtime, file, datafile::OpenMode{OVERRIDEOPENMODE.value_or(DEFAULT_OPEN_MODE)}};
  file.open(procedure.mode);
  if (file.errorCode() == FileError::FILE_ALREADY_LOCKED) {
    file.send("Recover=10");
    file.open(procedure.mode);
  }
  switch (file.errorCode()) {
    case FileError::NONE:
    case FileError::FILE_ALREADY_OPEN:
      return;
    case FileError::FILE_NOT_FOUND:
      if (!OVERRIDECREATE) break;
      if (*OVERRIDECREATE == 1) {
        procedure.R_CREATEFILE();
        return;
      } else {
        STANDARDWARNING(runtime, file, FILE_CREATION_ERROR, file.name());
      }
      break;
    case FileError::INVALID_RECORD_DECLARATION:
      STANDARDWARNING(runtime, file, INVALID_FILE, file.name());
      break;
    case FileError::KEY_FILE_MUST_BE_REBUILT:
      STANDARDWARNING(runtime, file, INVALID_KEY, file.name());
      // The rebuild rewrites every key from the records: the user's word
      // where keys and records disagree, and a backup first (without them
      // the file stays unusable, as below).
      if (!readyToRebuildKeys(runtime, file.fileSystem(), file.name(), "Rebuild Keys")) break;
      if ((rebuildKeys ? rebuildKeys(file) : file.buildFile()) != 0) {
        STANDARDWARNING(runtime, file, KEY_REBUILD_ERROR, file.name());
      } else {
        file.open(procedure.mode);
      }
      break;
    default:
      break;
  }
  if (file.errorCode() != 0) {
    if (STANDARDWARNING(runtime, file, FILE_ACCESS_ERROR, file.name()) != 0) runtime.halt("Disk Error");
  }
}

}  // namespace glimra::program
