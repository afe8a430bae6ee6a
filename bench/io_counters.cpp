// SPDX-License-Identifier: GPL-3.0-or-later
#include "io_counters.h"

#include <sqlite3.h>

#include <chrono>
#include <cstring>

namespace glimra::bench {
namespace {

class CountingFile final : public datafile::OsFile {
 public:
  CountingFile(std::unique_ptr<datafile::OsFile> inner, IoCounts& counts)
      : inner_(std::move(inner)), counts_(counts) {}
  int readAt(std::uint64_t offset, void* buffer, std::size_t length, std::size_t* got) override {
    return inner_->readAt(offset, buffer, length, got);
  }
  int writeAt(std::uint64_t offset, const void* buffer, std::size_t length) override {
    ++counts_.writes;
    counts_.bytes += length;
    return inner_->writeAt(offset, buffer, length);
  }
  int flush() override {
    ++counts_.flushes;
    const auto start = std::chrono::steady_clock::now();
    const int rc = inner_->flush();
    counts_.flushSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return rc;
  }
  int size(std::uint64_t* bytes) override { return inner_->size(bytes); }
  int truncate(std::uint64_t bytes) override { return inner_->truncate(bytes); }
  int lock(std::uint64_t offset, std::uint64_t length, bool exclusive) override {
    return inner_->lock(offset, length, exclusive);
  }
  int unlock(std::uint64_t offset, std::uint64_t length) override { return inner_->unlock(offset, length); }

 private:
  std::unique_ptr<datafile::OsFile> inner_;
  IoCounts& counts_;
};

// --- SQLite VFS shim ---------------------------------------------------------

IoCounts g_sqlite;
sqlite3_vfs* g_base = nullptr;
sqlite3_vfs g_vfs;

struct ShimFile {
  sqlite3_file base;
  sqlite3_file* real;
};

sqlite3_file* realOf(sqlite3_file* f) { return reinterpret_cast<ShimFile*>(f)->real; }

int xClose(sqlite3_file* f) { return realOf(f)->pMethods->xClose(realOf(f)); }
int xRead(sqlite3_file* f, void* b, int n, sqlite3_int64 o) { return realOf(f)->pMethods->xRead(realOf(f), b, n, o); }
int xWrite(sqlite3_file* f, const void* b, int n, sqlite3_int64 o) {
  ++g_sqlite.writes;
  g_sqlite.bytes += static_cast<std::uint64_t>(n);
  return realOf(f)->pMethods->xWrite(realOf(f), b, n, o);
}
int xTruncate(sqlite3_file* f, sqlite3_int64 s) { return realOf(f)->pMethods->xTruncate(realOf(f), s); }
int xSync(sqlite3_file* f, int flags) {
  ++g_sqlite.flushes;
  return realOf(f)->pMethods->xSync(realOf(f), flags);
}
int xFileSize(sqlite3_file* f, sqlite3_int64* s) { return realOf(f)->pMethods->xFileSize(realOf(f), s); }
int xLock(sqlite3_file* f, int l) { return realOf(f)->pMethods->xLock(realOf(f), l); }
int xUnlock(sqlite3_file* f, int l) { return realOf(f)->pMethods->xUnlock(realOf(f), l); }
int xCheckReservedLock(sqlite3_file* f, int* r) { return realOf(f)->pMethods->xCheckReservedLock(realOf(f), r); }
int xFileControl(sqlite3_file* f, int op, void* a) { return realOf(f)->pMethods->xFileControl(realOf(f), op, a); }
int xSectorSize(sqlite3_file* f) { return realOf(f)->pMethods->xSectorSize(realOf(f)); }
int xDeviceCharacteristics(sqlite3_file* f) { return realOf(f)->pMethods->xDeviceCharacteristics(realOf(f)); }
int xShmMap(sqlite3_file* f, int i, int sz, int e, void volatile** p) {
  return realOf(f)->pMethods->xShmMap(realOf(f), i, sz, e, p);
}
int xShmLock(sqlite3_file* f, int o, int n, int fl) { return realOf(f)->pMethods->xShmLock(realOf(f), o, n, fl); }
void xShmBarrier(sqlite3_file* f) { realOf(f)->pMethods->xShmBarrier(realOf(f)); }
int xShmUnmap(sqlite3_file* f, int d) { return realOf(f)->pMethods->xShmUnmap(realOf(f), d); }
int xFetch(sqlite3_file* f, sqlite3_int64 o, int n, void** p) { return realOf(f)->pMethods->xFetch(realOf(f), o, n, p); }
int xUnfetch(sqlite3_file* f, sqlite3_int64 o, void* p) { return realOf(f)->pMethods->xUnfetch(realOf(f), o, p); }

const sqlite3_io_methods g_methods = {
    3,           xClose,          xRead,       xWrite,   xTruncate,  xSync,    xFileSize,
    xLock,       xUnlock,         xCheckReservedLock,    xFileControl,         xSectorSize,
    xDeviceCharacteristics,       xShmMap,     xShmLock, xShmBarrier, xShmUnmap, xFetch,
    xUnfetch};

int xOpen(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* f, int flags, int* outFlags) {
  auto* shim = reinterpret_cast<ShimFile*>(f);
  shim->real = reinterpret_cast<sqlite3_file*>(shim + 1);
  std::memset(shim->real, 0, static_cast<std::size_t>(g_base->szOsFile));
  shim->base.pMethods = nullptr;
  const int rc = g_base->xOpen(g_base, name, shim->real, flags, outFlags);
  if (shim->real->pMethods) shim->base.pMethods = &g_methods;
  return rc;
}

}  // namespace

std::unique_ptr<datafile::OsFile> CountingFileSystem::open(const std::string& path, bool forWrite,
                                                           bool create, int* error) {
  auto file = inner_.open(path, forWrite, create, error);
  if (!file) return nullptr;
  return std::make_unique<CountingFile>(std::move(file), counts_);
}

const char* registerCountingVfs() {
  if (!g_base) {
    g_base = sqlite3_vfs_find(nullptr);
    g_vfs = *g_base;
    g_vfs.zName = "counting";
    g_vfs.szOsFile = static_cast<int>(sizeof(ShimFile)) + g_base->szOsFile;
    g_vfs.xOpen = xOpen;
    g_vfs.pNext = nullptr;
    sqlite3_vfs_register(&g_vfs, 0);
  }
  return "counting";
}

const IoCounts& sqliteCounts() { return g_sqlite; }

}  // namespace glimra::bench
