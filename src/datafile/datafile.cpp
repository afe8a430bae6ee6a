// SPDX-License-Identifier: GPL-3.0-or-later
#include "datafile/datafile.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <new>

#include <unistd.h>

#include "datafile/definition_stream.h"
#include "datafile/file_errors.h"
#include "datafile/key_encoding.h"
#include "datafile/memo_pieces.h"
#include "datafile/options.h"
#include "datafile/record_kinds.h"
#include "datafile/table_catalog.h"
#include "datafile/transactions.h"

namespace glimra::datafile {

// Where NEXT and PREVIOUS go from: NEXT takes the first record greater than
// nextProbe, PREVIOUS the last record less than previousProbe. After a step
// both are the key of the entry the cursor stands on.
struct DataFile::Cursor {
  std::uint8_t kind = RecordKind::DATA;  // a key number, or DATA for record order
  Bytes nextProbe;
  Bytes previousProbe;
};

// One OS file that this process has open, with its container. Tables of the
// file opened under the driver's own hooks share it: one handle, one set of
// locks and share mode (driver), one container and so one transaction; the
// first table's open mode and owner password are the handle's.
struct OpenHandle {
  FileSystem* fileSystem = nullptr;
  std::string path;
  OpenMode mode;
  std::string password;
  std::unique_ptr<OsFile> file;
  std::shared_ptr<DriverFile> driver;  // null under hooks a caller chose
  std::unique_ptr<Container> container;
  std::vector<std::string> tables;     // the tables open through it
  bool shareable = false;              // opened under the driver's own hooks
  pid_t process = ::getpid();          // a child forked since is another process
};

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

// The driver's hooks behind a file, when it runs under them (null for hooks
// a caller set that are not the driver's).
DriverHooks* driverOf(const std::shared_ptr<FileHooks>& hooks) { return dynamic_cast<DriverHooks*>(hooks.get()); }
FileLocks* locksOf(const std::shared_ptr<FileHooks>& hooks) {
  DriverHooks* driver = driverOf(hooks);
  return driver ? driver->locks() : nullptr;
}

// Undo log of one writing operation, replayed backwards when a later key of
// the same record refuses a duplicate.
class KeyJournal {
 public:
  explicit KeyJournal(Container& container) : container_(container) {}
  void inserted(const TreeRecord& entry) { steps_.push_back({true, entry}); }
  void erased(const TreeRecord& entry) { steps_.push_back({false, entry}); }
  void undo() {
    for (auto it = steps_.rbegin(); it != steps_.rend(); ++it) {
      if (it->inserted)
        container_.erase(it->entry.key());
      else
        container_.insert(it->entry);
    }
    steps_.clear();
  }

 private:
  struct Step {
    bool inserted;
    TreeRecord entry;
  };
  Container& container_;
  std::vector<Step> steps_;
};

bool sameEntry(const std::optional<TreeRecord>& a, const std::optional<TreeRecord>& b) {
  return a && b && a->keyLength == b->keyLength && a->bytes == b->bytes;
}

}  // namespace

// What the driver options FLAGS and PNM read and change in the open table.
// Each runs as an operation of its own (locks, refresh, commit), so a failure
// leaves its error in the file and nothing escapes as an exception.
struct DataFile::OptionTable final : TableOptionAccess {
  explicit OptionTable(DataFile& f) : file(f) {}

  std::uint32_t flagsValue() override {
    std::uint32_t flags = 0;
    file.guarded(true, false, [&] {
      flags = dataCounter().mark;
      return 0;
    });
    return flags;
  }
  void setFlagsValue(std::uint32_t value) override {
    file.guarded(true, true, [&] {
      Counter counter = dataCounter();
      if (counter.mark == value) return 0;
      counter.mark = value;
      TreeRecord record;
      record.bytes = counterKey(file.table_, RecordKind::DATA);
      record.keyLength = 6;
      const Bytes payload = counter.payload();
      record.bytes.insert(record.bytes.end(), payload.begin(), payload.end());
      file.container_->replace(record);
      return 0;
    });
  }
  std::optional<std::string> storedTableName(std::string_view name) override {
    std::optional<std::string> stored;
    file.guarded(true, false, [&] {
      for (const TableEntry& table : listTables(*file.container_)) {
        if (table.name.size() == name.size() &&
            std::equal(name.begin(), name.end(), table.name.begin(), [](char a, char b) {
              return std::toupper(static_cast<unsigned char>(a)) == std::toupper(static_cast<unsigned char>(b));
            })) {
          stored = table.name;
          break;
        }
      }
      return 0;
    });
    return stored;
  }

