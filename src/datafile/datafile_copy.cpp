// SPDX-License-Identifier: GPL-3.0-or-later
#include "datafile/datafile_impl.h"

namespace glimra::datafile {

// --- COPY ---------------------------------------------------------------------

int DataFile::copy(const std::string& target) {
  prepareHooks();
  return guarded(false, false, [&] {
    const TableAddress from = TableAddress::parse(fileName_, &fileSystem_);
    const TableAddress to = TableAddress::parse(target, &fileSystem_);
    if (!from.tableNamed && !to.tableNamed) {
      if (!fileSystem_.exists(from.path)) return FileError::FILE_NOT_FOUND;
      if (int error = fileSystem_.copy(from.path, to.path)) return osError(error);
      return 0;
    }
    return copyTable(target);
  });
}

// Copies the table into the target file under a new table number. Record
// numbers are shifted past everything the target has issued, so they can never
// collide with its own; the data counter's second word (FLAGS) is not a
// record number and is copied as it is.
int DataFile::copyTable(const std::string& target) {
  const TableAddress from = TableAddress::parse(fileName_, &fileSystem_);
  const TableAddress to = TableAddress::parse(target, &fileSystem_);

  std::unique_ptr<OsFile> sourceFile;
  AttachedFor sourceAttached;
  FileLocks::Guard sourceLocks;
  std::unique_ptr<Container> sourceOwned;
  Container* source = container_;
  if (source) {
    source->refresh(false);
  } else {
    if (!fileSystem_.exists(from.path)) return FileError::FILE_NOT_FOUND;
    int error = 0;
    sourceFile = fileSystem_.open(from.path, to.path == from.path, false, &error);
    if (!sourceFile) return osError(error);
    // A closed source is opened for the copy as any open would be: under its
    // share mode and one operation's locks, with the driver's recovery.
    const OpenMode mode{to.path == from.path ? 0x22u : 0x40u};
    if (int refused = sourceAttached.attach(driverOf(hooks_), *sourceFile, mode, fileSystem_, from.path))
      return refused == FileError::ACCESS_DENIED ? refused : osError(refused);
    if (FileLocks* locks = sourceAttached.driver ? sourceAttached.driver->locks() : nullptr) {
      bool gaveUp = false;
      sourceLocks = locks->forOperation(mode.writes(), &gaveUp);
      if (gaveUp) return FileError::FILE_ALREADY_LOCKED;
    }
    sourceOwned = std::make_unique<Container>(*sourceFile, hooks_.get());
    if (int rc = sourceOwned->open()) return rc;
    sourceOwned->refresh(to.path == from.path);
    source = sourceOwned.get();
  }
  const auto sourceTable = findTable(*source, from.table);
  if (!sourceTable) return FileError::FILE_NOT_FOUND;
  std::vector<TreeRecord> records;
  Bytes prefix(4);
  putBigEndian32(prefix.data(), *sourceTable);
  forEachWithPrefix(*source, prefix, [&](const TreeRecord& record) { records.push_back(record); });

  std::unique_ptr<OsFile> targetFile;
  std::unique_ptr<Container> targetOwned;
  Container* destination = nullptr;
  if (to.path == from.path) {
    if (container_ && !writable_) return FileError::ACCESS_DENIED;
    destination = source;
    destination->refresh(true);
  } else {
    const bool fresh = !fileSystem_.exists(to.path);
    int error = 0;
    targetFile = fileSystem_.open(to.path, true, fresh, &error);
    if (!targetFile) return osError(error);
    targetOwned = std::make_unique<Container>(*targetFile);
    if (int rc = targetOwned->open()) return rc;
    targetOwned->refresh(true);
    destination = targetOwned.get();
  }
  if (to.path == from.path && to.table == from.table) return 0;
  try {
    removeTable(*destination, to.table);
    const std::uint32_t table = destination->newRecordNumber();
    const std::uint32_t offset = destination->lastRecordNumber();
    std::uint32_t highest = offset;
    auto shift = [&](std::uint8_t* at) {
      const std::uint32_t number = getBigEndian32(at) + offset;
      putBigEndian32(at, number);
      highest = std::max(highest, number);
    };
    for (TreeRecord& record : records) {
      std::uint8_t* key = record.bytes.data();
      putBigEndian32(key, table);
      const std::uint8_t kind = record.keyLength > 4 ? key[4] : 0xFF;
      if (kind <= RecordKind::LAST_KEY && record.bytes.size() >= 9) {
        shift(key + record.bytes.size() - 4);  // the record number ends every entry
      } else if ((kind == RecordKind::DATA && record.keyLength == DATA_KEY_BYTES) ||
                 (kind == RecordKind::MEMO && record.keyLength == 12)) {
        shift(key + 5);
      } else if (kind == RecordKind::COUNTER && record.keyLength == 6 && key[5] != RecordKind::DATA &&
                 record.bytes.size() >= 14) {
        std::uint8_t* mark = key + 10;
        const std::uint32_t value = getU32(mark);
        if (value != 0) {
          putU32(mark, value + offset);
          highest = std::max(highest, value + offset);
        }
      }
      destination->insert(record);
    }
    TreeRecord nameRecord;
    nameRecord.bytes = tableNameKey(to.table);
    nameRecord.keyLength = static_cast<std::uint16_t>(nameRecord.bytes.size());
    nameRecord.bytes.resize(nameRecord.bytes.size() + 4);
    putBigEndian32(nameRecord.bytes.data() + nameRecord.keyLength, table);
    destination->insert(nameRecord);
    destination->setLastRecordNumber(highest);
    if (destination != container_ || !inTransaction()) destination->commit();
  } catch (...) {
    if (destination == container_ && !inTransaction()) destination->discardChanges();
    throw;
  }
  return 0;
}

// --- Key builds ----------------------------------------------------------------

BuildSettings DataFile::withDynamicIndexes(const BuildSettings& settings) {
  BuildSettings effective = settings;
  effective.dynamicIndexes = &dynamic_;
  return effective;
}

// The builds leave their failure in this file's error fields.
namespace {
template <class Build>
int runBuild(Build&& build, std::string* code, std::string* text) {
  BuildFailure failure;
  const int result = build(&failure);
  *code = failure.fileErrorCode;
  *text = failure.fileErrorText;
  return result;
}
}  // namespace

int DataFile::buildKey(std::size_t key, const BuildSettings& settings) {
  std::string code, text;
  const int result = runBuild([&](BuildFailure* f) { return datafile::buildKey(*this, key, withDynamicIndexes(settings), f); }, &code, &text);
  return finishBuild(result, std::move(code), std::move(text));
}

int DataFile::buildFile(const BuildSettings& settings) {
  std::string code, text;
  const int result = runBuild([&](BuildFailure* f) { return datafile::buildFile(*this, withDynamicIndexes(settings), f); }, &code, &text);
  return finishBuild(result, std::move(code), std::move(text));
}

int DataFile::pack(const BuildSettings& settings) {
  std::string code, text;
  const int result = runBuild([&](BuildFailure* f) { return datafile::pack(*this, withDynamicIndexes(settings), f); }, &code, &text);
  return finishBuild(result, std::move(code), std::move(text));
}

int DataFile::finishBuild(int result, std::string fileErrorCode, std::string fileErrorText) {
  setError(result);
  if (result == FileError::FILE_SYSTEM_ERROR) {
    fileErrorCode_ = std::move(fileErrorCode);
    fileErrorText_ = std::move(fileErrorText);
  }
  return errorCode_;
}

}  // namespace glimra::datafile
