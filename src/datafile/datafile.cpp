// SPDX-License-Identifier: GPL-3.0-or-later
#include "datafile/datafile_impl.h"

namespace glimra::datafile {

DataFile::DataFile(FileSystem& fileSystem)
    : fileSystem_(fileSystem), optionTable_(std::make_unique<OptionTable>(*this)) {
  prepareHooks();
}

DataFile::~DataFile() {
  if (isOpen()) close();
}

void DataFile::declare(const TableDeclaration& declaration, void* recordBuffer) {
  declared_ = &declaration;
  declaredBuffer_ = static_cast<std::uint8_t*>(recordBuffer);
}

void DataFile::setName(std::string fileName) { fileName_ = std::move(fileName); }

void DataFile::setPageCacheBytes(std::size_t bytes) {
  cacheBytes_ = bytes;
  if (container_) container_->setCacheBytes(bytes);
}

void DataFile::setHooks(std::shared_ptr<FileHooks> hooks) {
  hooksChosen_ = hooks != nullptr;
  if (hooksChosen_)
    hooks_ = std::move(hooks);
  else
    prepareHooks();
}

// Without hooks of the caller's, each CREATE and OPEN gets fresh driver hooks
// (so the owner password of the declaration given since is the one used).
// Never while open: the open file's locks live in its hooks.
void DataFile::prepareHooks() {
  if (hooksChosen_ || container_) return;
  hooks_ = std::make_shared<DriverHooks>(declared_ ? std::string_view(declared_->ownerPassword) : std::string_view());
}

// Gives up the open file's share mode and locks; before the OS file closes.
void DataFile::detachHooks() {
  if (DriverHooks* driver = driverOf(hooks_)) driver->detach();
}

std::array<std::uint8_t, 4> DataFile::position() const {
  std::array<std::uint8_t, 4> bytes{};
  putBigEndian32(bytes.data(), currentRecord_);
  return bytes;
}

// --- Errors (the guarded entry point every operation runs through is in
// datafile_impl.h) ---------------------------------------------------------

void DataFile::clearError() {
  errorCode_ = 0;
  errorText_.clear();
  fileErrorCode_.clear();
  fileErrorText_.clear();
}

int DataFile::setError(int code) {
  errorCode_ = code;
  errorText_ = errorTextFor(code);
  return code;
}

// The driver's error for an OS error; the OS's own reason stays with it as the
// file error (a read-only file system, a folder given as a file...), except
// for a plain missing file.
int DataFile::osError(int code) {
  switch (code) {
    case ENOENT:
      return setError(FileError::FILE_NOT_FOUND);
    case ENOTDIR:
      setError(FileError::FILE_NOT_FOUND);
      break;
    case EACCES:
    case EPERM:
    case EROFS:
    case EBUSY:
    case EAGAIN:
    case EISDIR:
    case NOT_A_REGULAR_FILE:
      setError(FileError::ACCESS_DENIED);
      break;
    default:
      setError(FileError::FILE_SYSTEM_ERROR);
  }
  fileErrorCode_ = std::to_string(code);
  fileErrorText_ = osErrorText(code);
  return errorCode_;
}

// --- Transactions and options --------------------------------------------------

int DataFile::logout() { return logout(kLogoutSeconds); }

int DataFile::logout(int timeoutSeconds) { return logout(std::vector<DataFile*>{this}, timeoutSeconds); }

// The files join the process's transaction: each takes its writer lock (so no
// other program commits under its uncommitted changes) and leaves the
// transaction when it commits, rolls back or closes. Tables of one open file
// share its container, so they are in the transaction together.
int DataFile::logout(const std::vector<DataFile*>& files, int timeoutSeconds) {
  if (files.empty()) return 0;
  std::vector<TransactionMember> members;
  for (DataFile* file : files) {
    file->clearError();
    if (!file->container_) return file->setError(FileError::FILE_NOT_OPEN);
    members.push_back(TransactionMember{file->container_, &file->fileSystem_,
                                        TableAddress::parse(file->fileName_, &file->fileSystem_).path, locksOf(file->hooks_), {}});
  }
  DataFile& first = *files.front();
  const int rc = first.guarded(true, false, [&] {
    return Transaction::current().begin(std::move(members), timeoutSeconds);
  });
  for (DataFile* file : files) {
    if (file == &first) continue;
    file->errorCode_ = first.errorCode_;
    file->errorText_ = first.errorText_;
    file->fileErrorCode_ = first.fileErrorCode_;
    file->fileErrorText_ = first.fileErrorText_;
  }
  return rc;
}

bool DataFile::inTransaction() const { return container_ && Transaction::current().includes(container_); }

int DataFile::commit() {
  if (!inTransaction()) {
    clearError();
    return container_ ? 0 : setError(FileError::FILE_NOT_OPEN);
  }
  // The transaction commits every file that joined it (one changed file: its
  // ordinary commit; more: together through the control files) and ends.
  // Should it fail, the guarded entry point drops what this file still holds.
  return guarded(true, true, [&] {
    if (inTransaction()) Transaction::current().commit();
    return 0;
  });
}

int DataFile::rollback() {
  clearError();
  if (!container_) return setError(FileError::FILE_NOT_OPEN);
  // The transaction ends first and whatever happens next: it needs no reading
  // (it only drops what is in memory), and a file that cannot be read now
  // must not keep its writer lock.
  if (inTransaction()) Transaction::current().rollback();
  return guarded(true, false, [&] {
    container_->discardChanges();
    return 0;
  });
}

// FLUSH commits this file's writes now, inside a transaction too.
int DataFile::flush() {
  return guarded(true, true, [&] {
    container_->commit();
    return 0;
  });
}

int DataFile::stream() {
  clearError();
  return 0;
}

int DataFile::lockTable() {
  return guarded(true, false, [&] {
    FileLocks* locks = locksOf(hooks_);
    return locks ? locks->lockTable(table_) : 0;
  });
}

int DataFile::unlockTable() {
  return guarded(true, false, [&] {
    if (FileLocks* locks = locksOf(hooks_)) locks->unlockTable(table_);
    return 0;
  });
}

int DataFile::hold(int seconds) {
  clearError();
  if (!container_) return setError(FileError::FILE_NOT_OPEN);
  if (FileLocks* locks = locksOf(hooks_)) locks->armHold(seconds);
  return 0;
}

int DataFile::release() {
  return guarded(true, false, [&] {
    if (FileLocks* locks = locksOf(hooks_)) locks->releaseHold();
    return 0;
  });
}

// The record layer knows no option of its own: every one goes to the hooks
// (the driver's answer FLAGS and PNM through OptionTable, each as an
// operation of its own whose error stays in errorCode()).
std::string DataFile::send(std::string_view option) {
  clearError();
  return hooks_->option(*this, option).value_or(std::string());
}

std::string describeError(const DataFile& file) {
  std::string text = file.errorText() + " (" + std::to_string(file.errorCode()) + ")";
  if (!file.fileErrorCode().empty()) text += ": " + file.fileErrorText() + " (" + file.fileErrorCode() + ")";
  return text;
}


int DataFile::writeOperation(const std::function<int()>& body) { return guarded(true, true, body); }

int DataFile::readOperation(const std::function<int()>& body) { return guarded(true, false, body); }

}  // namespace glimra::datafile
