// SPDX-License-Identifier: GPL-3.0-or-later
// DataFile: one table of a data file, opened by a program, with the driver's
// operations (CREATE, OPEN, CLOSE, ADD, APPEND, PUT, DELETE, GET, SET, NEXT,
// PREVIOUS, RECORDS, POINTER, POSITION, COPY, WATCH, LOGOUT, COMMIT,
// ROLLBACK, SEND) on the records and key entries of the file's one tree.
//
// The file is bound to the caller's record buffer (recordLength bytes): every
// read fills it, every write takes the record from it. Memos live in buffers
// that the object holds (memo()).
//
// Errors never leave as exceptions: every operation runs through one guarded
// entry point, returns its error code (0 = success) and leaves it, with its
// text, in errorCode()/errorText(); for error 90 also fileErrorCode() (the
// internal number or the OS error, in decimal) and fileErrorText(). A writing
// operation that fails leaves the file as it was before it (outside a
// transaction its uncommitted changes are dropped).
//
// Invariants kept in the file: every maintained key holds exactly one entry per
// record that its flags call for (none for a record left out by OPT), each
// carrying the record's number; the counter records hold the number of data
// records and of entries per key; record numbers are never reused.
//
// Several tables of one file opened by one process (under the driver's own
// hooks) share one open of it: its OS handle, share mode, locks, container
// and transaction. A further table joins the open when that open already
// grants its access and denies others at least what it asks; a LOGOUT on any
// of them takes them all into the transaction, and COMMIT writes their
// changes in one commit. The same table opened twice stays two opens, as two
// programs would be, and another process meets the share mode as before.
//
// Unless setHooks() says otherwise, each open (and CREATE) runs under the
// driver's own hooks (options.h): the open mode's share mode is taken on the
// OS file, every operation holds the locks that share mode calls for, the file
// is enciphered with the declaration's owner password, LOGOUT/COMMIT/ROLLBACK
// go through the process's transaction (transactions.h), and SEND knows the
// driver options.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "datafile/character_tables.h"
#include "datafile/container.h"
#include "datafile/declaration.h"
#include "datafile/dynamic_index.h"
#include "datafile/file_hooks.h"
#include "datafile/key_build.h"
#include "datafile/os_file.h"
#include "datafile/record_kinds.h"

namespace glimra::datafile {

struct OpenHandle;

class DataFile {
 public:
  explicit DataFile(FileSystem& fileSystem = posixFileSystem());
  ~DataFile();
  DataFile(const DataFile&) = delete;
  DataFile& operator=(const DataFile&) = delete;

  // --- Set-up (before CREATE/OPEN) ---------------------------------------
  // The layout and the caller's record buffer of declaration.recordLength
  // bytes. Without a declaration, OPEN takes the layout stored in the file
  // and the object keeps its own buffer (record()).
  void declare(const TableDeclaration& declaration, void* recordBuffer);
  // The external name: "path" or "path\!table"; a path without an extension
  // gets ".DAT".
  void setName(std::string fileName);
  const std::string& name() const { return fileName_; }
  FileSystem& fileSystem() const { return fileSystem_; }
  // Locking, transactions across files, cipher and options (see file_hooks.h).
  // Taken at OPEN; null restores the defaults (a fresh DriverHooks per CREATE
  // and OPEN, enciphering with the declaration's owner password).
  void setHooks(std::shared_ptr<FileHooks> hooks);
  const std::shared_ptr<FileHooks>& hooks() const { return hooks_; }
  // The memory this file's page cache may keep pages in (never fewer than
  // 20 pages; Container::setCacheBytes). Applies to the open file and to
  // every later open; a few megabytes by default. Tables sharing one open of
  // a file share its cache: the first table's setting, or the latest change.
  void setPageCacheBytes(std::size_t bytes);
  std::size_t pageCacheBytes() const { return cacheBytes_; }

