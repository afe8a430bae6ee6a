// SPDX-License-Identifier: GPL-3.0-or-later
// Transactions over several data files, the control file, and the recovery
// decision.
#include "datafile/transactions.h"

#include <algorithm>
#include <cctype>
#include <ctime>
#include <exception>
#include <thread>

namespace glimra::datafile {
namespace {

std::string& controlFileSetting() {
  static std::string name;
  return name;
}

bool sameNameIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
         });
}

Bytes idKey(std::uint32_t id) {
  return Bytes{std::uint8_t(id), std::uint8_t(id >> 8), std::uint8_t(id >> 16), std::uint8_t(id >> 24)};
}

constexpr OpenMode kControlFileMode{0x42};  // read/write, deny none

}  // namespace

const std::string& controlFileOption() { return controlFileSetting(); }
void setControlFileOption(std::string name) { controlFileSetting() = std::move(name); }

std::string defaultControlFilePath(std::string_view dataFilePath) {
  const std::size_t slash = dataFilePath.rfind('/');
  if (slash == std::string_view::npos) return std::string(kControlFileBaseName);
  return std::string(dataFilePath.substr(0, slash + 1)) + std::string(kControlFileBaseName);
}

// ---------------------------------------------------------------- marker

TreeRecord markerRecord(const TransactionMarker& marker) {
  TreeRecord record;
  record.bytes = {kMarkerKey};
  record.keyLength = 1;
  const Bytes id = idKey(marker.id);
  record.bytes.insert(record.bytes.end(), id.begin(), id.end());
  record.bytes.insert(record.bytes.end(), marker.controlFile.begin(), marker.controlFile.end());
  record.bytes.push_back(0);
  return record;
}

std::optional<TransactionMarker> findMarker(Container& container) {
  const std::uint8_t key[1] = {kMarkerKey};
  TreeRecord record;
  if (!container.find(ByteView(key, 1), &record)) return std::nullopt;
  const ByteView payload = record.payload();
  TransactionMarker marker;
  if (payload.size() < 4) return marker;
  marker.id = getU32(payload.data());
  const auto name = payload.subspan(4);
  const auto zero = std::find(name.begin(), name.end(), std::uint8_t(0));
  marker.controlFile.assign(name.begin(), zero);
  return marker;
}

// ---------------------------------------------------------------- control file

struct ControlFile::Hooks final : ContainerHooks {
  explicit Hooks(FileLocks& l) : locks(l) {}
  void lockReadersForCommit() override { locks.lockForCommit(); }
  void unlockReadersAfterCommit() override { locks.unlockAfterCommit(); }
  FileLocks& locks;
};

int ControlFile::open(FileSystem& fileSystem, const std::string& path, std::unique_ptr<ControlFile>* out) {
  out->reset();
  std::unique_ptr<ControlFile> opened(new ControlFile);
  opened->path_ = path;
  int error = 0;
  // Created only when missing, in one step: two processes that create it at
  // the same moment must not truncate each other's ids.
  opened->file_ = fileSystem.openOrCreate(path, &error);
  if (!opened->file_) return error ? error : 5;
  opened->share_ = std::make_unique<ShareModeLock>(*opened->file_, kControlFileMode);
  if (int refused = opened->share_->acquire()) return refused;
  opened->locks_ = std::make_unique<FileLocks>(*opened->file_, kControlFileMode);
  opened->hooks_ = std::make_unique<Hooks>(*opened->locks_);
  opened->container_ = std::make_unique<Container>(*opened->file_, opened->hooks_.get());
  try {
    auto guard = opened->locks_->forOperation(false);
    if (int invalid = opened->container_->open()) return invalid;
  } catch (const InternalError&) {
    return 36;
  } catch (const OsFailure& failure) {
    return failure.code;
  }
  *out = std::move(opened);
  return 0;
}

int ControlFile::openWaiting(FileSystem& fileSystem, const std::string& path, std::unique_ptr<ControlFile>* out) {
  for (;;) {
    const int result = open(fileSystem, path, out);
    if (result != 5) return result;
    std::this_thread::yield();
  }
}

ControlFile::~ControlFile() = default;

