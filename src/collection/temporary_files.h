// SPDX-License-Identifier: GPL-3.0-or-later
// Temporary files that carry their owner's mark. A file written whole before
// it takes its name (an export, the settings, a backup) is first written to
// "NAME.partial-XXXXXX" beside NAME (six random letters or digits), and its
// owner holds a lock on it for as long as it lives. A process killed on the
// way leaves the file but not the lock: the next run of the same kind
// recognises the name, finds it unlocked and removes it. A temporary whose
// owner is still at work (another program) keeps its lock and is left alone,
// and so is every file of any other name.
#pragma once

#include <optional>
#include <string>

namespace glimra::collection {

class OwnedTemporary {
 public:
  // A new, empty, locked temporary for `target` in target's folder; nullopt
  // with *error (errno) when it cannot be made.
  static std::optional<OwnedTemporary> create(const std::string& target, int* error);
  OwnedTemporary(OwnedTemporary&& other) noexcept;
  OwnedTemporary& operator=(OwnedTemporary&&) = delete;
  ~OwnedTemporary();  // lets go of the lock; the file stays where it is

  const std::string& path() const { return path_; }
  int descriptor() const { return fd_; }  // open for writing, at its start

 private:
  OwnedTemporary(std::string path, int fd) : path_(std::move(path)), fd_(fd) {}
  std::string path_;
  int fd_ = -1;
};

// Removes the temporaries of `target` that no live owner holds.
void removeAbandonedTemporaries(const std::string& target);
// Removes every temporary in `folder` that no live owner holds.
void removeAbandonedTemporariesIn(const std::string& folder);

}  // namespace glimra::collection