  // --- Operations: each returns errorCode() ------------------------------
  int create();                       // CREATE: the table, replacing one of that name
  // CREATE of a whole new file that a crash cannot leave half made: the table
  // is created under a temporary name beside the file's, opened with mode,
  // given its first records by fill (returning an error code), closed, and
  // renamed over the file's name, the folder flushed after. The file is closed
  // afterwards. On failure the file's name shows what it showed before, the
  // temporary file is gone, and *failedStep (when given) says which step
  // failed; the error is that step's.
  enum class CreateStep { Create, Open, Fill, Finish };
  int createComplete(OpenMode mode, const std::function<int()>& fill, CreateStep* failedStep = nullptr);
  int open(OpenMode mode = OpenMode{});  // OPEN
  int close();                        // CLOSE
  int add();                          // ADD the buffer as a new record
  int append();                       // APPEND: as ADD, keys left for a build
  int put();                          // PUT the buffer over the current record
  int erase();                        // DELETE the current record
  int watch();                        // WATCH the next record read for PUT
  int get(std::uint32_t pointer);     // GET by position (record number)
  int getByKey(std::size_t key);      // GET the first record whose key equals the buffer's values
  int setKey(std::size_t key);        // SET(key): before the key's first entry
  int setKeyFromBuffer(std::size_t key);  // SET(key,key): before the first entry >= the buffer's values
  int setFile();                      // SET(file): record-number order
  int next();                         // NEXT
  int previous();                     // PREVIOUS
  std::uint32_t records();            // RECORDS(file)
  std::uint32_t records(std::size_t key);  // RECORDS(key)
  int copy(const std::string& target);     // COPY (whole file, or the table into another file)
  int logout();                       // LOGOUT: writes stay in memory until COMMIT/ROLLBACK
  // LOGOUT waiting up to timeoutSeconds (< 0: no limit) for the file's writer
  // lock; 32 when it stays busy. logout() waits kLogoutSeconds.
  int logout(int timeoutSeconds);
  // LOGOUT of several open files into one transaction: all join or none
  // (each file's errorCode() is set). COMMIT or ROLLBACK on any of them ends it.
  static int logout(const std::vector<DataFile*>& files, int timeoutSeconds = kLogoutSeconds);
  static constexpr int kLogoutSeconds = 1;
  int commit();                       // COMMIT: every file of the transaction together
  int rollback();                     // ROLLBACK: every file of the transaction
  int flush();                        // FLUSH: commit this file's pending writes now
  int stream();                       // STREAM: accepted, no effect
  int lockTable();                    // LOCK: 0, or 32 when another process holds it
  int unlockTable();                  // UNLOCK
  // HOLD: the next record read is also locked (43 when another process holds
  // it; NEXT/PREVIOUS repeat their step for up to seconds, < 0: no limit).
  int hold(int seconds);
  int release();                      // RELEASE the held record
  std::string send(std::string_view option);  // SEND: unknown options give ""
  // BUILDkey, BUILDfile and PACK (key_build.h): complete or rebuild keys.
  // buildFile and pack open a closed file for their duration.
  int buildKey(std::size_t key, const BuildSettings& settings = {});
  int buildFile(const BuildSettings& settings = {});
  int pack(const BuildSettings& settings = {});
  // Runs body (returning an error code) as one writing operation through the
  // guarded entry point; for the key-build layer.
  int writeOperation(const std::function<int()>& body);
  // Runs body as one reading operation through the guarded entry point; for
  // the text search (text_search.h).
  int readOperation(const std::function<int()>& body);

  // The current record's number (POINTER) and its position as an opaque
  // 4-byte value (POSITION); 0 / zeros without a current record.
  std::uint32_t pointer() const { return currentRecord_; }
  std::array<std::uint8_t, 4> position() const;

  // --- Errors of the last operation ---------------------------------------
  int errorCode() const { return errorCode_; }
  const std::string& errorText() const { return errorText_; }
  const std::string& fileErrorCode() const { return fileErrorCode_; }
  const std::string& fileErrorText() const { return fileErrorText_; }

  // --- State ----------------------------------------------------------------
  bool isOpen() const { return container_ != nullptr; }
  // The open file is in the process's transaction (LOGOUT of this table or
  // of another table of the same file, until COMMIT or ROLLBACK).
  bool inTransaction() const;
  OpenMode openMode() const { return openMode_; }
  // CLOSE met damage: the file was closed anyway.
  bool damaged() const { return damaged_; }
  const TableDeclaration& declaration() const { return layout_; }
  std::span<std::uint8_t> record() { return {buffer_, layout_.recordLength}; }
  // The memo buffers in declaration order: a text memo holds exactly its
  // declared size (filled with spaces), a BLOB its bytes.
  Bytes& memo(std::size_t index) { return memos_.at(index); }
  const CharacterTables& characterTables() const { return tables_; }
  std::uint32_t tableNumber() const { return table_; }
  // For the key-build layer and tests: the container of the open file (null
  // when closed), shared with the other tables of the file this process has open.
  Container* container() { return container_; }