  // The data's counter record: the record count and, second, the FLAGS word.
  Counter dataCounter() {
    TreeRecord record;
    if (!file.container_->find(counterKey(file.table_, RecordKind::DATA), &record)) return Counter{};
    const auto counter = Counter::parse(record.payload());
    if (!counter) throw InternalError{RecordDamage::COUNTER};
    return *counter;
  }

  DataFile& file;
};

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

// --- Errors and the guarded entry point ------------------------------------

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

// Every operation runs here. It refreshes the header, runs the body, commits a
// successful write (unless a transaction holds it back) and turns internal
// errors and OS failures into error 90. A failed write drops its uncommitted
// changes, so the file stays as it was; inside a transaction a fault drops the
// whole transaction, since a half-done operation must never be committed.
template <class Body>
int DataFile::guarded(bool needsOpen, bool writes, Body&& body) {
  clearError();
  if (needsOpen && !container_) return setError(FileError::FILE_NOT_OPEN);
  if (needsOpen && writes && !writable_) return setError(FileError::ACCESS_DENIED);
  bool begun = false;
  auto dropChanges = [&] {
    if (!container_) return;
    try {
      container_->discardChanges();
    } catch (...) {
      // The in-memory state is gone either way; the file keeps its last commit.
    }
  };
  auto undo = [&] {
    if (needsOpen && writes) {
      dropChanges();
      if (inTransaction()) Transaction::current().leave(container_);
    }
    if (begun) hooks_->endOperation(*this, writes);
  };
  auto fail = [&](int number, std::string text) {
    undo();
    setError(FileError::FILE_SYSTEM_ERROR);
    fileErrorCode_ = std::to_string(number);
    fileErrorText_ = std::move(text);
    return errorCode_;
  };
  try {
    if (needsOpen) {
      if (int refused = hooks_->beginOperation(*this, writes)) return setError(refused);
      begun = true;
      container_->refresh(writes);
    }
    const int result = body();
    if (needsOpen && writes && !inTransaction()) {
      if (result == 0)
        container_->commit();
      else
        dropChanges();
    }
    if (begun) hooks_->endOperation(*this, writes);
    return errorCode_ ? errorCode_ : setError(result);
  } catch (const InternalError& e) {
    return fail(e.number, dataCorruptionText(e.number));
  } catch (const OsFailure& e) {
    return fail(e.code, e.text.empty() ? osErrorText(e.code) : e.text);
  } catch (const std::bad_alloc&) {
    return fail(ENOMEM, osErrorText(ENOMEM));
  } catch (const LockWaitGivenUp&) {
    undo();
    return setError(FileError::FILE_ALREADY_LOCKED);
  }
}

// --- CREATE, OPEN, CLOSE -----------------------------------------------------

int DataFile::create() {
  if (isOpen()) {
    clearError();
    return setError(FileError::FILE_ALREADY_OPEN);
  }
  prepareHooks();
  return guarded(false, true, [&] { return createTable(); });
}

namespace {

// Holds a file's driver hooks attached to an OS file that the caller opened
// for one operation (CREATE, COPY of a closed file), and detaches them before
// that file closes: declare it after the file and before anything that locks.
struct AttachedFor {
  DriverHooks* driver = nullptr;
  ~AttachedFor() {
    if (driver) driver->detach();
  }
  // 0, 5 (another open's share mode refuses), or an OS error code.
  int attach(DriverHooks* hooks, OsFile& file, OpenMode mode, FileSystem& fileSystem, const std::string& path) {
    if (!hooks) return 0;
    if (int refused = hooks->attach(file, mode, fileSystem, path)) return refused;
    driver = hooks;
    return 0;
  }
};

}  // namespace

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

