// SPDX-License-Identifier: GPL-3.0-or-later
#include "datafile/fault_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <random>

namespace glimra::datafile {

namespace {
struct Change {
  bool truncate = false;
  std::uint64_t offset = 0;  // write offset, or new size for a truncation
  std::vector<std::uint8_t> data;
};

struct LockRange {
  std::uint64_t owner, offset, length;
  bool exclusive;
  std::uint64_t end() const { return offset + length; }
};
}  // namespace

// The bytes of one file, sparse: held in chunks, a chunk never written reads
// as zeros, so a test can reach the far end of a 4 GiB file with a few
// megabytes. Chunks are shared between copies until one of them writes, so
// keeping what the disk holds at every flush costs no copy of the bytes.
class FaultFileSystem::SparseBytes {
 public:
  std::uint64_t size() const { return size_; }

  void read(std::uint64_t offset, std::uint8_t* out, std::size_t length) const {
    while (length > 0) {
      const std::uint64_t index = offset / kChunk;
      const std::size_t at = std::size_t(offset % kChunk);
      const std::size_t n = std::min(length, kChunk - at);
      const auto it = chunks_.find(index);
      if (it == chunks_.end())
        std::memset(out, 0, n);
      else
        std::memcpy(out, it->second->data() + at, n);
      out += n;
      offset += n;
      length -= n;
    }
  }

  void write(std::uint64_t offset, const std::uint8_t* data, std::size_t length) {
    size_ = std::max(size_, offset + length);
    while (length > 0) {
      const std::uint64_t index = offset / kChunk;
      const std::size_t at = std::size_t(offset % kChunk);
      const std::size_t n = std::min(length, kChunk - at);
      std::memcpy(ownChunk(index).data() + at, data, n);
      data += n;
      offset += n;
      length -= n;
    }
  }

  // Growing adds zeros; shrinking forgets the bytes past the new end.
  void resize(std::uint64_t bytes) {
    if (bytes < size_) {
      chunks_.erase(chunks_.lower_bound((bytes + kChunk - 1) / kChunk), chunks_.end());
      if (bytes % kChunk != 0 && chunks_.count(bytes / kChunk)) {
        std::vector<std::uint8_t>& last = ownChunk(bytes / kChunk);
        std::fill(last.begin() + std::ptrdiff_t(bytes % kChunk), last.end(), 0);
      }
    }
    size_ = bytes;
  }

  std::vector<std::uint8_t> toVector() const {
    std::vector<std::uint8_t> bytes(size_);
    if (size_) read(0, bytes.data(), bytes.size());
    return bytes;
  }

  static SparseBytes of(const std::vector<std::uint8_t>& bytes) {
    SparseBytes sparse;
    sparse.write(0, bytes.data(), bytes.size());
    return sparse;
  }

 private:
  static constexpr std::size_t kChunk = 1 << 16;

  std::vector<std::uint8_t>& ownChunk(std::uint64_t index) {
    auto& chunk = chunks_[index];
    if (!chunk)
      chunk = std::make_shared<std::vector<std::uint8_t>>(kChunk, 0);
    else if (chunk.use_count() > 1)
      chunk = std::make_shared<std::vector<std::uint8_t>>(*chunk);
    return *chunk;
  }

  std::uint64_t size_ = 0;
  std::map<std::uint64_t, std::shared_ptr<std::vector<std::uint8_t>>> chunks_;
};

struct FaultFileSystem::Disk {
  SparseBytes visible;  // what the running program sees
  SparseBytes durable;  // what the disk held at the last flush before a crash
  std::vector<Change> unflushed;      // issued before the crash, since that flush
  std::vector<LockRange> locks;
};

class FaultFileSystem::File final : public OsFile {
 public:
  File(FaultFileSystem& fs, std::shared_ptr<Disk> disk, bool writable)
      : fs_(fs), disk_(std::move(disk)), writable_(writable), owner_(fs.nextOwner_++) {}
  ~File() override {
    auto& locks = disk_->locks;
    locks.erase(std::remove_if(locks.begin(), locks.end(), [&](const LockRange& l) { return l.owner == owner_; }),
                locks.end());
  }

  int readAt(std::uint64_t offset, void* buffer, std::size_t length, std::size_t* got) override {
    const auto& bytes = disk_->visible;
    const std::size_t n = offset >= bytes.size() ? 0 : std::size_t(std::min<std::uint64_t>(length, bytes.size() - offset));
    if (n) bytes.read(offset, static_cast<std::uint8_t*>(buffer), n);
    *got = n;
    return 0;
  }

  int writeAt(std::uint64_t offset, const void* buffer, std::size_t length) override {
    if (!writable_) return EBADF;
    const std::uint64_t index = ++fs_.writes_;
    const bool lost = ++fs_.steps_ > fs_.plan.crashAfter;
    if (index == fs_.plan.failWrite) return EIO;
    if (offset + length > fs_.plan.capacity) return ENOSPC;
    std::size_t stored = length;
    if (index == fs_.plan.shortWrite) stored = length / 2;
    const auto* data = static_cast<const std::uint8_t*>(buffer);
    disk_->visible.write(offset, data, stored);
    if (!lost) disk_->unflushed.push_back(Change{false, offset, {data, data + stored}});
    return stored == length ? 0 : EIO;
  }

  int flush() override {
    const std::uint64_t index = ++fs_.flushes_;
    const bool lost = ++fs_.steps_ > fs_.plan.crashAfter;
    if (index == fs_.plan.failFlush) return EIO;
    if (!lost) {
      disk_->durable = disk_->visible;
      disk_->unflushed.clear();
    }
    return 0;
  }

  int size(std::uint64_t* bytes) override {
    *bytes = disk_->visible.size();
    return 0;
  }

