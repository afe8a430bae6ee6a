// SPDX-License-Identifier: GPL-3.0-or-later
#include "collection/replace_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>

#include "collection/temporary_files.h"

namespace glimra::collection {
namespace {

namespace fs = std::filesystem;

bool fail(std::string* error, std::string reason) {
  if (error) *error = std::move(reason);
  return false;
}

}  // namespace

bool replaceFile(const std::string& path, const std::string& text, std::string* error) {
  const fs::path target(path);
  std::error_code ec;
  if (target.has_parent_path()) {
    fs::create_directories(target.parent_path(), ec);
    if (ec) return fail(error, "Cannot create the folder " + target.parent_path().string() + ": " + ec.message());
  }
  // What a write of this file killed before left behind goes first.
  removeAbandonedTemporaries(path);
  int createError = 0;
  std::optional<OwnedTemporary> owned = OwnedTemporary::create(path, &createError);
  if (!owned) return fail(error, "Cannot write " + path + ": " + std::strerror(createError));
  const std::string& temp = owned->path();
  const int fd = owned->descriptor();
  struct stat old {};
  if (stat(path.c_str(), &old) == 0) fchmod(fd, old.st_mode & 07777);
  else fchmod(fd, 0644);
  std::size_t written = 0;
  int failure = 0;
  while (written < text.size()) {
    const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
    if (n < 0) {
      if (errno == EINTR) continue;
      failure = errno;
      break;
    }
    written += static_cast<std::size_t>(n);
  }
  if (!failure && ::fsync(fd) != 0) failure = errno;
  if (!failure && std::rename(temp.c_str(), path.c_str()) != 0) failure = errno;
  if (failure) {
    ::unlink(temp.c_str());
    return fail(error, "Cannot write " + path + ": " + std::strerror(failure));
  }
  // Make the rename itself durable.
  const std::string directory = target.has_parent_path() ? target.parent_path().string() : ".";
  const int dirFd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY);
  if (dirFd >= 0) {
    ::fsync(dirFd);
    ::close(dirFd);
  }
  return true;
}

}  // namespace glimra::collection