// --- Records of the open table ----------------------------------------------

const TreeRecord* DataFile::peekRecord(std::uint32_t recordNumber) {
  const TreeRecord* record = container_->peek(dataRecordKey(table_, recordNumber));
  if (record && record->payload().size() != layout_.recordLength) throw InternalError{RecordDamage::RECORD_LENGTH};
  return record;
}

std::optional<TreeRecord> DataFile::findRecord(std::uint32_t recordNumber) {
  const TreeRecord* record = peekRecord(recordNumber);
  return record ? std::optional<TreeRecord>(*record) : std::nullopt;
}

// The data record of a record number holding the image in its stored form.
TreeRecord DataFile::dataRecord(std::uint32_t recordNumber, ByteView windows) const {
  TreeRecord data;
  const Bytes key = dataRecordKey(table_, recordNumber);
  data.bytes.reserve(key.size() + windows.size());
  data.bytes.assign(key.begin(), key.end());
  data.keyLength = static_cast<std::uint16_t>(key.size());
  data.bytes.insert(data.bytes.end(), windows.begin(), windows.end());
  if (tables_.oem) convertRecordText(layout_, data.bytes.data() + key.size(), true);
  return data;
}

DataFile::RecordLock::~RecordLock() { file.hooks_->unlockRecord(file, number); }

Bytes DataFile::windowsImage(ByteView stored) const {
  Bytes image(stored.begin(), stored.end());
  if (tables_.oem) convertRecordText(layout_, image.data(), false);
  return image;
}

std::uint32_t DataFile::counterValue(std::uint8_t counted) {
  TreeRecord record;
  if (!container_->find(counterKey(table_, counted), &record)) return 0;
  const auto counter = Counter::parse(record.payload());
  if (!counter) throw InternalError{RecordDamage::COUNTER};
  return counter->count;
}

// Changes counter records in place (counted[i] through change(i, counter));
// a missing counter starts from zero. The counters of a table lie side by
// side, so one descent usually serves them all.
void DataFile::changeCounters(const std::vector<std::uint8_t>& counted,
                              const std::function<void(std::size_t, Counter&)>& change) {
  // A counter's key is the table's counter prefix and the counted kind, so
  // the kinds' order is the keys' order.
  std::vector<std::size_t> order(counted.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return counted[a] < counted[b]; });
  // The keys are written into blocks kept from the last call: every ADD
  // changes a dozen counters or more.
  std::vector<Bytes>& keys = counterKeys_;
  keys.resize(order.size());
  for (std::size_t k = 0; k < order.size(); ++k) writeCounterKey(keys[k], table_, counted[order[k]]);
  auto store = [](TreeRecord& record, const Bytes& key, const Counter& counter) {
    record.bytes.resize(key.size() + 8);
    std::copy(key.begin(), key.end(), record.bytes.begin());
    record.keyLength = static_cast<std::uint16_t>(key.size());
    counter.store(record.bytes.data() + key.size());
  };
  const std::vector<bool> found = container_->rewriteAll(keys, [&](std::size_t k, TreeRecord& record) {
    auto counter = Counter::parse(record.payload());
    if (!counter) throw InternalError{RecordDamage::COUNTER};
    change(order[k], *counter);
    store(record, keys[k], *counter);
  });
  for (std::size_t k = 0; k < keys.size(); ++k) {
    if (found[k]) continue;
    Counter counter;
    change(order[k], counter);
    TreeRecord record;
    store(record, keys[k], counter);
    container_->insert(std::move(record));
  }
}

