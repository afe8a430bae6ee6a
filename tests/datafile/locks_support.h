// SPDX-License-Identifier: GPL-3.0-or-later
// Helpers of the lock and share-mode tests: real files opened through the
// POSIX file system (whose locks belong to each open, so two opens in one
// process exclude each other as two processes do), a file that tells when a
// lock request first meets a busy lock, and child processes that report
// through a pipe.
#pragma once

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "datafile/os_file.h"
#include "temp_dir.h"

namespace glimra::datafile::testing {

inline std::unique_ptr<OsFile> openReal(const std::string& path, bool forWrite, bool create = false) {
  int error = 0;
  auto file = posixFileSystem().open(path, forWrite, create, &error);
  EXPECT_TRUE(file) << path << ": " << osErrorText(error);
  return file;
}

// A file that passes everything on to another and tells when one of its
// lock requests first meets a lock held elsewhere: the moment a taker starts
// to wait, without guessing it from the time.
class BusyReportingFile final : public OsFile {
 public:
  BusyReportingFile(OsFile& file, std::function<void()> onFirstBusy)
      : file_(file), onFirstBusy_(std::move(onFirstBusy)) {}
  int readAt(std::uint64_t offset, void* buffer, std::size_t length, std::size_t* got) override {
    return file_.readAt(offset, buffer, length, got);
  }
  int writeAt(std::uint64_t offset, const void* buffer, std::size_t length) override {
    return file_.writeAt(offset, buffer, length);
  }
  int flush() override { return file_.flush(); }
  int size(std::uint64_t* bytes) override { return file_.size(bytes); }
  int truncate(std::uint64_t bytes) override { return file_.truncate(bytes); }
  int lock(std::uint64_t offset, std::uint64_t length, bool exclusive) override {
    const int error = file_.lock(offset, length, exclusive);
    if (error == EAGAIN && onFirstBusy_) std::exchange(onFirstBusy_, nullptr)();
    return error;
  }
  int unlock(std::uint64_t offset, std::uint64_t length) override { return file_.unlock(offset, length); }

 private:
  OsFile& file_;
  std::function<void()> onFirstBusy_;
};

// A pipe for one-byte messages between processes.
class Pipe {
 public:
  Pipe() {
    if (::pipe(ends_) != 0) ADD_FAILURE() << "pipe";
  }
  ~Pipe() {
    ::close(ends_[0]);
    ::close(ends_[1]);
  }
  void send(char c) const { (void)!::write(ends_[1], &c, 1); }
  // The next byte, or 0 when none arrives within timeoutMs.
  char receive(int timeoutMs = 60000) const {
    pollfd p{ends_[0], POLLIN, 0};
    if (::poll(&p, 1, timeoutMs) <= 0) return 0;
    char c = 0;
    return ::read(ends_[0], &c, 1) == 1 ? c : 0;
  }

 private:
  int ends_[2] = {-1, -1};
};

// Runs body in a forked child; its return value is the child's exit status.
// The child never returns into the test framework.
class Child {
 public:
  explicit Child(const std::function<int()>& body) {
    pid_ = ::fork();
    if (pid_ == 0) {
      int status = 99;
      try {
        status = body();
      } catch (...) {
      }
      std::_Exit(status);
    }
  }
  ~Child() {
    if (pid_ > 0 && !reaped_) {
      ::kill(pid_, SIGKILL);
      wait();
    }
  }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  bool started() const { return pid_ > 0; }
  void kill() const { ::kill(pid_, SIGKILL); }
  // The exit status (-1 when the child died of a signal).
  int wait() {
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    reaped_ = true;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  pid_t pid_ = -1;
  bool reaped_ = false;
};

}  // namespace glimra::datafile::testing
