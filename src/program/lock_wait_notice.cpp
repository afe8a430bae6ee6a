// SPDX-License-Identifier: GPL-3.0-or-later
#include "program/lock_wait_notice.h"

#include "datafile/locks.h"

namespace glimra::program {

std::string lockWaitText(const std::string& path) {
  return "Waiting for another program to finish writing " + path + "\u2026";
}

LockWaitNotice::LockWaitNotice(runtime::Runtime& runtime) : runtime_(runtime) {
  datafile::setLockWaitObserver([this](const std::string& path, std::chrono::seconds) { return goOnWaiting(path); },
                                [this](const std::string&) { waitEnded(); });
}

LockWaitNotice::~LockWaitNotice() { datafile::setLockWaitObserver({}); }

bool LockWaitNotice::goOnWaiting(const std::string& path) {
  if (!shown_) shown_ = runtime_.showWaitNotice(lockWaitText(path), LOCK_WAIT_CAPTION);
  return !shown_->cancelled();
}

void LockWaitNotice::waitEnded() { shown_.reset(); }

}  // namespace glimra::program