// Adds deltas[k] to key k's counter and dataDelta to the record count.
void DataFile::adjustCounters(const std::vector<int>& deltas, int dataDelta) {
  std::vector<std::uint8_t> counted;
  std::vector<int> change;
  for (std::size_t k = 0; k < deltas.size(); ++k) {
    if (deltas[k] == 0) continue;
    counted.push_back(static_cast<std::uint8_t>(k));
    change.push_back(deltas[k]);
  }
  if (dataDelta != 0) {
    counted.push_back(RecordKind::DATA);
    change.push_back(dataDelta);
  }
  if (counted.empty()) return;
  changeCounters(counted, [&](std::size_t i, Counter& counter) {
    const int delta = change[i];
    counter.count = (delta < 0 && counter.count < static_cast<std::uint32_t>(-delta)) ? 0 : counter.count + delta;
  });
}

// A mark of 0 means "complete"; otherwise entries from the mark on may be
// missing. Lowering compares mark - 1 with number - 1 unsigned, so 0 acts as
// no mark at all.
void DataFile::lowerRebuildMark(std::uint8_t counted, std::uint32_t recordNumber) {
  changeCounters({counted}, [&](std::size_t, Counter& counter) {
    if (counter.mark - 1 > recordNumber - 1) counter.mark = recordNumber;
  });
}

bool DataFile::maintained(std::size_t key) const {
  return (layout_.keys[key].flags & (KeyFlag::INDEX | KeyFlag::DYNAMIC)) == 0;
}

void DataFile::writeMemos(std::uint32_t recordNumber) {
  for (std::size_t m = 0; m < layout_.memos.size(); ++m) {
    const MemoDeclaration& memo = layout_.memos[m];
    Bytes value = memos_[m];
    if (tables_.oem && !(memo.flags & (MEMO_BINARY | MEMO_BLOB))) windowsToOem(value.data(), value.size());
    const std::vector<Bytes> pieces = cutMemo(memo, value);
    const auto memoNumber = static_cast<std::uint8_t>(m);
    for (std::size_t p = 0; p < pieces.size(); ++p) {
      TreeRecord record;
      record.bytes = memoPieceKey(table_, recordNumber, memoNumber, static_cast<std::uint16_t>(p));
      record.keyLength = 12;
      TreeRecord stored;
      if (container_->find(record.key(), &stored) && std::ranges::equal(stored.payload(), pieces[p])) continue;
      record.bytes.insert(record.bytes.end(), pieces[p].begin(), pieces[p].end());
      container_->replace(record);
    }
    // Pieces beyond the new length go.
    Bytes probe = memoPieceKey(table_, recordNumber, memoNumber, 0);
    probe.resize(10);
    if (!pieces.empty()) probe = memoPieceKey(table_, recordNumber, memoNumber, static_cast<std::uint16_t>(pieces.size() - 1));
    TreeRecord stale;
    while (container_->findFirstGreater(probe, &stale) && stale.key().size() == 12 &&
           std::equal(probe.begin(), probe.begin() + 10, stale.key().begin()))
      container_->eraseFound(stale.key());
  }
}

void DataFile::readMemos(std::uint32_t recordNumber) {
  for (std::size_t m = 0; m < layout_.memos.size(); ++m) {
    const MemoDeclaration& memo = layout_.memos[m];
    Bytes prefix = memoPieceKey(table_, recordNumber, static_cast<std::uint8_t>(m), 0);
    prefix.resize(10);
    std::vector<Bytes> pieces;
    forEachWithPrefix(*container_, prefix, [&](const TreeRecord& record) {
      if (record.key().size() != 12) return;
      const std::size_t piece = (record.key()[10] << 8) | record.key()[11];
      if (pieces.size() <= piece) pieces.resize(piece + 1);
      pieces[piece].assign(record.payload().begin(), record.payload().end());
    });
    memos_[m] = joinMemo(memo, pieces);
    if (tables_.oem && !(memo.flags & (MEMO_BINARY | MEMO_BLOB))) oemToWindows(memos_[m].data(), memos_[m].size());
  }
}

