// SPDX-License-Identifier: GPL-3.0-or-later
// The OS layer on POSIX: positioned reads and writes, fsync, and byte-range
// locks on the open file description (F_OFD_SETLK), so that two opens of the
// same file in one process exclude each other just as two processes do.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "datafile/os_file.h"

namespace glimra::datafile {
namespace {

class PosixFile final : public OsFile {
 public:
  explicit PosixFile(int fd) : fd_(fd) {}
  ~PosixFile() override { ::close(fd_); }

  int readAt(std::uint64_t offset, void* buffer, std::size_t length, std::size_t* got) override {
    std::size_t done = 0;
    auto* out = static_cast<std::uint8_t*>(buffer);
    while (done < length) {
      const ssize_t n = ::pread(fd_, out + done, length - done, off_t(offset + done));
      if (n < 0) {
        if (errno == EINTR) continue;
        *got = done;
        return errno;
      }
      if (n == 0) break;  // end of file
      done += std::size_t(n);
    }
    *got = done;
    return 0;
  }

  int writeAt(std::uint64_t offset, const void* buffer, std::size_t length) override {
    std::size_t done = 0;
    const auto* in = static_cast<const std::uint8_t*>(buffer);
    while (done < length) {
      const ssize_t n = ::pwrite(fd_, in + done, length - done, off_t(offset + done));
      if (n < 0) {
        if (errno == EINTR) continue;
        return errno;
      }
      if (n == 0) return EIO;  // a write that makes no progress counts as a short write
      done += std::size_t(n);
    }
    return 0;
  }

  int flush() override { return ::fsync(fd_) == 0 ? 0 : errno; }

  void startWritingBack(std::uint64_t offset, std::uint64_t length) override {
    ::sync_file_range(fd_, off_t(offset), off_t(length), SYNC_FILE_RANGE_WRITE);
  }

  int size(std::uint64_t* bytes) override {
    struct stat st {};
    if (::fstat(fd_, &st) != 0) return errno;
    *bytes = std::uint64_t(st.st_size);
    return 0;
  }

  int truncate(std::uint64_t bytes) override { return ::ftruncate(fd_, off_t(bytes)) == 0 ? 0 : errno; }

  int lock(std::uint64_t offset, std::uint64_t length, bool exclusive) override {
    return setLock(exclusive ? F_WRLCK : F_RDLCK, offset, length);
  }
  int unlock(std::uint64_t offset, std::uint64_t length) override { return setLock(F_UNLCK, offset, length); }

 private:
  int setLock(short type, std::uint64_t offset, std::uint64_t length) {
    struct flock request {};
    request.l_type = type;
    request.l_whence = SEEK_SET;
    request.l_start = off_t(offset);
    request.l_len = off_t(length);
    request.l_pid = 0;
    if (::fcntl(fd_, F_OFD_SETLK, &request) == 0) return 0;
    return (errno == EACCES) ? EAGAIN : errno;
  }

  int fd_;
};

// Opens path as a data file: a regular file only. The open does not wait (a
// pipe without a writer would block it for ever); a folder gives EISDIR, any
// other kind of file NOT_A_REGULAR_FILE.
std::unique_ptr<OsFile> openRegular(const std::string& path, int flags, int* error) {
  const int fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NONBLOCK, 0666);
  if (fd < 0) {
    if (error) *error = errno;
    return nullptr;
  }
  struct stat st {};
  int refused = ::fstat(fd, &st) != 0 ? errno : 0;
  if (!refused && S_ISDIR(st.st_mode)) refused = EISDIR;
  if (!refused && !S_ISREG(st.st_mode)) refused = NOT_A_REGULAR_FILE;
  if (!refused && ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) refused = errno;
  if (refused) {
    ::close(fd);
    if (error) *error = refused;
    return nullptr;
  }
  if (error) *error = 0;
  return std::make_unique<PosixFile>(fd);
}

class PosixFileSystem final : public FileSystem {
 public:
  std::unique_ptr<OsFile> open(const std::string& path, bool forWrite, bool create, int* error) override {
    int flags = (forWrite || create) ? O_RDWR : O_RDONLY;
    if (create) flags |= O_CREAT | O_TRUNC;
    return openRegular(path, flags, error);
  }

  std::unique_ptr<OsFile> openOrCreate(const std::string& path, int* error) override {
    return openRegular(path, O_RDWR | O_CREAT, error);
  }

  int rename(const std::string& from, const std::string& to) override {
    return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
  }

  int flushFolderOf(const std::string& path) override {
    const std::size_t slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return errno;
    const int error = ::fsync(fd) == 0 ? 0 : errno;
    ::close(fd);
    return error;
  }

  int makeFolder(const std::string& path) override {
    if (::mkdir(path.c_str(), 0777) == 0) return 0;
    const int error = errno;
    if (error != EEXIST) return error;
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
  }

  bool exists(const std::string& path) override {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
  }

  int remove(const std::string& path) override { return ::unlink(path.c_str()) == 0 ? 0 : errno; }

  int copy(const std::string& from, const std::string& to) override {
    int error = 0;
    auto source = open(from, false, false, &error);
    if (!source) return error;
    auto target = open(to, true, true, &error);
    if (!target) return error;
    std::uint8_t buffer[65536];
    std::uint64_t offset = 0;
    for (;;) {
      std::size_t got = 0;
      if (int e = source->readAt(offset, buffer, sizeof buffer, &got)) return e;
      if (got == 0) break;
      if (int e = target->writeAt(offset, buffer, got)) return e;
      offset += got;
    }
    return target->flush();
  }
};

}  // namespace

FileSystem& posixFileSystem() {
  static PosixFileSystem fileSystem;
  return fileSystem;
}

std::string osErrorText(int code) {
  if (code == NOT_A_REGULAR_FILE) return "Not a regular file (a pipe, device or socket)";
  return std::strerror(code);
}

}  // namespace glimra::datafile
