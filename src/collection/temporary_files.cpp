// SPDX-License-Identifier: GPL-3.0-or-later
#include "collection/temporary_files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace glimra::collection {
namespace {

namespace fs = std::filesystem;

constexpr const char* TAG = ".partial-";
constexpr std::size_t RANDOM_LENGTH = 6;  // what mkstemp puts in place of its XXXXXX

// True when `name` is a temporary's: TAG and six letters or digits after a
// non-empty name (the given one, when `of` is not empty).
bool isTemporaryName(const std::string& name, const std::string& of) {
  const std::string tag = TAG;
  if (name.size() < 1 + tag.size() + RANDOM_LENGTH) return false;
  const std::size_t at = name.size() - RANDOM_LENGTH - tag.size();
  if (name.compare(at, tag.size(), tag) != 0) return false;
  if (!of.empty() && (at != of.size() || name.compare(0, at, of) != 0)) return false;
  return std::all_of(name.end() - RANDOM_LENGTH, name.end(),
                     [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; });
}

// Removes the file at path when no process holds its lock: taken here
// without waiting, it can only be had once its owner has gone.
void removeWhenAbandoned(const fs::path& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return;
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0) ::unlink(path.c_str());
  ::close(fd);
}

void removeAbandoned(const fs::path& folder, const std::string& of) {
  std::error_code ec;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder.empty() ? fs::path(".") : folder, ec))
    if (isTemporaryName(entry.path().filename().string(), of)) removeWhenAbandoned(entry.path());
}

}  // namespace

std::optional<OwnedTemporary> OwnedTemporary::create(const std::string& target, int* error) {
  std::string path = target + TAG + std::string(RANDOM_LENGTH, 'X');
  const int fd = ::mkostemp(path.data(), O_CLOEXEC);
  if (fd < 0) {
    if (error) *error = errno;
    return std::nullopt;
  }
  // Held until the owner lets go of it or dies: the mark of a live owner.
  // Where the file system takes no locks, no one can take it away either,
  // so the temporary is left alone.
  ::flock(fd, LOCK_EX | LOCK_NB);
  return OwnedTemporary(std::move(path), fd);
}

OwnedTemporary::OwnedTemporary(OwnedTemporary&& other) noexcept : path_(std::move(other.path_)), fd_(other.fd_) {
  other.fd_ = -1;
}

OwnedTemporary::~OwnedTemporary() {
  if (fd_ >= 0) ::close(fd_);
}

void removeAbandonedTemporaries(const std::string& target) {
  const fs::path path(target);
  removeAbandoned(path.parent_path(), path.filename().string());
}

void removeAbandonedTemporariesIn(const std::string& folder) { removeAbandoned(fs::path(folder), {}); }

}  // namespace glimra::collection
