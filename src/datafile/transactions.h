// SPDX-License-Identifier: GPL-3.0-or-later
// Transactions over several data files: LOGOUT, COMMIT and ROLLBACK, the
// transaction control file, and the recovery decision for a file whose write
// was interrupted.
//
// While a file is in the transaction its writes stay in memory (the record
// layer skips its end-of-operation commit). COMMIT with one changed file is
// that file's ordinary commit and touches no control file. With two or more:
//   1. the control files are opened (the one set by the "TCF" option, else
//      "datafile.tcf" in each changed file's directory; at most 99);
//   2. an id is chosen (the clock in seconds, +1 while any control file holds
//      it) and its record inserted and committed in every control file;
//   3. each changed file gets a marker record (key 0xFF: the id and the
//      control file's name) and runs the first half of its commit (the
//      pending area written and announced); if one fails, the pending areas
//      already written are discarded and the transaction is rolled back;
//   4. the id is deleted and committed in the control files: from here on the
//      transaction is committed;
//   5. the control files are closed and each file finishes its commit.
// A crash leaves each changed file with an announced pending area holding the
// marker. Its recovery (rollForwardAllowed) rolls forward when the id is gone
// from the control file, back while it is still there.
//
// Invariants: the commit point is one committed deletion in one control file
// (the first one opened, "the primary"): every marker of a transaction names
// the primary, so one crash can never leave one file rolled forward and
// another rolled back. An id is deleted only once every pending area that
// carries it is either complete or discarded.
//
// One transaction per process (the driver's state is process-wide), used by
// one thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "datafile/container.h"
#include "datafile/locks.h"
#include "datafile/os_file.h"
#include "datafile/share_modes.h"

namespace glimra::datafile {

// The name a marker gives for the data file's own default control file.
constexpr std::string_view kDefaultControlFileName = "C:\\DATAFILE.TCF";
constexpr std::string_view kControlFileBaseName = "datafile.tcf";
constexpr std::size_t kMaxControlFiles = 99;
// The key of the marker record: one byte, no table number.
constexpr std::uint8_t kMarkerKey = 0xFF;

// The program-wide control file set by the "TCF" option; empty: the default
// control file of each data file.
const std::string& controlFileOption();
void setControlFileOption(std::string name);

// "datafile.tcf" in the directory of dataFilePath (the current directory
// when it names none).
std::string defaultControlFilePath(std::string_view dataFilePath);

struct TransactionMarker {
  std::uint32_t id = 0;
  std::string controlFile;  // kDefaultControlFileName, or a path
};
TreeRecord markerRecord(const TransactionMarker& marker);
// The marker as the container sees it now (through pending copies while an
// unfinished write is being recovered). nullopt: no marker; a marker too
// short to hold an id reads as id 0 with no name.
std::optional<TransactionMarker> findMarker(Container& container);

// A transaction control file: a data file of bare 4-byte ids (little-endian,
// key length 4, no payload), opened read/write, deny none, created when
// missing. Every operation takes the file's own locks, so processes share it.
class ControlFile {
 public:
  // 0, 5 (a sharing violation), 36 (not a data file) or an OS error.
  static int open(FileSystem& fileSystem, const std::string& path, std::unique_ptr<ControlFile>* out);
  // As open(), repeating while the open meets a sharing violation.
  static int openWaiting(FileSystem& fileSystem, const std::string& path, std::unique_ptr<ControlFile>* out);
  ~ControlFile();

  const std::string& path() const { return path_; }
  bool holds(std::uint32_t id);
  // Inserts and commits the id; false (nothing changed) when it is there.
  bool insert(std::uint32_t id);
  void erase(std::uint32_t id);  // deletes and commits

 private:
  struct Hooks;
  ControlFile() = default;

  std::string path_;
  std::unique_ptr<OsFile> file_;
  std::unique_ptr<ShareModeLock> share_;
  std::unique_ptr<FileLocks> locks_;
  std::unique_ptr<Hooks> hooks_;
  std::unique_ptr<Container> container_;
};

// The recovery decision (for ContainerHooks::allowRollForward) of the data
// file at dataFilePath: no marker: forward; marker: open its control file
// (waiting out sharing violations) and roll forward only when the id is gone;
// a control file that cannot be opened or read: back.
bool rollForwardAllowed(Container& container, FileSystem& fileSystem, const std::string& dataFilePath);

// A data file taking part in a transaction.
struct TransactionMember {
  Container* container = nullptr;
  FileSystem* fileSystem = nullptr;
  std::string path;              // the data file's path
  FileLocks* locks = nullptr;    // null: the file takes no locks
  std::function<void()> left;    // called when the file leaves the transaction
};

class Transaction {
 public:
  // The process's transaction.
  static Transaction& current();

  // LOGOUT: the files join the transaction (a file already in it, or named
  // twice through two tables of it, is added once). Each takes its writer lock, waiting up to timeoutSeconds
  // (< 0: no limit), so that no other writer commits under its uncommitted
  // changes. 0, or 32 when a writer lock stays busy (nothing joins then).
  int begin(std::vector<TransactionMember> members, int timeoutSeconds);
  bool active() const { return !members_.empty(); }
  bool includes(const Container* container) const;
  // A file leaves without commit or rollback (it closes, or a failed
  // operation dropped its changes); its uncommitted changes are its caller's.
  void leave(const Container* container);

  // COMMIT. The transaction has ended when it returns or throws. Throws
  // InternalError (2183: too many control files) or OsFailure; a failure
  // before the commit point leaves every file as it was before COMMIT, one
  // after it is completed by each file's next writing operation.
  void commit();
  // ROLLBACK: every uncommitted change of every file is dropped.
  void rollback();

 private:
  void end();
  void commitTogether(const std::vector<TransactionMember*>& changed);

  std::vector<TransactionMember> members_;
};

}  // namespace glimra::datafile