void DataFile::eraseMemos(std::uint32_t recordNumber) {
  for (std::size_t m = 0; m < layout_.memos.size(); ++m) {
    Bytes prefix = memoPieceKey(table_, recordNumber, static_cast<std::uint8_t>(m), 0);
    prefix.resize(10);
    TreeRecord piece;
    while (container_->findFirstGreater(prefix, &piece) && piece.key().size() == 12 &&
           std::equal(prefix.begin(), prefix.end(), piece.key().begin()))
      container_->eraseFound(piece.key());
  }
}

// --- ADD, APPEND, PUT, DELETE -------------------------------------------------

int DataFile::add() {
  return guarded(true, true, [&] { return writeRecord(false); });
}

int DataFile::append() {
  return guarded(true, true, [&] { return writeRecord(true); });
}

// A memo longer than its pieces can number (or a text memo past its size)
// is refused before anything changes: storing part of it would lose the rest.
void DataFile::refuseOversizedMemos() const {
  for (std::size_t m = 0; m < layout_.memos.size(); ++m)
    if (auto why = memoOverflow(layout_.memos[m], memos_[m])) throw OsFailure{EFBIG, std::move(*why)};
}

int DataFile::writeRecord(bool appendOnly) {
  refuseOversizedMemos();
  const std::uint32_t recordNumber = container_->newRecordNumber();
  const ByteView image(buffer_, layout_.recordLength);
  const KeyEncoder encoder(layout_, tables_);
  std::vector<int> deltas(layout_.keys.size(), 0);
  for (std::size_t k = 0; k < layout_.keys.size(); ++k) {
    if (layout_.keys[k].flags & KeyFlag::DYNAMIC) continue;
    if (appendOnly || !maintained(k)) {
      lowerRebuildMark(static_cast<std::uint8_t>(k), recordNumber);
      continue;
    }
    auto entry = encoder.entry(table_, k, image.data(), recordNumber);
    if (!entry) continue;
    // An entry of a key with duplicates carries the new record number in its
    // key, so only a unique key can already hold it; its check and its
    // insert share one descent.
    if (layout_.keys[k].flags & KeyFlag::DUP) {
      container_->insert(std::move(*entry));
    } else if (!container_->insertIfAbsent(std::move(*entry))) {
      // The entries inserted so far go again; each is made anew from the
      // image, as it was made the first time.
      for (std::size_t done = 0; done < k; ++done)
        if (deltas[done] != 0) container_->erase(encoder.entry(table_, done, image.data(), recordNumber)->key());
      return FileError::DUPLICATE_KEY;
    }
    deltas[k] = 1;
  }
  container_->insert(dataRecord(recordNumber, image));
  writeMemos(recordNumber);
  adjustCounters(deltas, 1);
  currentRecord_ = recordNumber;
  return 0;
}

int DataFile::put() {
  return guarded(true, true, [&] { return rewriteRecord(); });
}

