// SPDX-License-Identifier: GPL-3.0-or-later
// Share modes kept with lock bytes: an open takes its own bytes, then probes
// the bytes of the opens it would conflict with.
#include "datafile/share_modes.h"

#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

#include "datafile/container.h"

namespace glimra::datafile {
namespace {

using Clock = std::chrono::steady_clock;

// How long a probe is repeated before a held byte counts as held for good:
// long enough to outlast another open's probe, short enough for a user.
constexpr auto kProbePatience = std::chrono::milliseconds(200);

template <class Attempt>
bool persist(Attempt attempt) {
  const auto until = Clock::now() + kProbePatience;
  for (;;) {
    if (attempt()) return true;
    if (Clock::now() >= until) return false;
    std::this_thread::yield();
  }
}

}  // namespace

ShareModeLock::ShareModeLock(OsFile& file, OpenMode mode) : file_(file), mode_(mode) {}

bool ShareModeLock::writes() const { return mode_.writes(); }

bool ShareModeLock::deniesWrite() const {
  const unsigned share = mode_.share();
  return share == 0x10 || share == 0x20 || share == 0x30;
}

bool ShareModeLock::deniesRead() const {
  const unsigned share = mode_.share();
  return share == 0x10 || share == 0x30;
}

int ShareModeLock::acquire() {
  if (held_) return 0;
  auto tryLock = [&](std::uint64_t at, std::uint64_t length, bool exclusive) {
    const int error = file_.lock(at, length, exclusive);
    if (error == 0) return true;
    if (error != EAGAIN) throw OsFailure{error};
    return false;
  };
  try {
    held_ = true;  // from here on release() drops whatever was taken
    bool ok = persist([&] { return tryLock(share_bytes::kOpen, 1, false); });
    if (ok && writes()) {
      // Start where other processes are unlikely to start.
      const std::uint32_t start = std::uint32_t(::getpid()) % share_bytes::kWriterSlots;
      ok = persist([&] {
        for (std::uint32_t n = 0; n < share_bytes::kWriterSlots; ++n) {
          const std::uint32_t slot = (start + n) % share_bytes::kWriterSlots;
          if (tryLock(share_bytes::kBase + slot, 1, true)) {
            writerSlot_ = slot;
            return true;
          }
        }
        return false;
      });
    }
    if (ok && deniesWrite()) ok = persist([&] { return tryLock(share_bytes::kDenyWrite, 1, false); });
    if (ok && deniesRead()) {
      ok = writes() ? persist([&] { return tryLock(share_bytes::kDenyReadExclusive, 1, true); })
                    : persist([&] { return tryLock(share_bytes::kDenyReadShared, 1, false); });
    }
    if (!ok || conflictWithOthers()) {
      release();
      return 5;
    }
    return 0;
  } catch (const OsFailure& failure) {
    release();
    return failure.code;
  }
}

// True when another open holds a byte that this open's mode conflicts with.
bool ShareModeLock::conflictWithOthers() {
  // A probe takes the range (exclusively to see shared holders too) and gives
  // it back; ownShared: this open holds the range shared itself, so the probe
  // upgrades and then downgrades again.
  auto heldByOthers = [&](std::uint64_t at, std::uint64_t length, bool exclusive, bool ownShared) {
    if (length == 0) return false;
    const bool free = persist([&] {
      const int error = file_.lock(at, length, exclusive);
      if (error == EAGAIN) return false;
      if (error != 0) throw OsFailure{error};
      const int back = ownShared ? file_.lock(at, length, false) : file_.unlock(at, length);
      if (back != 0) throw OsFailure{back};
      return true;
    });
    return !free;
  };
  // Writer slots of other opens (shared probe: works on a read-only file too).
  auto othersWrite = [&] {
    const std::uint64_t first = share_bytes::kBase;
    const std::uint64_t end = share_bytes::kBase + share_bytes::kWriterSlots;
    if (writerSlot_ < 0) return heldByOthers(first, end - first, false, false);
    const std::uint64_t own = first + std::uint64_t(writerSlot_);
    return heldByOthers(first, own - first, false, false) || heldByOthers(own + 1, end - own - 1, false, false);
  };

  if (writes() && heldByOthers(share_bytes::kDenyWrite, 1, true, deniesWrite())) return true;
  if (deniesWrite() && othersWrite()) return true;
  // Every open reads: nobody may deny reading.
  if (writes()) {
    if (heldByOthers(share_bytes::kDenyReadShared, 1, true, false)) return true;
    if (!deniesRead() && heldByOthers(share_bytes::kDenyReadExclusive, 1, true, false)) return true;
  } else if (heldByOthers(share_bytes::kDenyReadExclusive, 1, false, false)) {
    return true;
  }
  if (deniesRead()) {
    if (writes()) return heldByOthers(share_bytes::kOpen, 1, true, true);
    return othersWrite();
  }
  return false;
}

void ShareModeLock::release() {
  if (!held_) return;
  held_ = false;
  writerSlot_ = -1;
  file_.unlock(share_bytes::kBase, share_bytes::kDenyReadExclusive + 1 - share_bytes::kBase);
}

}  // namespace glimra::datafile
