// SPDX-License-Identifier: GPL-3.0-or-later
// The inside of DataFile, shared by the files its operations are split over:
// datafile.cpp (set-up, errors, transactions and options), datafile_open.cpp
// (CREATE, OPEN, CLOSE), datafile_records.cpp (the records of the open table,
// ADD, PUT, DELETE, GET, SET, NEXT, PREVIOUS and the walks over dynamic
// indexes) and datafile_copy.cpp (COPY and the key builds). Only those
// include it: everything else sees DataFile through datafile.h.
#pragma once

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

// The driver's hooks behind a file, when it runs under them (null for hooks
// a caller set that are not the driver's).
inline DriverHooks* driverOf(const std::shared_ptr<FileHooks>& hooks) { return dynamic_cast<DriverHooks*>(hooks.get()); }
inline FileLocks* locksOf(const std::shared_ptr<FileHooks>& hooks) {
  DriverHooks* driver = driverOf(hooks);
  return driver ? driver->locks() : nullptr;
}

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

}  // namespace glimra::datafile