int DataFile::rewriteRecord() {
  if (currentRecord_ == 0) return FileError::RECORD_NOT_AVAILABLE;
  refuseOversizedMemos();
  const std::uint32_t recordNumber = currentRecord_;
  if (int refused = hooks_->lockRecord(*this, recordNumber)) return refused;
  const RecordLock unlock{*this, recordNumber};

  const auto stored = findRecord(recordNumber);
  if (!stored) return FileError::RECORD_NOT_AVAILABLE;
  if (watchedCopy_ && !std::ranges::equal(*watchedCopy_, stored->payload())) return FileError::RECORD_CHANGED;
  // The old entries come from the record as it is stored, so the keys always
  // follow the data even when the buffer's earlier copy is stale.
  const Bytes oldImage = windowsImage(stored->payload());
  const Bytes newImage(buffer_, buffer_ + layout_.recordLength);
  const KeyEncoder encoder(layout_, tables_);
  KeyJournal journal(*container_);
  std::vector<int> deltas(layout_.keys.size(), 0);
  for (std::size_t k = 0; k < layout_.keys.size(); ++k) {
    if (layout_.keys[k].flags & KeyFlag::DYNAMIC) continue;
    const auto oldEntry = encoder.entry(table_, k, oldImage.data(), recordNumber);
    const auto newEntry = encoder.entry(table_, k, newImage.data(), recordNumber);
    if (sameEntry(oldEntry, newEntry) || (!oldEntry && !newEntry)) continue;
    if (!maintained(k)) {
      lowerRebuildMark(static_cast<std::uint8_t>(k), recordNumber);
      continue;
    }
    if (newEntry) {
      TreeRecord existing;
      if (!(layout_.keys[k].flags & KeyFlag::DUP) && container_->find(newEntry->key(), &existing)) {
        if (entryRecordNumber(existing) != recordNumber) {
          journal.undo();
          return FileError::DUPLICATE_KEY;
        }
      } else {
        container_->insert(*newEntry);
        journal.inserted(*newEntry);
        ++deltas[k];
      }
    }
    if (oldEntry) {
      TreeRecord existing;
      if (container_->find(oldEntry->key(), &existing) && entryRecordNumber(existing) == recordNumber &&
          !(newEntry && std::ranges::equal(newEntry->key(), oldEntry->key()))) {
        container_->erase(existing.key());
        journal.erased(existing);
        --deltas[k];
      }
    }
  }
  container_->replace(dataRecord(recordNumber, newImage));
  writeMemos(recordNumber);
  adjustCounters(deltas, 0);
  watchedCopy_.reset();
  return 0;
}

int DataFile::erase() {
  return guarded(true, true, [&] { return deleteRecord(); });
}

int DataFile::deleteRecord() {
  if (currentRecord_ == 0) return FileError::RECORD_NOT_AVAILABLE;
  const std::uint32_t recordNumber = currentRecord_;
  if (int refused = hooks_->lockRecord(*this, recordNumber)) return refused;
  const RecordLock unlock{*this, recordNumber};

  const auto stored = findRecord(recordNumber);
  if (!stored) return FileError::RECORD_NOT_AVAILABLE;
  const Bytes oldImage = windowsImage(stored->payload());
  const KeyEncoder encoder(layout_, tables_);
  std::vector<int> deltas(layout_.keys.size(), 0);
  for (std::size_t k = 0; k < layout_.keys.size(); ++k) {
    if (layout_.keys[k].flags & KeyFlag::DYNAMIC) continue;
    const auto entry = encoder.entry(table_, k, oldImage.data(), recordNumber);
    if (!entry) continue;
    if (!maintained(k)) {
      lowerRebuildMark(static_cast<std::uint8_t>(k), recordNumber);
      continue;
    }
    TreeRecord existing;
    if (container_->find(entry->key(), &existing) && entryRecordNumber(existing) == recordNumber) {
      container_->erase(existing.key());
      deltas[k] = -1;
    }
  }
  eraseMemos(recordNumber);
  container_->erase(stored->key());
  adjustCounters(deltas, -1);
  currentRecord_ = 0;
  watchedCopy_.reset();
  return 0;
}

// --- GET, SET, NEXT, PREVIOUS, RECORDS ----------------------------------------

int DataFile::watch() {
  clearError();
  if (!container_) return setError(FileError::FILE_NOT_OPEN);
  watchArmed_ = true;
  return 0;
}

// data may lie in the page cache: it is used up before readMemos() reads on.
int DataFile::readRecord(std::uint32_t recordNumber, const TreeRecord& data) {
  if (data.payload().size() != layout_.recordLength) throw InternalError{RecordDamage::RECORD_LENGTH};
  if (int refused = hooks_->recordRead(*this, recordNumber)) return refused;
  const ByteView stored = data.payload();
  std::copy(stored.begin(), stored.end(), buffer_);
  std::optional<Bytes> watched;
  if (watchArmed_) watched.emplace(stored.begin(), stored.end());
  if (tables_.oem) convertRecordText(layout_, buffer_, false);
  readMemos(recordNumber);
  currentRecord_ = recordNumber;
  watchedCopy_ = std::move(watched);
  watchArmed_ = false;
  return 0;
}

