// SPDX-License-Identifier: GPL-3.0-or-later
// Driver options sent to an open file as text (SEND), and DriverHooks: the
// hooks object through which one open file's options, locks, share mode,
// cipher and transaction recovery plug into the record layer and container.
//
// Options (names and the value "ON" compared without regard to case; blanks
// around names and values ignored):
//   "TCF"              the program-wide control file's name ("" = default)
//   "TCF=name"         sets it for all files; an empty name restores the default
//   "FULLBUILD"        "ON" or "OFF" (this open file's setting, off at open)
//   "FULLBUILD=value"  "ON" turns full building on, any other value off
//   "FLAGS"            the table's 32-bit FLAGS value as decimal text
//   "FLAGS=n"          sets it (a decimal number; other text changes nothing)
//   "PNM=name"         the table's name as stored, when the file holds it
//   "REGISTER"         the driver's registration reference, decimal
//   anything else      ignored, "" (among them "Recover=10", "QUICKSCAN=on")
//
// DriverHooks invariants: attach() (or join()) comes right after the OS file
// is opened and detach() before it is closed; between them the share mode is
// held and each operation holds the locks its share mode calls for until it
// ends. A DriverFile outlives every DriverHooks attached to it or joined.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "datafile/cipher.h"
#include "datafile/file_hooks.h"
#include "datafile/locks.h"
#include "datafile/os_file.h"
#include "datafile/share_modes.h"

namespace glimra::datafile {

// What the options need of the open table; the record layer implements it.
// The calls must not throw (the record layer runs them as guarded operations).
class TableOptionAccess {
 public:
  virtual ~TableOptionAccess() = default;
  // The second u32 of the data's counter record.
  virtual std::uint32_t flagsValue() = 0;
  virtual void setFlagsValue(std::uint32_t value) = 0;
  // The stored name of the table called name (any case), if the file holds it.
  virtual std::optional<std::string> storedTableName(std::string_view name) = 0;
};

class DriverOptions {
 public:
  // The option's result ("" for options that set something or are unknown).
  // table may be null: FLAGS and PNM then give "".
  std::string send(std::string_view text, TableOptionAccess* table);
  bool fullBuild() const { return fullBuild_; }

 private:
  bool fullBuild_ = false;
};

// The driver's registration reference, as "REGISTER" returns it.
std::string registrationReference();

// The driver's side of one OS file that this process has open: the share
// mode held on it, its locks, its cipher and the recovery decision of its
// container. Every table of the file that the process opens through the
// driver works through one such object (its container's hooks), so the
// tables share one set of locks and never refuse one another, while other
// processes still meet the share mode it holds.
class DriverFile final : public ContainerHooks {
 public:
  DriverFile(OsFile& file, OpenMode mode, FileSystem& fileSystem, std::string dataFilePath,
             std::optional<FileCipher> cipher);
  ~DriverFile() override;
  // Takes the share mode: 0, or 5 when another open's share mode refuses
  // this one (an OS failure gives its error code). The locks exist after it.
  int acquire();

  FileLocks* locks() { return locks_.get(); }
  OpenMode mode() const { return mode_; }
  bool deniesWrite() const { return share_.deniesWrite(); }

  // ContainerHooks
  void lockReadersForCommit() override;
  void unlockReadersAfterCommit() override;
  bool allowRollForward(Container& container) override;
  void encipher(std::uint8_t* buffer, std::size_t length) override;
  void decipher(std::uint8_t* buffer, std::size_t length) override;

 private:
  OsFile& file_;
  OpenMode mode_;
  FileSystem& fileSystem_;
  std::string dataFilePath_;
  std::optional<FileCipher> cipher_;
  ShareModeLock share_;
  std::unique_ptr<FileLocks> locks_;  // released before the share mode
};

class DriverHooks final : public FileHooks {
 public:
  // An empty password: the file is not enciphered.
  explicit DriverHooks(std::string_view ownerPassword = {});
  ~DriverHooks() override;

  // At OPEN, right after the OS file is opened: takes the share mode.
  // 0, or 5 when another open's share mode refuses this one.
  int attach(OsFile& file, OpenMode mode, FileSystem& fileSystem, std::string dataFilePath,
             TableOptionAccess* table = nullptr);
  // At OPEN of a further table of a file this process has open: works
  // through that open's share mode, locks and cipher instead of its own.
  void join(std::shared_ptr<DriverFile> file, TableOptionAccess* table = nullptr);
  // At CLOSE (and when OPEN fails after attach), before the OS file closes:
  // lets go of the file (its share mode goes with the last table of it).
  void detach();

  // The file attached or joined (null while detached).
  const std::shared_ptr<DriverFile>& file() const { return file_; }
  FileLocks* locks() { return file_ ? file_->locks() : nullptr; }  // null while detached
  DriverOptions& options() { return options_; }
  bool enciphered() const { return cipher_.has_value(); }

  // FileHooks
  int beginOperation(DataFile&, bool writes) override;
  void endOperation(DataFile&, bool writes) override;
  int lockRecord(DataFile&, std::uint32_t recordNumber) override;
  void unlockRecord(DataFile&, std::uint32_t recordNumber) override;
  int recordRead(DataFile&, std::uint32_t recordNumber) override;
  bool othersMayWrite(const DataFile&) const override;
  std::optional<std::string> option(DataFile&, std::string_view text) override;

  // ContainerHooks: those of the file while attached.
  void lockReadersForCommit() override;
  void unlockReadersAfterCommit() override;
  bool allowRollForward(Container& container) override;
  void encipher(std::uint8_t* buffer, std::size_t length) override;
  void decipher(std::uint8_t* buffer, std::size_t length) override;

 private:
  std::optional<FileCipher> cipher_;
  DriverOptions options_;
  TableOptionAccess* table_ = nullptr;
  std::shared_ptr<DriverFile> file_;
  std::vector<FileLocks::Guard> operations_;
};

}  // namespace glimra::datafile
