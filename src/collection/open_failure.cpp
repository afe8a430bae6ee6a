// SPDX-License-Identifier: GPL-3.0-or-later
#include "collection/open_failure.h"

#include "collection/backups.h"
#include "collection/collection_check.h"
#include "datafile/file_errors.h"

namespace glimra::collection {

namespace FileError = datafile::FileError;

namespace {

// What a file holds instead of a collection this program reads, from its
// check; Other when it holds one. A table whose fields carry the collection
// record's prefix is a collection laid out differently.
OpenFailureKind kindOfContents(const datafile::FileCheckReport& report) {
  if (report.tables == 0) return OpenFailureKind::Empty;
  for (const datafile::CheckedTable& table : report.tableList)
    if (table.layout && isCollectionLayout(*table.layout)) return OpenFailureKind::Other;
  for (const datafile::CheckedTable& table : report.tableList)
    if (table.layout)
      for (const datafile::FieldDeclaration& field : table.layout->fields)
        if (field.name.rfind("GL:", 0) == 0) return OpenFailureKind::OtherLayout;
  return OpenFailureKind::OtherKind;
}

}  // namespace

OpenFailure describeOpenFailure(datafile::FileSystem& fileSystem, const std::string& path, int errorCode,
                                const std::string& errorText, const std::string& fileErrorCode,
                                const std::string& fileErrorText) {
  OpenFailure failure;
  const bool osFailure = !fileErrorCode.empty() && fileErrorText != datafile::DATA_CORRUPTION_TEXT;
  if (!fileSystem.exists(path)) {
    failure.kind = OpenFailureKind::Missing;
  } else if (errorCode == FileError::ACCESS_DENIED && !osFailure) {
    // Refused by another open's share mode: the file itself is fine.
    failure.kind = OpenFailureKind::OpenElsewhere;
  } else if (errorCode == FileError::FILE_ALREADY_LOCKED) {
    failure.kind = OpenFailureKind::Busy;
  } else if (osFailure) {
    failure.kind = OpenFailureKind::NoAccess;
  } else {
    failure.report = checkCollectionFile(fileSystem, path);
    failure.checked = true;
    const datafile::FileCheckReport& report = failure.report;
    // A file with no usable header may be a damaged collection or never
    // have been one: only its backups tell.
    const bool readable = report.openError == 0 && !report.noHeader;
    if (readable && !report.problems.empty()) {
      failure.kind = OpenFailureKind::Damaged;
    } else if (readable) {
      failure.kind = kindOfContents(report);
      // A sound collection table that would not open: damage the check
      // cannot name (the open read something it did not).
      if (failure.kind == OpenFailureKind::Other && errorCode == FileError::FILE_SYSTEM_ERROR)
        failure.kind = OpenFailureKind::Damaged;
    } else if (!listBackups(path).empty()) {
      // Not a data file any more, yet it had backups: it was a collection.
      failure.kind = OpenFailureKind::Damaged;
    } else {
      failure.kind = OpenFailureKind::NotACollection;
    }
  }

  std::string what;
  switch (failure.kind) {
    case OpenFailureKind::Missing: what = "is not there: it may have been moved, renamed or deleted."; break;
    case OpenFailureKind::Empty: what = "is empty: it holds no collection."; break;
    case OpenFailureKind::NotACollection: what = "is not a Glimra collection file."; break;
    case OpenFailureKind::OtherKind: what = "is a data file of another kind, not a Glimra collection."; break;
    case OpenFailureKind::OtherLayout:
      what = "holds a collection laid out differently from the collections this version of Glimra reads.";
      break;
    case OpenFailureKind::OpenElsewhere:
      what = "is open in another Glimra window (or another program is working on it). Close it there, then open it "
             "here.";
      break;
    case OpenFailureKind::Busy:
      what = "is busy: another program kept it locked while writing to it. Try again in a moment.";
      break;
    case OpenFailureKind::NoAccess: what = "cannot be opened: " + fileErrorText + "."; break;
    case OpenFailureKind::Damaged: what = "is damaged."; break;
    case OpenFailureKind::Other: what = "could not be opened."; break;
  }
  failure.text = "The file\n" + path + "\n" + what + "\n\n" + errorText + " (" + std::to_string(errorCode) + ")";
  return failure;
}

}  // namespace glimra::collection