int DataFile::get(std::uint32_t pointer) {
  return guarded(true, false, [&] {
    const TreeRecord* data = peekRecord(pointer);
    if (!data) return FileError::RECORD_NOT_FOUND;
    return readRecord(pointer, *data);
  });
}

int DataFile::getByKey(std::size_t key) {
  return guarded(true, false, [&] {
    if (!checkKeyNumber(key)) return FileError::RECORD_NOT_FOUND;
    const KeyEncoder encoder(layout_, tables_);
    const Bytes probe = encoder.keyValue(table_, key, buffer_);
    TreeRecord entry;
    // A unique key's entry is the value itself; duplicates carry the record
    // number behind it, so the first of them is the first key above the value.
    bool found = isDynamic(key) ? dynamic_.find(key, probe, &entry) : container_->find(probe, &entry);
    if (!found) {
      if (const TreeRecord* above = peekEntry(static_cast<std::uint8_t>(key), true, probe, entry)) {
        entry = *above;
        found = entry.key().size() == probe.size() + 4 && std::equal(probe.begin(), probe.end(), entry.key().begin());
      }
    }
    if (!found) return FileError::RECORD_NOT_FOUND;
    const auto recordNumber = entryRecordNumber(entry);
    const TreeRecord* data = recordNumber ? peekRecord(*recordNumber) : nullptr;
    if (!data) throw InternalError{RecordDamage::ENTRY_WITHOUT_RECORD};
    return readRecord(*recordNumber, *data);
  });
}

int DataFile::setKey(std::size_t key) {
  return guarded(true, false, [&] {
    if (!checkKeyNumber(key)) return FileError::RECORD_NOT_AVAILABLE;
    cursor_ = std::make_unique<Cursor>();
    cursor_->kind = static_cast<std::uint8_t>(key);
    cursor_->nextProbe = kindPrefix(table_, cursor_->kind);
    cursor_->previousProbe = kindUpperBound(table_, cursor_->kind);
    return 0;
  });
}

int DataFile::setKeyFromBuffer(std::size_t key) {
  return guarded(true, false, [&] {
    if (!checkKeyNumber(key)) return FileError::RECORD_NOT_AVAILABLE;
    const KeyEncoder encoder(layout_, tables_);
    cursor_ = std::make_unique<Cursor>();
    cursor_->kind = static_cast<std::uint8_t>(key);
    // A probe that is a prefix of an entry sorts before it: NEXT finds the
    // first entry >= the values. PREVIOUS finds the last entry <= them.
    cursor_->nextProbe = encoder.keyValue(table_, key, buffer_);
    cursor_->previousProbe = cursor_->nextProbe;
    cursor_->previousProbe.insert(cursor_->previousProbe.end(), 5, 0xFF);
    return 0;
  });
}

int DataFile::setFile() {
  return guarded(true, false, [&] {
    cursor_ = std::make_unique<Cursor>();
    cursor_->kind = RecordKind::DATA;
    cursor_->nextProbe = kindPrefix(table_, RecordKind::DATA);
    cursor_->previousProbe = kindUpperBound(table_, RecordKind::DATA);
    return 0;
  });
}

int DataFile::next() { return stepRepeatingHeld(true); }

int DataFile::previous() { return stepRepeatingHeld(false); }

// Under a hold, a step that meets a record another process holds (43) is
// repeated, each time as an operation of its own (so a committing writer is
// not kept out meanwhile), until the hold's time limit has passed.
int DataFile::stepRepeatingHeld(bool forward) {
  int rc = guarded(true, false, [&] { return step(forward); });
  if (rc != FileError::RECORD_ALREADY_HELD) return rc;
  // The clock is read only once a step is refused: a walk over a whole file
  // takes millions of steps that never are.
  const auto start = std::chrono::steady_clock::now();
  while (rc == FileError::RECORD_ALREADY_HELD) {
    FileLocks* locks = locksOf(hooks_);
    if (!locks || !locks->mayRepeatHeldStep(start)) break;
    rc = guarded(true, false, [&] { return step(forward); });
  }
  return rc;
}

