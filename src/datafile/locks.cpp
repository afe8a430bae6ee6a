// SPDX-License-Identifier: GPL-3.0-or-later
// Lock bytes of an open data file: requests, the locks of one operation, and
// the application's LOCK, HOLD and record locks.
#include "datafile/locks.h"

#include <cerrno>
#include <exception>
#include <thread>

#include "datafile/container.h"

namespace glimra::datafile {
namespace {

using Clock = std::chrono::steady_clock;

// Captured when the program starts; the first reader slot of each open file
// is taken from the time since then.
const Clock::time_point programStart = Clock::now();

std::uint32_t firstReaderSlot() {
  const auto hundredths = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - programStart).count() / 10;
  return std::uint32_t(hundredths % lock_bytes::kReaderSlots);
}

LockWaitObserver& waitObserver() {
  static LockWaitObserver observer;
  return observer;
}

}  // namespace

void setLockWaitObserver(LockWaitObserver observer) { waitObserver() = std::move(observer); }

FileLocks::Policy FileLocks::policyOf(OpenMode mode) {
  switch (mode.share()) {
    case 0x00:
    case 0x40:
      return Policy::ReadersAndWriter;
    case 0x20:
      return Policy::WriterOnly;
    default:
      return Policy::None;
  }
}

FileLocks::FileLocks(OsFile& file, OpenMode mode, std::string path)
    : file_(file), path_(std::move(path)), policy_(policyOf(mode)), exclusive_(mode.writes()), slot_(firstReaderSlot()) {}

FileLocks::~FileLocks() {
  // Closing the file would drop the locks too; releasing them here keeps a
  // file that stays open (a container reused by a caller) clean.
  try {
    if (readerDepth_ > 0) file_.unlock(lock_bytes::kBase + slot_, 1);
    if (allReadersDepth_ > 0) file_.unlock(lock_bytes::kBase, lock_bytes::kReaderSlots);
    if (writerDepth_ > 0) file_.unlock(lock_bytes::kWriter, 1);
    for (const auto& [number, holders] : numbers_) file_.unlock(lock_bytes::ofNumber(number), 1);
  } catch (...) {
  }
}

// One OS request, repeated at once while busy when the caller waits.
bool FileLocks::request(std::uint64_t offset, std::uint64_t length, bool wait) {
  for (;;) {
    int error = file_.lock(offset, length, exclusive_);
    if (error == EBADF && exclusive_) {
      // The descriptor turned out to be read-only: shared locks from now on.
      exclusive_ = false;
      error = file_.lock(offset, length, false);
    }
    if (error == 0) return true;
    if (error != EAGAIN) throw OsFailure{error};
    if (!wait) return false;
    std::this_thread::yield();
  }
}

bool FileLocks::takeReaderSlot(bool wait) {
  for (;;) {
    if (request(lock_bytes::kBase + slot_, 1, false)) return true;
    slot_ = (slot_ + 1) % lock_bytes::kReaderSlots;
    if (!wait) return false;
    std::this_thread::yield();
  }
}

bool FileLocks::retainNumber(std::uint32_t number, bool wait) {
  auto it = numbers_.find(number);
  if (it != numbers_.end()) {
    ++it->second;
    return true;
  }
  if (!request(lock_bytes::ofNumber(number), 1, wait)) return false;
  numbers_[number] = 1;
  return true;
}

void FileLocks::releaseNumber(std::uint32_t number) {
  auto it = numbers_.find(number);
  if (it == numbers_.end()) return;
  if (--it->second > 0) return;
  numbers_.erase(it);
  file_.unlock(lock_bytes::ofNumber(number), 1);
}

bool FileLocks::take(unsigned kinds, std::uint32_t number, bool wait) {
  if (kinds & kNumberByte) {
    if (kinds & (kReaderSlot | kAllReaders)) throw InternalError{kNumberLockWithReaderLock};
    if (kinds & kWriterByte) throw InternalError{kNumberLockWithWriterLock};
    return retainNumber(number, wait);
  }
  // Writer before readers, so that a committer never holds the reader range
  // while it waits for the writer byte. A request that is refused or fails
  // gives back what this call took: a caller whose take() did not succeed
  // never releases, so nothing may stay counted.
  unsigned taken = 0;
  try {
    if (kinds & kWriterByte) {
      if (writerDepth_ == 0 && !request(lock_bytes::kWriter, 1, wait)) return false;
      ++writerDepth_;
      taken |= kWriterByte;
    }
    if (kinds & kAllReaders) {
      if (allReadersDepth_ == 0 && !request(lock_bytes::kBase, lock_bytes::kReaderSlots, wait)) {
        release(taken, 0);
        return false;
      }
      ++allReadersDepth_;
      taken |= kAllReaders;
    }
    if (kinds & kReaderSlot) {
      if (readerDepth_ == 0 && allReadersDepth_ == 0 && !takeReaderSlot(wait)) {
        release(taken, 0);
        return false;
      }
      ++readerDepth_;
    }
  } catch (...) {
    try {
      release(taken, 0);
    } catch (...) {
      // The OS failure that got here is the one to report.
    }
    throw;
  }
  return true;
}