bool ControlFile::holds(std::uint32_t id) {
  auto guard = locks_->forOperation(false);
  container_->refresh(false);
  TreeRecord record;
  const Bytes key = idKey(id);
  return container_->find(ByteView(key), &record);
}

bool ControlFile::insert(std::uint32_t id) {
  auto guard = locks_->forOperation(true);
  try {
    container_->refresh(true);
    TreeRecord record;
    record.bytes = idKey(id);
    record.keyLength = 4;
    if (container_->find(ByteView(record.bytes), &record)) return false;
    container_->insert(record);
    container_->commit();
  } catch (...) {
    container_->discardChanges();
    throw;
  }
  return true;
}

void ControlFile::erase(std::uint32_t id) {
  auto guard = locks_->forOperation(true);
  try {
    container_->refresh(true);
    const Bytes key = idKey(id);
    if (container_->erase(ByteView(key))) container_->commit();
  } catch (...) {
    container_->discardChanges();
    throw;
  }
}

// ---------------------------------------------------------------- recovery

bool rollForwardAllowed(Container& container, FileSystem& fileSystem, const std::string& dataFilePath) {
  const auto marker = findMarker(container);
  if (!marker) return true;
  if (marker->controlFile.empty()) return false;
  const std::string path = sameNameIgnoringCase(marker->controlFile, kDefaultControlFileName)
                               ? defaultControlFilePath(dataFilePath)
                               : marker->controlFile;
  std::unique_ptr<ControlFile> control;
  if (ControlFile::openWaiting(fileSystem, path, &control) != 0) return false;
  try {
    return !control->holds(marker->id);
  } catch (...) {
    return false;
  }
}

// ---------------------------------------------------------------- transaction

Transaction& Transaction::current() {
  static Transaction transaction;
  return transaction;
}

bool Transaction::includes(const Container* container) const {
  return std::any_of(members_.begin(), members_.end(),
                     [&](const TransactionMember& m) { return m.container == container; });
}

int Transaction::begin(std::vector<TransactionMember> members, int timeoutSeconds) {
  // Tables of one open file share its container: it joins once.
  std::vector<TransactionMember> joining;
  for (auto& m : members) {
    const auto named = [&](const TransactionMember& j) { return j.container == m.container; };
    if (m.container && !includes(m.container) && std::none_of(joining.begin(), joining.end(), named))
      joining.push_back(std::move(m));
  }
  // Writer locks in one order (by path) in every process, so that two
  // transactions over the same files cannot wait for each other forever.
  std::vector<FileLocks*> order;
  std::vector<const TransactionMember*> byPath;
  for (const auto& m : joining) byPath.push_back(&m);
  std::stable_sort(byPath.begin(), byPath.end(),
                   [](const TransactionMember* a, const TransactionMember* b) { return a->path < b->path; });
  for (const TransactionMember* m : byPath)
    if (m->locks) order.push_back(m->locks);
  std::optional<std::chrono::steady_clock::time_point> deadline;
  if (timeoutSeconds >= 0) deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
  std::size_t taken = 0;
  while (taken < order.size() && order[taken]->takeWriterUntil(deadline)) ++taken;
  if (taken < order.size()) {
    for (std::size_t i = 0; i < taken; ++i) order[i]->releaseWriter();
    return 32;
  }
  for (auto& m : joining) members_.push_back(std::move(m));
  return 0;
}

void Transaction::leave(const Container* container) {
  auto it = std::find_if(members_.begin(), members_.end(),
                         [&](const TransactionMember& m) { return m.container == container; });
  if (it == members_.end()) return;
  TransactionMember member = std::move(*it);
  members_.erase(it);
  if (member.locks) member.locks->releaseWriter();
  if (member.left) member.left();
}

// Every file leaves: writer locks released, callers told.
void Transaction::end() {
  std::vector<TransactionMember> leaving;
  leaving.swap(members_);
  for (auto& m : leaving) {
    if (m.locks) {
      try {
        m.locks->releaseWriter();
      } catch (...) {
      }
    }
    if (m.left) m.left();
  }
}

