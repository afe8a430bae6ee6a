// SPDX-License-Identifier: GPL-3.0-or-later
// A fault-injecting, in-memory FileSystem for tests.
//
// Files live in memory. Each file keeps what a running program sees (every
// write applied) apart from what has reached the disk: the state at its last
// flush plus the writes issued since. The plan can fail or shorten the Nth
// write, fail the Nth flush, give a full disk, or cut the power after the Nth
// step (writes, truncations, flushes, renames and folder flushes counted
// together, across all files): from then on nothing reaches the disk, while
// the program keeps running on its own view. reboot() then replaces every file
// by what the disk holds, with the unflushed writes kept, dropped, or torn at
// 512-byte sectors; a rename whose folder was not flushed is undone unless
// unflushed work is kept. Files are sparse: bytes never written cost no
// memory, so a test can work at the far end of a 4 GiB file (contents() of
// such a file would not fit, size() does).
#pragma once

#include <cstdint>
#include <limits>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "datafile/os_file.h"

namespace glimra::datafile {

struct FaultPlan {
  static constexpr std::uint64_t kNever = std::numeric_limits<std::uint64_t>::max();
  std::uint64_t failWrite = kNever;   // this write (1-based) fails with EIO, writing nothing
  std::uint64_t shortWrite = kNever;  // this write stores only its first half and returns 5
  std::uint64_t failFlush = kNever;   // this flush fails with EIO
  std::uint64_t capacity = kNever;    // a write reaching past this many bytes fails with ENOSPC
  std::uint64_t crashAfter = kNever;  // steps after this one never reach the disk
};

// What happens at a reboot to the writes issued since a file's last flush.
enum class UnflushedWrites { Kept, Dropped, TornAtSectors };

class FaultFileSystem final : public FileSystem {
 public:
  FaultFileSystem();
  ~FaultFileSystem() override;

  std::unique_ptr<OsFile> open(const std::string& path, bool forWrite, bool create, int* error) override;
  std::unique_ptr<OsFile> openOrCreate(const std::string& path, int* error) override;
  bool exists(const std::string& path) override;
  int remove(const std::string& path) override;
  int copy(const std::string& from, const std::string& to) override;
  int rename(const std::string& from, const std::string& to) override;
  int flushFolderOf(const std::string& path) override;

  FaultPlan plan;
  std::uint64_t writes() const { return writes_; }
  std::uint64_t flushes() const { return flushes_; }
  std::uint64_t steps() const { return steps_; }
  bool crashed() const { return steps_ > plan.crashAfter; }
  void resetCounters() { writes_ = flushes_ = steps_ = 0; }

  // The bytes a program sees now, and a way to plant a file.
  std::vector<std::uint8_t> contents(const std::string& path) const;
  void setContents(const std::string& path, const std::vector<std::uint8_t>& bytes);

  // Power comes back: every file becomes what its disk holds (seed chooses the
  // surviving sectors for TornAtSectors); the plan and counters are cleared.
  void reboot(UnflushedWrites unflushed, std::uint32_t seed = 1);

  // The bytes of a file on the disk as the program sees them (a file that
  // does not exist has 0).
  std::uint64_t size(const std::string& path) const;

  class SparseBytes;
  struct Disk;
  class File;

 private:
  friend class File;
  std::map<std::string, std::shared_ptr<Disk>> files_;
  // Renames since the folder was last flushed: undone at a reboot.
  struct Rename {
    std::string from, to;
    std::shared_ptr<Disk> moved, replaced;  // replaced: null when to was new
    bool lost;                              // issued after the power went
  };
  std::vector<Rename> renames_;
  std::uint64_t writes_ = 0, flushes_ = 0, steps_ = 0;
  std::uint64_t nextOwner_ = 1;
};

}  // namespace glimra::datafile
