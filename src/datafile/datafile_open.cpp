// SPDX-License-Identifier: GPL-3.0-or-later
#include "datafile/datafile_impl.h"

namespace glimra::datafile {

namespace {

// The handles this process holds, for a further table of one of their files.
std::vector<std::weak_ptr<OpenHandle>>& openHandles() {
  static std::vector<std::weak_ptr<OpenHandle>> handles;
  return handles;
}

// How much of the file's use an open mode denies to others: none, writing,
// everything.
int denial(OpenMode mode) {
  switch (mode.share()) {
    case 0x20: return 1;
    case 0x10:
    case 0x30: return 2;
    default: return 0;
  }
}

// A handle of this process that a further table of its file may share: on
// the same file under the same owner password, not holding that table
// already (a table opened twice is two opens, as two stations would be),
// granting the access asked and already denying others at least as much as
// mode asks. Null when there is none: the table then opens on its own, and
// the share modes decide as between two processes.
std::shared_ptr<OpenHandle> joinableHandle(FileSystem& fileSystem, const TableAddress& address, OpenMode mode,
                                           std::string_view password) {
  auto& handles = openHandles();
  std::erase_if(handles, [](const std::weak_ptr<OpenHandle>& h) { return h.expired(); });
  for (const auto& weak : handles) {
    std::shared_ptr<OpenHandle> h = weak.lock();
    if (!h->shareable || h->process != ::getpid() || h->fileSystem != &fileSystem || h->path != address.path ||
        h->password != password)
      continue;
    if (std::find(h->tables.begin(), h->tables.end(), address.table) != h->tables.end()) continue;
    if (mode.writes() && !h->mode.writes()) continue;
    if (denial(mode) > denial(h->mode)) continue;
    return h;
  }
  return nullptr;
}

std::string_view ownerPasswordOf(const TableDeclaration* declaration) {
  if (!declaration) return {};
  const std::string_view password = declaration->ownerPassword;
  return password.substr(0, password.find('\0'));
}

}  // namespace

// --- CREATE, OPEN, CLOSE -----------------------------------------------------

int DataFile::create() {
  if (isOpen()) {
    clearError();
    return setError(FileError::FILE_ALREADY_OPEN);
  }
  prepareHooks();
  return guarded(false, true, [&] { return createTable(); });
}

int DataFile::createTable() {
  if (!declared_) return FileError::INVALID_RECORD_DECLARATION;
  if (int invalid = validateDeclaration(*declared_)) return invalid;
  const TableAddress address = TableAddress::parse(fileName_, &fileSystem_);
  // A plain file name makes a new file; a named table joins the file it names.
  const bool fresh = !address.tableNamed || !fileSystem_.exists(address.path);
  // A further table of a file this process has open for writing is written
  // through that open: its locks, and its transaction when it has one.
  if (!fresh && !hooksChosen_)
    if (auto shared = joinableHandle(fileSystem_, address, OpenMode{0x22}, ownerPasswordOf(declared_)))
      return createInOpenFile(*shared, address);
  int error = 0;
  // The file is emptied only once its share mode is held: a file replaced by
  // CREATE must not be open anywhere else (deny all), and a table joins a file
  // that no other program writes (deny write). Until then it is opened as it
  // is, so that a refused CREATE leaves it untouched.
  std::unique_ptr<OsFile> file = fileSystem_.openOrCreate(address.path, &error);
  if (!file) return osError(error);
  AttachedFor attached;
  if (int refused = attached.attach(driverOf(hooks_), *file, OpenMode{fresh ? 0x12u : 0x22u}, fileSystem_,
                                    address.path))
    return refused == FileError::ACCESS_DENIED ? refused : osError(refused);
  FileLocks::Guard writing;
  if (FileLocks* locks = attached.driver ? attached.driver->locks() : nullptr) {
    bool gaveUp = false;
    writing = locks->forOperation(true, &gaveUp);
    if (gaveUp) return FileError::FILE_ALREADY_LOCKED;
  }
  if (fresh) {
    std::uint64_t size = 0;
    if (int failed = file->size(&size)) return osError(failed);
    if (size != 0)
      if (int failed = file->truncate(0)) return osError(failed);
  }
  Container container(*file, hooks_.get());
  if (int rc = container.open()) return rc;
  container.refresh(true);
  writeTable(container, address.table);
  container.commit();
  return 0;
}

// The records of a new table, replacing one of that name.
void DataFile::writeTable(Container& container, const std::string& table) {
  removeTable(container, table);
  CharacterTables tables = CharacterTables::defaults();
  tables.oem = declared_->oem;
  writeNewTable(container, table, *declared_, tables);
}

// CREATE as one writing operation of the open that holds the file: committed
// at once, or kept with its transaction. A failure drops what the open had
// uncommitted (inside a transaction the whole transaction, as any failed
// operation of it does).
int DataFile::createInOpenFile(OpenHandle& handle, const TableAddress& address) {
  bool gaveUp = false;
  FileLocks::Guard writing = handle.driver->locks()->forOperation(true, &gaveUp);
  if (gaveUp) return FileError::FILE_ALREADY_LOCKED;
  Container& container = *handle.container;
  try {
    container.refresh(true);
    writeTable(container, address.table);
    if (!Transaction::current().includes(&container)) container.commit();
  } catch (...) {
    try {
      container.discardChanges();
    } catch (...) {
    }
    Transaction::current().leave(&container);
    throw;
  }
  return 0;
}

int DataFile::createComplete(OpenMode mode, const std::function<int()>& fill, CreateStep* failedStep) {
  if (isOpen()) {
    clearError();
    return setError(FileError::FILE_ALREADY_OPEN);
  }
  const std::string finalName = fileName_;
  const TableAddress address = TableAddress::parse(fileName_, &fileSystem_);
  const std::string temporary = address.path + ".creating";
  fileName_ = temporary + (address.tableNamed ? "\\!" + address.table : "");
  // Leaves the error of the failed step in place, whatever the clean-up does.
  auto failed = [&](CreateStep step) {
    const int code = errorCode_;
    const std::string text = errorText_, fileCode = fileErrorCode_, fileText = fileErrorText_;
    close();
    fileSystem_.remove(temporary);
    fileName_ = finalName;
    errorCode_ = code;
    errorText_ = text;
    fileErrorCode_ = fileCode;
    fileErrorText_ = fileText;
    if (failedStep) *failedStep = step;
    return code;
  };
  if (create() != 0) return failed(CreateStep::Create);
  if (open(mode) != 0) return failed(CreateStep::Open);
  if (const int error = fill()) {
    if (errorCode_ == 0) setError(error);
    return failed(CreateStep::Fill);
  }
  if (close() != 0) return failed(CreateStep::Finish);
  // The file it replaces must not be open anywhere (as CREATE demands): its
  // share mode is held, deny all, while the new file takes its name.
  {
    prepareHooks();
    int error = 0;
    std::unique_ptr<OsFile> replaced =
        fileSystem_.exists(address.path) ? fileSystem_.open(address.path, true, false, &error) : nullptr;
    if (!replaced && error != 0 && error != ENOENT) {
      osError(error);
      return failed(CreateStep::Finish);
    }
    AttachedFor attached;
    if (replaced) {
      if (int refused = attached.attach(driverOf(hooks_), *replaced, OpenMode{0x12}, fileSystem_, address.path)) {
        if (refused == FileError::ACCESS_DENIED)
          setError(refused);
        else
          osError(refused);
        return failed(CreateStep::Finish);
      }
    }
    if (int renameError = fileSystem_.rename(temporary, address.path)) {
      osError(renameError);
      return failed(CreateStep::Finish);
    }
  }
  fileName_ = finalName;
  if (int flushError = fileSystem_.flushFolderOf(address.path)) {
    if (failedStep) *failedStep = CreateStep::Finish;
    return osError(flushError);
  }
  clearError();
  return 0;
}

int DataFile::open(OpenMode mode) {
  if (isOpen()) {
    clearError();
    return setError(FileError::FILE_ALREADY_OPEN);
  }
  prepareHooks();
  const int rc = guarded(false, false, [&] { return openTable(mode); });
  if (rc != 0) {
    if (hookOpened_) hooks_->closing(*this);
    hookOpened_ = false;
    releaseHandle();
  }
  return rc;
}

// Lets go of the open file. The last table of it drops what its transaction
// left uncommitted, takes the file out of the transaction and closes it;
// while other tables of it stay open, they keep the file, its transaction
// and its changes. Damage met on the way only marks this file.
void DataFile::releaseHandle() {
  if (handle_) {
    const TableAddress address = TableAddress::parse(fileName_, &fileSystem_);
    auto& tables = handle_->tables;
    if (const auto it = std::find(tables.begin(), tables.end(), address.table); it != tables.end() && opened_)
      tables.erase(it);
    if (tables.empty() && container_) {
      try {
        if (inTransaction()) container_->discardChanges();
      } catch (...) {
        damaged_ = true;
      }
      Transaction::current().leave(container_);
    }
  }
  opened_ = false;
  container_ = nullptr;
  detachHooks();
  handle_.reset();
}

int DataFile::openTable(OpenMode mode) {
  const TableAddress address = TableAddress::parse(fileName_, &fileSystem_);
  if (!fileSystem_.exists(address.path)) return FileError::FILE_NOT_FOUND;
  // The share mode first: a refused open reads nothing. Then the open itself
  // runs under the locks of one operation, since it reads the file (and a
  // writable open may add missing counters) outside any guarded operation.
  FileLocks::Guard openLocks;
  DriverHooks* driver = driverOf(hooks_);
  const std::string_view password = ownerPasswordOf(declared_);
  if (auto shared = hooksChosen_ ? nullptr : joinableHandle(fileSystem_, address, mode, password)) {
    handle_ = std::move(shared);
    driver->join(handle_->driver, optionTable_.get());
    bool gaveUp = false;
    openLocks = driver->locks()->forOperation(mode.writes(), &gaveUp);
    if (gaveUp) return FileError::FILE_ALREADY_LOCKED;
    container_ = handle_->container.get();
  } else {
    handle_ = std::make_shared<OpenHandle>();
    OpenHandle& handle = *handle_;
    handle.fileSystem = &fileSystem_;
    handle.path = address.path;
    handle.mode = mode;
    handle.password = password;
    int error = 0;
    handle.file = fileSystem_.open(address.path, mode.writes(), false, &error);
    if (!handle.file) return osError(error);
    if (driver) {
      if (int refused = driver->attach(*handle.file, mode, fileSystem_, address.path, optionTable_.get()))
        return refused == FileError::ACCESS_DENIED ? refused : osError(refused);
      handle.driver = driver->file();
      bool gaveUp = false;
      openLocks = driver->locks()->forOperation(mode.writes(), &gaveUp);
      if (gaveUp) return FileError::FILE_ALREADY_LOCKED;
    }
    ContainerHooks* containerHooks = handle.driver ? static_cast<ContainerHooks*>(handle.driver.get()) : hooks_.get();
    handle.container = std::make_unique<Container>(*handle.file, containerHooks);
    container_ = handle.container.get();
    container_->setCacheBytes(cacheBytes_);
    container_->setOthersMayWrite(hooks_->othersMayWrite(*this));
    if (int rc = container_->open()) return rc;
    handle.shareable = driver && !hooksChosen_;
    if (handle.shareable) openHandles().push_back(handle_);
  }
  container_->refresh(false);

  const auto table = findTable(*container_, address.table);
  if (!table) return FileError::FILE_NOT_FOUND;
  const auto stored = decodeDefinition(readDefinitionStream(*container_, *table));
  if (!stored) return FileError::INVALID_DATA_FILE;
  if (declared_) {
    if (int invalid = validateDeclaration(*declared_)) return invalid;
    if (!sameStructure(*stored, *declared_)) return FileError::INVALID_RECORD_DECLARATION;
    layout_ = *declared_;
    buffer_ = declaredBuffer_;
  } else {
    const int invalid = validateDeclaration(*stored);
    if (invalid == FileError::INVALID_FIELD_TYPE) return invalid;
    if (invalid) return FileError::INVALID_DATA_FILE;
    layout_ = *stored;
    ownBuffer_.assign(layout_.recordLength, 0);
    buffer_ = ownBuffer_.data();
  }
  table_ = *table;
  tables_ = readCharacterTables(*container_, table_).value_or(CharacterTables::defaults());
  writable_ = mode.writes();
  openMode_ = mode;
  memos_.clear();
  dynamic_.clear();
  for (const MemoDeclaration& m : layout_.memos)
    memos_.push_back((m.flags & MEMO_BLOB) ? Bytes() : Bytes(m.size, ' '));
  currentRecord_ = 0;
  cursor_.reset();
  dynamic_.clear();
  watchArmed_ = false;
  watchedCopy_.reset();
  damaged_ = false;

  if (int refused = hooks_->opened(*this)) return refused;
  hookOpened_ = true;
  handle_->tables.push_back(address.table);
  opened_ = true;

  // Every counter must exist; a file that lacks one gets it now.
  if (writable_) {
    container_->refresh(true);
    auto ensure = [&](std::uint8_t counted) {
      TreeRecord record;
      if (container_->find(counterKey(table_, counted), &record)) return;
      record.bytes = counterKey(table_, counted);
      record.keyLength = 6;
      const Bytes zero = Counter{}.payload();
      record.bytes.insert(record.bytes.end(), zero.begin(), zero.end());
      container_->insert(record);
    };
    ensure(RecordKind::DATA);
    for (std::size_t k = 0; k < layout_.keys.size(); ++k) ensure(static_cast<std::uint8_t>(k));
    // Inside a transaction of the file (another table of it began one) they
    // are committed with it.
    if (!inTransaction()) container_->commit();
  }
  return 0;
}

int DataFile::close() {
  clearError();
  if (!container_) return 0;
  if (hookOpened_) hooks_->closing(*this);
  hookOpened_ = false;
  releaseHandle();
  currentRecord_ = 0;
  cursor_.reset();
  watchedCopy_.reset();
  watchArmed_ = false;
  return 0;
}

}  // namespace glimra::datafile
