// SPDX-License-Identifier: GPL-3.0-or-later
#include "collection/photo_store.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "collection/sha256.h"

namespace glimra::collection {
namespace {

namespace fs = std::filesystem;

// Hashes the pieces of a photo on a second thread while the caller goes on
// reading, writing and flushing: the copy no longer waits for the hash, so
// storing a photo costs about what copying and flushing it costs. Pieces
// live in a ring of buffers; the caller takes a buffer back only once its
// piece has been hashed, so memory stays at the ring's size for any photo.
class HashingRing {
 public:
  static constexpr std::size_t PIECES = 8;
  static constexpr std::size_t PIECE_BYTES = 512 * 1024;

  HashingRing() : worker_([this] { work(); }) {
    for (auto& buffer : buffers_) buffer.resize(PIECE_BYTES);
  }
  ~HashingRing() {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    changed_.notify_all();
    worker_.join();
  }

  // The next buffer to fill, once the worker has hashed what it held.
  std::uint8_t* nextBuffer() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return given_ - hashed_ < PIECES; });
    return buffers_[given_ % PIECES].data();
  }
  // Hands the buffer from nextBuffer() over with the bytes it holds.
  void hash(std::size_t length) {
    {
      std::lock_guard lock(mutex_);
      lengths_[given_ % PIECES] = length;
      ++given_;
    }
    changed_.notify_all();
  }
  // Waits for every piece handed over and gives the digest.
  std::string hexDigest() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return hashed_ == given_; });
    return hash_.hexDigest();
  }

 private:
  void work() {
    std::unique_lock lock(mutex_);
    for (;;) {
      changed_.wait(lock, [&] { return stopping_ || hashed_ < given_; });
      if (hashed_ == given_) return;  // stopping, nothing left
      const std::size_t slot = hashed_ % PIECES;
      lock.unlock();
      hash_.update(buffers_[slot].data(), lengths_[slot]);
      lock.lock();
      ++hashed_;
      changed_.notify_all();
    }
  }

  Sha256 hash_;
  std::array<std::vector<std::uint8_t>, PIECES> buffers_;
  std::array<std::size_t, PIECES> lengths_{};
  std::size_t given_ = 0, hashed_ = 0;
  bool stopping_ = false;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::thread worker_;  // last: starts once everything it uses is there
};

std::string temporaryName(const std::string& folder) {
  static std::atomic<unsigned> counter{0};
  return folder + "/" + PHOTO_TEMPORARY_PREFIX + std::to_string(::getpid()) + "-" + std::to_string(++counter);
}

// Copies source to target through a temporary name beside target, flushed
// before the rename: target appears whole or not at all.
int copyWhole(const std::string& source, const std::string& target) {
  datafile::FileSystem& disk = datafile::posixFileSystem();
  const std::string temporary = temporaryName(fs::path(target).parent_path().string());
  int error = 0;
  auto from = disk.open(source, false, false, &error);
  if (!from) return error;
  auto to = disk.open(temporary, true, true, &error);
  if (!to) return error;
  std::vector<std::uint8_t> buffer(1 << 20);
  std::uint64_t offset = 0;
  for (;;) {
    std::size_t got = 0;
    if ((error = from->readAt(offset, buffer.data(), buffer.size(), &got)) != 0) break;
    if (got == 0) break;
    if ((error = to->writeAt(offset, buffer.data(), got)) != 0) break;
    offset += got;
  }
  if (error == 0) error = to->flush();
  to.reset();
  if (error == 0) error = disk.rename(temporary, target);
  if (error != 0) disk.remove(temporary);
  return error;
}

}  // namespace

std::string photoFolderOf(const std::string& collectionPath) {
  fs::path path(collectionPath);
  path.replace_extension(".photos");
  return path.string();
}

PhotoStore::PhotoStore(const std::string& collectionPath, datafile::FileSystem& fileSystem)
    : folder_(photoFolderOf(collectionPath)), fileSystem_(fileSystem) {}

int PhotoStore::makeFolder(std::string* error) {
  const bool made = !fileSystem_.exists(folder_);
  if (const int code = fileSystem_.makeFolder(folder_); code != 0) {
    *error = "the photo folder " + folder_ + " cannot be made: " + datafile::osErrorText(code);
    return code;
  }
  // A new folder's own name must be durable before files in it are referred to.
  if (made) fileSystem_.flushFolderOf(folder_);
  return 0;
}