int DataFile::step(bool forward) {
  if (!cursor_) return FileError::RECORD_NOT_AVAILABLE;
  // found may lie in the page cache: what the step needs of it (its key, the
  // record number) is taken before the next container call.
  TreeRecord scratch;
  const TreeRecord* found =
      peekEntry(cursor_->kind, forward, forward ? ByteView(cursor_->nextProbe) : ByteView(cursor_->previousProbe), scratch);
  if (!found || !hasKindPrefix(found->key(), table_, cursor_->kind)) return FileError::RECORD_NOT_AVAILABLE;
  Bytes foundKey(found->key().begin(), found->key().end());
  // The cursor moves only onto a record that was read: a step refused by a
  // hold (43) can be repeated and meets the same record again.
  int rc = 0;
  if (cursor_->kind == RecordKind::DATA) {
    if (foundKey.size() != DATA_KEY_BYTES) throw InternalError{RecordDamage::RECORD_LENGTH};
    rc = readRecord(getBigEndian32(foundKey.data() + 5), *found);
  } else {
    auto recordNumber = entryRecordNumber(*found);
    const TreeRecord* data = recordNumber ? peekRecord(*recordNumber) : nullptr;
    // A dynamic index is not maintained record by record: it skips entries
    // of records deleted since it was built.
    while (!data && isDynamic(cursor_->kind)) {
      found = peekEntry(cursor_->kind, forward, foundKey, scratch);
      if (!found || !hasKindPrefix(found->key(), table_, cursor_->kind)) return FileError::RECORD_NOT_AVAILABLE;
      foundKey.assign(found->key().begin(), found->key().end());
      recordNumber = entryRecordNumber(*found);
      data = recordNumber ? peekRecord(*recordNumber) : nullptr;
    }
    if (!data) throw InternalError{RecordDamage::ENTRY_WITHOUT_RECORD};
    rc = readRecord(*recordNumber, *data);
  }
  if (rc != 0) return rc;
  cursor_->nextProbe = std::move(foundKey);
  cursor_->previousProbe = cursor_->nextProbe;
  return 0;
}

std::uint32_t DataFile::records() {
  std::uint32_t count = 0;
  guarded(true, false, [&] {
    count = counterValue(RecordKind::DATA);
    return 0;
  });
  return count;
}

std::uint32_t DataFile::records(std::size_t key) {
  std::uint32_t count = 0;
  guarded(true, false, [&] {
    if (!checkKeyNumber(key)) return FileError::RECORD_NOT_AVAILABLE;
    count = isDynamic(key) ? dynamic_.count(key) : counterValue(static_cast<std::uint8_t>(key));
    return 0;
  });
  return count;
}

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
        const std::uint32_t value = getLittleEndian32(mark);
        if (value != 0) {
          putLittleEndian32(mark, value + offset);
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

}  // namespace glimra::datafile

namespace glimra::datafile {

int DataFile::writeOperation(const std::function<int()>& body) { return guarded(true, true, body); }

int DataFile::readOperation(const std::function<int()>& body) { return guarded(true, false, body); }

bool DataFile::isDynamic(std::size_t key) const {
  return key < layout_.keys.size() && (layout_.keys[key].flags & KeyFlag::DYNAMIC) != 0;
}

// The record after (forward) or before a probe, for a walk over records of
// one kind: a dynamic index's entries live in memory, everything else in the
// tree.
const TreeRecord* DataFile::peekEntry(std::uint8_t kind, bool forward, ByteView probe, TreeRecord& scratch) {
  if (isDynamic(kind)) {
    const bool any = forward ? dynamic_.findFirstGreater(kind, probe, &scratch) : dynamic_.findLastLess(kind, probe, &scratch);
    return any ? &scratch : nullptr;
  }
  return forward ? container_->peekFirstGreater(probe) : container_->peekLastLess(probe);
}

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
