// SPDX-License-Identifier: GPL-3.0-or-later
// The OS layer: one small interface for every file operation the engine needs,
// a POSIX implementation, and (in fault_file.h) a fault-injecting one for tests.
#pragma once

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace glimra::datafile {

// Access and share bits as the open modes of the data-file layer number them:
// access 0 read, 1 write, 2 read/write; share 0x00 compatibility, 0x10 deny all,
// 0x20 deny write, 0x30 deny read, 0x40 deny none. The collection uses 0x22.
struct OpenMode {
  unsigned value = 0x22;
  bool writes() const { return (value & 0x0F) != 0; }
  unsigned share() const { return value & 0xF0; }
};

// The open modes the program uses by name.
inline constexpr OpenMode READ_WRITE_DENY_WRITE{0x22};  // the collection file while the program works on it
inline constexpr OpenMode READ_ONLY_DENY_NONE{0x40};    // a reader beside a program that writes

class OsFile {
 public:
  virtual ~OsFile() = default;
  // Each returns 0 or an OS error code (errno).
  virtual int readAt(std::uint64_t offset, void* buffer, std::size_t length, std::size_t* got) = 0;
  virtual int writeAt(std::uint64_t offset, const void* buffer, std::size_t length) = 0;
  virtual int flush() = 0;
  // Asks the OS to start writing a range to the disk now, without waiting,
  // so that a later flush has less left to wait for. Only a hint: it makes
  // nothing durable and its failure changes nothing.
  virtual void startWritingBack(std::uint64_t /*offset*/, std::uint64_t /*length*/) {}
  virtual int size(std::uint64_t* bytes) = 0;
  virtual int truncate(std::uint64_t bytes) = 0;
  // Byte-range locks (shared or exclusive) at any 64-bit offset, without
  // waiting: a lock held by another open file gives EAGAIN.
  virtual int lock(std::uint64_t offset, std::uint64_t length, bool exclusive) = 0;
  virtual int unlock(std::uint64_t offset, std::uint64_t length) = 0;
};

// Where files come from: the real file system or a test's fault-injecting disk.
class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // create: replace any existing file by an empty one. Returns null and sets
  // *error (errno) on failure.
  virtual std::unique_ptr<OsFile> open(const std::string& path, bool forWrite, bool create, int* error) = 0;
  // Opens the file for writing, creating an empty one only when none exists:
  // an existing file is never truncated, even when another process creates it
  // at the same moment. The fallback (exists, then open) is not atomic; the
  // real and the test file systems do it in one step.
  virtual std::unique_ptr<OsFile> openOrCreate(const std::string& path, int* error) {
    return open(path, true, !exists(path), error);
  }
  virtual bool exists(const std::string& path) = 0;
  virtual int remove(const std::string& path) = 0;
  virtual int copy(const std::string& from, const std::string& to) = 0;
  // Gives the file at from the name to, replacing any file of that name in
  // one step: either name shows the old or the new file, never a mixture.
  virtual int rename(const std::string& from, const std::string& to) = 0;
  // Makes the names in path's folder durable (after a rename or a create).
  virtual int flushFolderOf(const std::string& path) = 0;
  // Makes the folder at path when it is not there (its parent must be); 0
  // when it is there afterwards. File systems without folders (the test
  // disks, whose paths are plain names) have nothing to make.
  virtual int makeFolder(const std::string& path) {
    (void)path;
    return 0;
  }
};

// The error of an open that found something other than a file or a folder
// (a pipe, device or socket); osErrorText names it.
constexpr int NOT_A_REGULAR_FILE = ENODEV;

// The real file system (pread/pwrite/fsync, open-file-description locks).
FileSystem& posixFileSystem();

// The operating system's text for an error code.
std::string osErrorText(int code);

}  // namespace glimra::datafile