int PhotoStore::store(const std::string& source, const std::string& type, StoredPhoto* stored, std::string* error) {
  int code = 0;
  auto from = fileSystem_.open(source, false, false, &code);
  if (!from) {
    *error = source + " cannot be read: " + datafile::osErrorText(code);
    return code;
  }
  std::uint64_t offset = 0;
  const Reader read = [&](void* buffer, std::size_t size, std::size_t* got) {
    const int failed = from->readAt(offset, buffer, size, got);
    offset += *got;
    return failed;
  };
  return storeFrom(read, source, type, stored, error);
}

int PhotoStore::storeFrom(const Reader& read, const std::string& source, const std::string& type, StoredPhoto* stored,
                          std::string* error) {
  if (const int code = makeFolder(error); code != 0) return code;
  int code = 0;
  const std::string temporary = temporaryName(folder_);
  auto to = fileSystem_.open(temporary, true, true, &code);
  if (!to) {
    *error = "the photo cannot be written to " + folder_ + ": " + datafile::osErrorText(code);
    return code;
  }
  auto fail = [&](int failed, std::string what) {
    to.reset();
    fileSystem_.remove(temporary);
    *error = std::move(what) + datafile::osErrorText(failed);
    return failed;
  };
  HashingRing hashing;
  std::uint64_t offset = 0;
  for (;;) {
    std::uint8_t* buffer = hashing.nextBuffer();
    std::size_t got = 0;
    if ((code = read(buffer, HashingRing::PIECE_BYTES, &got)) != 0) return fail(code, source + " cannot be read: ");
    if (got == 0) break;
    if ((code = to->writeAt(offset, buffer, got)) != 0)
      return fail(code, "the photo cannot be written to " + folder_ + ": ");
    // The disk writes this piece while the next is read and hashed, so the
    // flush below waits for the last piece rather than for the whole photo.
    to->startWritingBack(offset, got);
    hashing.hash(got);
    offset += got;
  }
  if ((code = to->flush()) != 0) return fail(code, "the photo cannot be written to " + folder_ + ": ");
  to.reset();
  stored->hash = hashing.hexDigest();
  stored->bytes = offset;
  const std::string target = pathOf(stored->hash + "." + type);
  // Stored once: the same content is already there under its name. One of
  // another length is no copy of it (a damaged file): the new one replaces it.
  std::uint64_t there = 0;
  if (fileSystem_.exists(target)) {
    if (auto existing = fileSystem_.open(target, false, false, &code); existing && existing->size(&there) == 0 &&
                                                                       there == offset) {
      fileSystem_.remove(temporary);
      return 0;
    }
  }
  if ((code = fileSystem_.rename(temporary, target)) != 0)
    return fail(code, "the photo cannot be named in " + folder_ + ": ");
  if ((code = fileSystem_.flushFolderOf(target)) != 0) {
    *error = "the photo folder " + folder_ + " cannot be written: " + datafile::osErrorText(code);
    return code;
  }
  // An original is never changed in place: read-only guards it (and every
  // backup that shares it through a hard link) against an editor saving over it.
  if (&fileSystem_ == &datafile::posixFileSystem()) {
    std::error_code ignored;
    fs::permissions(target, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove, ignored);
  }
  return 0;
}

void PhotoStore::removeTemporaries() { removePhotoTemporaries(folder_); }

void removePhotoTemporaries(const std::string& folder) {
  std::error_code ec;
  std::vector<fs::path> left;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder, ec))
    if (entry.path().filename().string().starts_with(PHOTO_TEMPORARY_PREFIX)) left.push_back(entry.path());
  for (const fs::path& path : left) fs::remove(path, ec);
}

int placePhotoFile(const std::string& source, const std::string& target) {
  std::error_code ec;
  if (fs::exists(target, ec)) return 0;
  fs::create_directories(fs::path(target).parent_path(), ec);
  if (ec) return ec.value();
  fs::create_hard_link(source, target, ec);
  if (!ec) return 0;
  const int error = copyWhole(source, target);
  if (error == 0) fs::permissions(target, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                                  fs::perm_options::remove, ec);
  return error;
}

int copyPhotoFile(const std::string& source, const std::string& target) {
  const int error = copyWhole(source, target);
  if (error == 0) {
    std::error_code ignored;
    fs::permissions(target, fs::perms::owner_write, fs::perm_options::add, ignored);
  }
  return error;
}

std::vector<std::string> storedFileNames(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder, ec)) {
    const std::string name = entry.path().filename().string();
    if (name.starts_with(PHOTO_TEMPORARY_PREFIX) || !entry.is_regular_file(ec)) continue;
    names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace glimra::collection