 private:
  struct Cursor;
  struct OptionTable;
  friend struct OptionTable;

  template <class Body>
  int guarded(bool needsOpen, bool writes, Body&& body);
  int setError(int code);
  int finishBuild(int result, std::string fileErrorCode, std::string fileErrorText);
  BuildSettings withDynamicIndexes(const BuildSettings& settings);
  bool isDynamic(std::size_t key) const;
  // The entry of a key (or data record) beyond probe: in the page cache, or
  // in scratch for a dynamic index. Valid until the next container call.
  const TreeRecord* peekEntry(std::uint8_t kind, bool forward, ByteView probe, TreeRecord& scratch);
  void clearError();

  int openTable(OpenMode mode);
  void releaseHandle();
  int createTable();
  void writeTable(Container& container, const std::string& table);
  int createInOpenFile(OpenHandle& handle, const TableAddress& address);
  int writeRecord(bool appendOnly);
  int rewriteRecord();
  int deleteRecord();
  int readRecord(std::uint32_t recordNumber, const TreeRecord& data);
  int step(bool forward);
  int stepRepeatingHeld(bool forward);
  void prepareHooks();
  void detachHooks();
  int copyTable(const std::string& target);
  int osError(int code);

  // Records of the open table.
  std::optional<TreeRecord> findRecord(std::uint32_t recordNumber);
  // The same where it lies in the page cache: valid until the next container call.
  const TreeRecord* peekRecord(std::uint32_t recordNumber);
  bool checkKeyNumber(std::size_t key) const { return key < layout_.keys.size(); }
  Bytes windowsImage(ByteView storedImage) const;
  TreeRecord dataRecord(std::uint32_t recordNumber, ByteView windowsImage) const;
  // Holds the lock byte of the record PUT or DELETE changes until it returns.
  struct RecordLock {
    DataFile& file;
    std::uint32_t number;
    ~RecordLock();
  };
  void changeCounters(const std::vector<std::uint8_t>& counted,
                      const std::function<void(std::size_t, Counter&)>& change);
  void adjustCounters(const std::vector<int>& deltas, int dataDelta);
  void lowerRebuildMark(std::uint8_t counted, std::uint32_t recordNumber);
  std::uint32_t counterValue(std::uint8_t counted);
  void refuseOversizedMemos() const;
  void writeMemos(std::uint32_t recordNumber);
  void readMemos(std::uint32_t recordNumber);
  void eraseMemos(std::uint32_t recordNumber);
  bool maintained(std::size_t key) const;

  FileSystem& fileSystem_;
  std::string fileName_;
  std::shared_ptr<FileHooks> hooks_;
  bool hooksChosen_ = false;  // setHooks() gave hooks; else the driver's per open
  std::unique_ptr<OptionTable> optionTable_;
  const TableDeclaration* declared_ = nullptr;
  std::uint8_t* declaredBuffer_ = nullptr;

  std::shared_ptr<OpenHandle> handle_;  // the OS file, perhaps shared with other tables of it
  Container* container_ = nullptr;      // handle_'s container while open
  bool opened_ = false;                 // OPEN succeeded: handle_ counts this table
  std::size_t cacheBytes_ = Container::kDefaultCacheBytes;
  TableDeclaration layout_;
  std::uint8_t* buffer_ = nullptr;
  Bytes ownBuffer_;
  std::vector<Bytes> memos_;
  std::vector<Bytes> counterKeys_;  // changeCounters' keys, kept for the next call
  CharacterTables tables_ = CharacterTables::defaults();
  std::uint32_t table_ = 0;
  bool writable_ = false;
  OpenMode openMode_;

  std::uint32_t currentRecord_ = 0;
  std::unique_ptr<Cursor> cursor_;
  // Entries of the dynamic indexes: built in memory, empty at every OPEN.
  DynamicIndexes dynamic_;
  bool watchArmed_ = false;
  std::optional<Bytes> watchedCopy_;  // stored image read under WATCH
  bool damaged_ = false;
  bool hookOpened_ = false;  // hooks_->opened() succeeded; closing() is owed

  int errorCode_ = 0;
  std::string errorText_;
  std::string fileErrorCode_;
  std::string fileErrorText_;
};

// The external form of an error for messages: "text (code)".
std::string describeError(const DataFile& file);

}  // namespace glimra::datafile