void FileLocks::release(unsigned kinds, std::uint32_t number) {
  if (kinds & kNumberByte) {
    releaseNumber(number);
    return;
  }
  if ((kinds & kReaderSlot) && readerDepth_ > 0 && --readerDepth_ == 0 && allReadersDepth_ == 0)
    file_.unlock(lock_bytes::kBase + slot_, 1);
  std::exception_ptr slotFailure;
  if ((kinds & kAllReaders) && allReadersDepth_ > 0 && --allReadersDepth_ == 0) {
    file_.unlock(lock_bytes::kBase, lock_bytes::kReaderSlots);
    // The range covered our own slot too; keep it if it is still in use
    // (before the writer byte goes, so no commit slips in between). Should
    // that fail, the writer byte is still given back.
    if (readerDepth_ > 0) {
      try {
        takeReaderSlot(true);
      } catch (...) {
        slotFailure = std::current_exception();
      }
    }
  }
  if ((kinds & kWriterByte) && writerDepth_ > 0 && --writerDepth_ == 0) file_.unlock(lock_bytes::kWriter, 1);
  if (slotFailure) std::rethrow_exception(slotFailure);
}

FileLocks::Guard& FileLocks::Guard::operator=(Guard&& other) noexcept {
  if (this != &other) {
    reset();
    owner_ = other.owner_;
    kinds_ = other.kinds_;
    other.owner_ = nullptr;
  }
  return *this;
}

void FileLocks::Guard::reset() {
  if (!owner_) return;
  FileLocks* owner = owner_;
  owner_ = nullptr;
  try {
    owner->release(kinds_, 0);
  } catch (...) {
  }
}

FileLocks::Guard FileLocks::forOperation(bool writes, bool* gaveUp) {
  unsigned kinds = 0;
  if (policy_ == Policy::ReadersAndWriter) kinds = writes ? kWriterByte : kReaderSlot;
  if (policy_ == Policy::WriterOnly && writes) kinds = kWriterByte;
  if (kinds == 0) return Guard();
  // Retried at once while busy; the observer hears of a wait once a second.
  const Clock::time_point start = Clock::now();
  Clock::time_point nextWord = start + std::chrono::seconds(1);
  while (!take(kinds, 0, false)) {
    const Clock::time_point now = Clock::now();
    if (now >= nextWord) {
      nextWord += std::chrono::seconds(1);
      const LockWaitObserver& observer = waitObserver();
      const bool goOn = !observer || observer(path_, std::chrono::duration_cast<std::chrono::seconds>(now - start));
      if (!goOn && gaveUp) {  // a caller that cannot give up waits on
        *gaveUp = true;
        return Guard();
      }
    }
    std::this_thread::yield();
  }
  return Guard(this, kinds);
}

// Deny write keeps other writers out, but readers that share the file still
// read while it commits; they are kept out of the commit just as in deny none.
void FileLocks::lockForCommit() {
  if (policy_ == Policy::None) return;
  take(kWriterByte | kAllReaders, 0, true);
}

void FileLocks::unlockAfterCommit() {
  if (policy_ == Policy::None) return;
  release(kWriterByte | kAllReaders, 0);
}

bool FileLocks::takeWriterUntil(std::optional<Clock::time_point> deadline) {
  if (policy_ == Policy::None) {
    ++writerDepth_;  // counted only, so that releaseWriter() pairs with it
    return true;
  }
  for (;;) {
    if (take(kWriterByte, 0, false)) return true;
    if (deadline && Clock::now() >= *deadline) return false;
    std::this_thread::yield();
  }
}

void FileLocks::releaseWriter() {
  if (policy_ == Policy::None) {
    if (writerDepth_ > 0) --writerDepth_;
    return;
  }
  release(kWriterByte, 0);
}

int FileLocks::lockTable(std::uint32_t table) {
  if (tables_.count(table)) return 0;
  if (!take(kNumberByte, table, false)) return 32;
  tables_.insert(table);
  return 0;
}

void FileLocks::unlockTable(std::uint32_t table) {
  if (tables_.erase(table)) release(kNumberByte, table);
}

void FileLocks::armHold(int seconds) {
  holdArmed_ = true;
  holdSeconds_ = seconds;
}

int FileLocks::recordRead(std::uint32_t record) {
  if (!holdArmed_) return 0;
  if (held_ == record) {
    holdArmed_ = false;
    return 0;
  }
  if (!take(kNumberByte, record, false)) return 43;
  if (held_) release(kNumberByte, *held_);
  held_ = record;
  holdArmed_ = false;
  return 0;
}

bool FileLocks::mayRepeatHeldStep(Clock::time_point stepStart) const {
  if (!holdArmed_) return false;
  if (holdSeconds_ < 0) return true;
  return Clock::now() - stepStart < std::chrono::seconds(holdSeconds_);
}

void FileLocks::releaseHold() {
  holdArmed_ = false;
  if (held_) release(kNumberByte, *held_);
  held_.reset();
}

int FileLocks::lockRecord(std::uint32_t record) { return take(kNumberByte, record, false) ? 0 : 5; }

void FileLocks::unlockRecord(std::uint32_t record) { release(kNumberByte, record); }

}  // namespace glimra::datafile