void Transaction::rollback() {
  for (auto& m : members_) {
    try {
      m.container->discardChanges();
    } catch (...) {
    }
  }
  end();
}

void Transaction::commit() {
  std::vector<TransactionMember*> changed;
  for (auto& m : members_)
    if (m.container->dirty()) changed.push_back(&m);
  std::exception_ptr failure;
  try {
    if (changed.size() == 1)
      changed.front()->container->commit();
    else if (changed.size() > 1)
      commitTogether(changed);
  } catch (...) {
    failure = std::current_exception();
    // Whatever did not reach the file is dropped: before the commit point the
    // files stay as they were, after it their pending areas finish the job.
    for (auto& m : members_) {
      try {
        m.container->discardChanges();
      } catch (...) {
      }
    }
  }
  end();
  if (failure) std::rethrow_exception(failure);
}

void Transaction::commitTogether(const std::vector<TransactionMember*>& changed) {
  // 1. The control files: the option's one, or each file's default (the
  //    first one is the primary, whose deletion of the id commits).
  const std::string& option = controlFileOption();
  std::vector<std::string> paths;
  for (const TransactionMember* m : changed) {
    const std::string path = option.empty() ? defaultControlFilePath(m->path) : option;
    if (std::find(paths.begin(), paths.end(), path) == paths.end()) paths.push_back(path);
  }
  if (paths.size() > kMaxControlFiles) throw InternalError{kTooManyControlFiles};
  FileSystem& fileSystem = *changed.front()->fileSystem;
  std::vector<std::unique_ptr<ControlFile>> controls;
  for (const std::string& path : paths) {
    std::unique_ptr<ControlFile> control;
    const int error = ControlFile::openWaiting(fileSystem, path, &control);
    if (error == 36) throw InternalError{36};
    if (error != 0) throw OsFailure{error};
    controls.push_back(std::move(control));
  }

  // 2. A fresh id, recorded in every control file.
  std::uint32_t id = std::uint32_t(std::time(nullptr));
  for (;;) {
    std::size_t recorded = 0;
    try {
      while (recorded < controls.size() && controls[recorded]->insert(id)) ++recorded;
    } catch (...) {
      for (std::size_t i = 0; i < recorded; ++i) {
        try {
          controls[i]->erase(id);
        } catch (...) {
        }
      }
      throw;
    }
    if (recorded == controls.size()) break;
    for (std::size_t i = 0; i < recorded; ++i) controls[i]->erase(id);
    ++id;
  }
  bool idsRemovable = true;
  auto forgetId = [&] {
    if (!idsRemovable) return;  // a pending area with this id is still announced
    for (auto& control : controls) {
      try {
        control->erase(id);
      } catch (...) {
      }
    }
  };

  // 3. Markers and first halves. A marker names the primary control file, as
  //    the default name when it is this file's own default.
  std::vector<Container*> announced;
  try {
    for (TransactionMember* m : changed) {
      TransactionMarker marker{id, option};
      if (option.empty())
        marker.controlFile =
            defaultControlFilePath(m->path) == paths.front() ? std::string(kDefaultControlFileName) : paths.front();
      m->container->replace(markerRecord(marker));
      m->container->commitFirstHalf();
      announced.push_back(m->container);
    }
    // 4. The commit point.
    controls.front()->erase(id);
  } catch (...) {
    for (Container* container : announced) {
      try {
        container->discardPendingArea();
      } catch (...) {
        idsRemovable = false;
      }
    }
    forgetId();
    throw;
  }
  // The other control files only kept the id from being chosen twice.
  for (std::size_t i = 1; i < controls.size(); ++i) {
    try {
      controls[i]->erase(id);
    } catch (...) {
    }
  }

  // 5. Control files closed, then every file's pages go home.
  controls.clear();
  std::exception_ptr firstFailure;
  for (TransactionMember* m : changed) {
    try {
      m->container->commitSecondHalf();
    } catch (...) {
      // Committed all the same: the file's next writing operation finishes it.
      if (!firstFailure) firstFailure = std::current_exception();
    }
  }
  if (firstFailure) std::rethrow_exception(firstFailure);
}

}  // namespace glimra::datafile
