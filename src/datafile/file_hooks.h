// SPDX-License-Identifier: GPL-3.0-or-later
// FileHooks: where locking, transactions across files, the cipher and the
// driver options plug into an open data file. This base takes no locks, never
// refuses, and knows no options; a DataFile runs under the driver's
// implementation (DriverHooks, options.h) unless its caller sets other hooks.
//
// A DataFile calls these around every operation; it also hands the object to
// its container, whose hooks (reader lock around a commit, the recovery
// decision, the cipher) come from the ContainerHooks base.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "datafile/container.h"

namespace glimra::datafile {

class DataFile;

class FileHooks : public ContainerHooks {
 public:
  // The file was opened (its container read) / is about to close: where
  // share-mode locks are taken and released. A non-zero result (such as 5)
  // makes OPEN fail with that code.
  virtual int opened(DataFile&) { return 0; }
  virtual void closing(DataFile&) {}
  // Around each operation on an open file (reading or writing). A non-zero
  // result (an error code such as 5 or 32) refuses the operation; endOperation
  // is then not called.
  virtual int beginOperation(DataFile&, bool /*writes*/) { return 0; }
  virtual void endOperation(DataFile&, bool /*writes*/) {}
  // PUT and DELETE lock the record they change: 0, or 5 when another process
  // holds it. unlockRecord follows a successful lockRecord.
  virtual int lockRecord(DataFile&, std::uint32_t /*recordNumber*/) { return 0; }
  virtual void unlockRecord(DataFile&, std::uint32_t /*recordNumber*/) {}
  // A record was read (GET, NEXT, PREVIOUS): a hold takes its lock here
  // (0, or 43 when another process holds it).
  virtual int recordRead(DataFile&, std::uint32_t /*recordNumber*/) { return 0; }
  // Whether another open of the file may write to it while this one is open
  // (false when the share mode keeps every other writer out).
  virtual bool othersMayWrite(const DataFile&) const { return true; }
  // A driver option the record layer does not know; nullopt when unknown.
  virtual std::optional<std::string> option(DataFile&, std::string_view /*text*/) { return std::nullopt; }
};

}  // namespace glimra::datafile