  int truncate(std::uint64_t bytes) override {
    if (!writable_) return EBADF;
    const bool lost = ++fs_.steps_ > fs_.plan.crashAfter;
    disk_->visible.resize(bytes);
    if (!lost) disk_->unflushed.push_back(Change{true, bytes, {}});
    return 0;
  }

  int lock(std::uint64_t offset, std::uint64_t length, bool exclusive) override {
    for (const auto& l : disk_->locks) {
      if (l.owner == owner_ || l.end() <= offset || offset + length <= l.offset) continue;
      if (exclusive || l.exclusive) return EAGAIN;
    }
    unlock(offset, length);
    disk_->locks.push_back(LockRange{owner_, offset, length, exclusive});
    return 0;
  }

  // Releases the range, keeping the parts of own locks outside it.
  int unlock(std::uint64_t offset, std::uint64_t length) override {
    std::vector<LockRange> kept;
    const std::uint64_t end = offset + length;
    for (const auto& l : disk_->locks) {
      if (l.owner != owner_ || l.end() <= offset || end <= l.offset) {
        kept.push_back(l);
        continue;
      }
      if (l.offset < offset) kept.push_back(LockRange{owner_, l.offset, offset - l.offset, l.exclusive});
      if (l.end() > end) kept.push_back(LockRange{owner_, end, l.end() - end, l.exclusive});
    }
    disk_->locks = std::move(kept);
    return 0;
  }

 private:
  FaultFileSystem& fs_;
  std::shared_ptr<Disk> disk_;
  bool writable_;
  std::uint64_t owner_;
};

FaultFileSystem::FaultFileSystem() = default;
FaultFileSystem::~FaultFileSystem() = default;

std::unique_ptr<OsFile> FaultFileSystem::open(const std::string& path, bool forWrite, bool create, int* error) {
  auto it = files_.find(path);
  if (it == files_.end()) {
    if (!create) {
      if (error) *error = ENOENT;
      return nullptr;
    }
    it = files_.emplace(path, std::make_shared<Disk>()).first;
  } else if (create) {
    Disk& disk = *it->second;
    disk.visible.resize(0);
    if (!crashed()) disk.unflushed.push_back(Change{true, 0, {}});
  }
  if (error) *error = 0;
  return std::make_unique<File>(*this, it->second, forWrite || create);
}

std::unique_ptr<OsFile> FaultFileSystem::openOrCreate(const std::string& path, int* error) {
  return open(path, true, files_.count(path) == 0, error);
}

bool FaultFileSystem::exists(const std::string& path) { return files_.count(path) != 0; }

int FaultFileSystem::remove(const std::string& path) { return files_.erase(path) ? 0 : ENOENT; }

int FaultFileSystem::rename(const std::string& from, const std::string& to) {
  auto it = files_.find(from);
  if (it == files_.end()) return ENOENT;
  const bool lost = ++steps_ > plan.crashAfter;
  auto replaced = files_.find(to);
  renames_.push_back(Rename{from, to, it->second, replaced == files_.end() ? nullptr : replaced->second, lost});
  files_[to] = it->second;
  files_.erase(from);
  return 0;
}

int FaultFileSystem::flushFolderOf(const std::string&) {
  if (++steps_ > plan.crashAfter) return 0;
  renames_.clear();  // the names are on the disk now
  return 0;
}

int FaultFileSystem::copy(const std::string& from, const std::string& to) {
  auto it = files_.find(from);
  if (it == files_.end()) return ENOENT;
  auto disk = std::make_shared<Disk>();
  disk->visible = disk->durable = it->second->visible;
  files_[to] = disk;
  return 0;
}

std::uint64_t FaultFileSystem::size(const std::string& path) const {
  auto it = files_.find(path);
  return it == files_.end() ? 0 : it->second->visible.size();
}

std::vector<std::uint8_t> FaultFileSystem::contents(const std::string& path) const {
  auto it = files_.find(path);
  return it == files_.end() ? std::vector<std::uint8_t>{} : it->second->visible.toVector();
}

void FaultFileSystem::setContents(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  auto& disk = files_[path];
  if (!disk) disk = std::make_shared<Disk>();
  disk->visible = disk->durable = SparseBytes::of(bytes);
  disk->unflushed.clear();
}

void FaultFileSystem::reboot(UnflushedWrites unflushed, std::uint32_t seed) {
  std::mt19937 random(seed);
  // A rename whose folder was not flushed survives only when unflushed work
  // is kept, and never when it came after the power went.
  for (auto r = renames_.rbegin(); r != renames_.rend(); ++r) {
    if (!r->lost && unflushed == UnflushedWrites::Kept) continue;
    files_[r->from] = r->moved;
    if (r->replaced)
      files_[r->to] = r->replaced;
    else
      files_.erase(r->to);
  }
  renames_.clear();
  for (auto& [path, disk] : files_) {
    SparseBytes bytes = disk->durable;
    if (unflushed != UnflushedWrites::Dropped) {
      for (const Change& change : disk->unflushed) {
        if (change.truncate) {
          if (unflushed == UnflushedWrites::Kept || random() % 2) bytes.resize(change.offset);
          continue;
        }
        constexpr std::size_t kSector = 512;
        for (std::size_t at = 0; at < change.data.size();) {
          const std::uint64_t position = change.offset + at;
          const std::size_t piece = std::min<std::size_t>(change.data.size() - at, kSector - position % kSector);
          if (unflushed == UnflushedWrites::Kept || random() % 2)
            bytes.write(position, change.data.data() + at, piece);
          at += piece;
        }
      }
    }
    disk->visible = disk->durable = std::move(bytes);
    disk->unflushed.clear();
    disk->locks.clear();
  }
  plan = FaultPlan{};
  resetCounters();
}

}  // namespace glimra::datafile
