// SPDX-License-Identifier: GPL-3.0-or-later
// Counting what each engine writes: a FileSystem wrapper for the storage
// engine and a VFS shim for SQLite, both counting write calls, bytes written
// and flushes (fsync/fdatasync requests). The storage engine's file system
// also times its flushes, so that a commit's own work (encoding, placement,
// counters, the write calls) shows beside the time the disk takes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "datafile/os_file.h"

namespace glimra::bench {

struct IoCounts {
  std::uint64_t writes = 0;
  std::uint64_t bytes = 0;
  std::uint64_t flushes = 0;
  double flushSeconds = 0;  // wall time spent inside flushes (the engine's side only)
  IoCounts operator-(const IoCounts& o) const {
    return {writes - o.writes, bytes - o.bytes, flushes - o.flushes, flushSeconds - o.flushSeconds};
  }
};

// Every file opened through it counts into counts(); the work is done by the
// real file system.
class CountingFileSystem final : public datafile::FileSystem {
 public:
  explicit CountingFileSystem(datafile::FileSystem& inner) : inner_(inner) {}
  std::unique_ptr<datafile::OsFile> open(const std::string& path, bool forWrite, bool create,
                                         int* error) override;
  bool exists(const std::string& path) override { return inner_.exists(path); }
  int remove(const std::string& path) override { return inner_.remove(path); }
  int copy(const std::string& from, const std::string& to) override { return inner_.copy(from, to); }
  int rename(const std::string& from, const std::string& to) override { return inner_.rename(from, to); }
  int flushFolderOf(const std::string& path) override { return inner_.flushFolderOf(path); }
  const IoCounts& counts() const { return counts_; }

 private:
  datafile::FileSystem& inner_;
  IoCounts counts_;
};

// Registers the SQLite VFS "counting" (delegating to the default VFS) once;
// the counts cover every file SQLite opens through it (database, journal, WAL).
// A directory sync done inside the default VFS's sync is not seen.
const char* registerCountingVfs();
const IoCounts& sqliteCounts();

}  // namespace glimra::bench
