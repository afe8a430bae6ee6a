// SPDX-License-Identifier: GPL-3.0-or-later
// The notice of a wait for another program.
//
// While an operation of this program waits for locks another program holds
// on a collection file (a writer, or readers that keep a commit out), the
// user is told after a second: "Waiting for another program to finish writing
// ‹file›…" with Cancel, in front of every window. When the locks come free
// the notice goes and the operation goes on. Cancel gives the wait up: the
// operation fails with 32 ("File Is Already Locked") having changed nothing,
// and its caller reports it as any failed step (fileErrorMessage says so).
//
// The data-file layer has one lock wait observer per process: a
// LockWaitNotice installs itself as that observer for as long as it lives.
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "runtime/runtime.h"

namespace glimra::program {

inline constexpr const char* LOCK_WAIT_CAPTION = "File In Use";

// The notice's text for the file at `path` (UTF-8).
std::string lockWaitText(const std::string& path);

class LockWaitNotice {
 public:
  explicit LockWaitNotice(runtime::Runtime& runtime);
  ~LockWaitNotice();
  LockWaitNotice(const LockWaitNotice&) = delete;
  LockWaitNotice& operator=(const LockWaitNotice&) = delete;

 private:
  bool goOnWaiting(const std::string& path);
  void waitEnded();

  runtime::Runtime& runtime_;
  std::unique_ptr<runtime::WaitNotice> shown_;
};

}  // namespace glimra::program
