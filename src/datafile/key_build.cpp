// SPDX-License-Identifier: GPL-3.0-or-later
#include "datafile/key_build.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

#include "datafile/datafile.h"
#include "datafile/dynamic_index.h"
#include "datafile/file_check.h"
#include "datafile/file_errors.h"
#include "datafile/key_encoding.h"
#include "datafile/record_kinds.h"

namespace glimra::datafile {

namespace {

// Pages are counted every few entries: counting walks the page cache.
constexpr std::size_t CHECKPOINT_TEST_INTERVAL = 8;

bool isStaticIndex(const KeyDeclaration& key) {
  return (key.flags & KeyFlag::INDEX) && !(key.flags & KeyFlag::DYNAMIC);
}

// The record as the program sees it: stored OEM text back in the Windows set,
// since keys are always encoded from the Windows image.
Bytes windowsImage(const TableDeclaration& layout, const CharacterTables& tables, ByteView stored) {
  Bytes image(stored.begin(), stored.end());
  if (tables.oem) convertRecordText(layout, image.data(), false);
  return image;
}

bool keyOrder(const TreeRecord& a, const TreeRecord& b) { return compareKeys(a.key(), b.key()) < 0; }

}  // namespace

// One key's build in progress.
struct KeyBuilder::Run {
  std::size_t key = 0;
  bool stored = true;         // entries go to the file (not a dynamic index)
  bool unique = false;        // no duplicates flag
  std::uint32_t count = 0;    // entries the key holds now
  std::uint32_t refused = 0;  // lowest record refused as a duplicate, 0 = none
  BuildStatus status;
};

KeyBuilder::KeyBuilder(Container& container, std::uint32_t table, const TableDeclaration& layout,
                       const CharacterTables& tables, const BuildSettings& settings)
    : container_(container), table_(table), layout_(layout), tables_(tables), settings_(settings) {}

int KeyBuilder::buildKey(std::size_t key) {
  const int result = build(key, 0, 1);
  if (result != FileError::BUILD_CANCELLED) finalProgress(1);
  return result;
}

int KeyBuilder::buildFile() {
  if (settings_.fullBuild) rewriteCharacterTables();
  std::size_t total = 0;
  for (const KeyDeclaration& key : layout_.keys) total += isStaticIndex(key) ? 0 : 1;
  int result = 0;
  std::size_t done = 0;
  for (std::size_t k = 0; k < layout_.keys.size(); ++k) {
    if (isStaticIndex(layout_.keys[k])) continue;
    const int rc = build(k, done++, total);
    if (rc == FileError::BUILD_CANCELLED) return rc;
    if (result == 0) result = rc;  // a refused duplicate does not stop the other keys
  }
  finalProgress(total);
  return result;
}

namespace {

Counter readCounter(Container& container, std::uint32_t table, std::size_t key) {
  TreeRecord record;
  if (!container.find(counterKey(table, static_cast<std::uint8_t>(key)), &record)) return Counter{};
  const auto counter = Counter::parse(record.payload());
  if (!counter) throw InternalError{RecordDamage::COUNTER};
  return *counter;
}

}  // namespace

void KeyBuilder::writeCounter(std::size_t key, std::uint32_t count, std::uint32_t mark) {
  TreeRecord record;
  record.bytes = counterKey(table_, static_cast<std::uint8_t>(key));
  record.keyLength = static_cast<std::uint16_t>(record.bytes.size());
  const Bytes payload = Counter{count, mark}.payload();
  record.bytes.insert(record.bytes.end(), payload.begin(), payload.end());
  container_.replace(record);
}

int KeyBuilder::build(std::size_t key, std::size_t keysDone, std::size_t keysTotal) {
  if (key >= layout_.keys.size()) return FileError::RECORD_NOT_AVAILABLE;
  const KeyDeclaration& declaration = layout_.keys[key];
  Run run;
  run.key = key;
  run.stored = !(declaration.flags & KeyFlag::DYNAMIC);
  run.unique = !(declaration.flags & KeyFlag::DUP);
  run.status.key = key;
  run.status.keysDone = keysDone;
  run.status.keysTotal = keysTotal;
  recordsTotal_ = readCounter(container_, table_, RecordKind::DATA).count;
  run.status.recordsTotal = recordsTotal_;

  // Where to start. A static index keeps no entries up to date, so it is
  // always rebuilt from its first record: rebuilding it from its mark after
  // dropping its entries would lose those of the records below the mark.
  std::uint32_t start = 1;
  if (!run.stored) {
    if (!settings_.dynamicIndexes) return 0;
    settings_.dynamicIndexes->clear(key);
    settings_.dynamicIndexes->start(key);
  } else {
    const Counter counter = readCounter(container_, table_, key);
    const bool fresh = settings_.fullBuild || isStaticIndex(declaration);
    start = fresh ? 1 : counter.mark;
    if (start == 0) return 0;  // complete
    run.count = counter.count;
    if (fresh) eraseEntries(run);
  }

  // The walk, in record-number order from start.
  const KeyEncoder encoder(layout_, tables_);
  std::vector<TreeRecord> items;
  Bytes probe = dataRecordKey(table_, start - 1);  // the first record above it is >= start
  std::uint32_t batchStart = start;
  std::size_t inBatch = 0;
  TreeRecord record;
  while (container_.findFirstGreater(probe, &record) && hasKindPrefix(record.key(), table_, RecordKind::DATA)) {
    if (record.key().size() != DATA_KEY_BYTES || record.payload().size() != layout_.recordLength)
      throw InternalError{RecordDamage::RECORD_LENGTH};
    const std::uint32_t recordNumber = getBigEndian32(record.key().data() + 5);
    probe.assign(record.key().begin(), record.key().end());
    if (inBatch == 0) batchStart = recordNumber;
    const Bytes image = windowsImage(layout_, tables_, record.payload());
    if (auto entry = encoder.entry(table_, key, image.data(), recordNumber)) items.push_back(std::move(*entry));
    ++inBatch;
    ++run.status.recordsDone;
    if (settings_.progress && settings_.progressInterval &&
        run.status.recordsDone % settings_.progressInterval == 0 &&
        settings_.progress(run.status) == BuildAnswer::Stop)
      return FileError::BUILD_CANCELLED;
    if (inBatch >= std::max<std::size_t>(settings_.batchRecords, 1)) {
      insertBatch(run, items, batchStart);
      checkpointIfDue(run, recordNumber + 1);
      inBatch = 0;
    }
  }
  insertBatch(run, items, batchStart);

  if (run.stored) {
    writeCounter(key, run.count, run.refused);
    container_.commit();
  }
  return run.refused ? FileError::DUPLICATE_KEY : 0;
}

// Drops every entry of the key; a checkpoint on the way keeps the count true
// and the mark at 1, from where a resumed build completes the key.
void KeyBuilder::eraseEntries(Run& run) {
  const Bytes prefix = kindPrefix(table_, static_cast<std::uint8_t>(run.key));
  TreeRecord entry;
  std::size_t erased = 0;
  while (container_.findFirstGreater(prefix, &entry) &&
         hasKindPrefix(entry.key(), table_, static_cast<std::uint8_t>(run.key))) {
    container_.eraseFound(entry.key());
    if (run.count > 0) --run.count;
    if (++erased % CHECKPOINT_TEST_INTERVAL == 0) checkpointIfDue(run, 1);
  }
  run.count = 0;
}

// Inserts the batch's entries in key order. Among entries with equal key
// bytes (a unique key) the first record in record-number order wins, since the
// sort is stable and the items arrive in record-number order; an entry already
// present for the same record is left as it is.
void KeyBuilder::insertBatch(Run& run, std::vector<TreeRecord>& items, std::uint32_t batchStart) {
  std::stable_sort(items.begin(), items.end(), keyOrder);
  std::size_t handled = 0;
  for (const TreeRecord& item : items) {
    TreeRecord existing;
    const bool present = run.stored ? container_.find(item.key(), &existing)
                                    : settings_.dynamicIndexes->find(run.key, item.key(), &existing);
    if (present) {
      const auto owner = entryRecordNumber(existing);
      const auto mine = entryRecordNumber(item);
      if (owner != mine && mine) run.refused = run.refused ? std::min(run.refused, *mine) : *mine;
    } else if (run.stored) {
      container_.insert(item);
      ++run.count;
    } else {
      settings_.dynamicIndexes->insert(run.key, item);
    }
    if (++handled % CHECKPOINT_TEST_INTERVAL == 0) checkpointIfDue(run, batchStart);
  }
  items.clear();
}

// Commits what the build has done so far once enough pages wait to be
// written. resumeAt is the first record whose entry may not be in yet.
void KeyBuilder::checkpointIfDue(Run& run, std::uint32_t resumeAt) {
  if (!run.stored || container_.dirtyPageCount() < settings_.checkpointPages) return;
  const std::uint32_t mark = run.refused ? std::min(run.refused, resumeAt) : resumeAt;
  writeCounter(run.key, run.count, mark);
  container_.commit();
}

void KeyBuilder::finalProgress(std::size_t keysTotal) {
  if (!settings_.progress) return;
  BuildStatus status;
  status.keysDone = keysTotal;
  status.keysTotal = keysTotal;
  status.recordsDone = status.recordsTotal = recordsTotal_;
  status.finished = true;
  settings_.progress(status);  // the work is done; a late "stop" changes nothing
}

// A full BUILDfile re-keys the table for the character tables in force. When
// they differ from the file's, every stored key is emptied and marked for a
// build from its first record before the new tables are written, so each
// commit on the way holds entries encoded with the tables stored beside them;
// the builds that follow fill the keys (static indexes wait for their own).
void KeyBuilder::rewriteCharacterTables() {
  CharacterTables next = settings_.tablesInForce.value_or(CharacterTables::defaults());
  next.oem = tables_.oem;  // the stored text stays in the character set it is in
  const std::string serialized = next.serialize();
  const Bytes payload(serialized.begin(), serialized.end());
  TreeRecord stored;
  const bool present = container_.find(characterTablesKey(table_), &stored);
  if (present && std::ranges::equal(stored.payload(), payload)) return;

  if (!(next == tables_)) {
    for (std::size_t k = 0; k < layout_.keys.size(); ++k) {
      if (layout_.keys[k].flags & KeyFlag::DYNAMIC) continue;
      Run run;
      run.key = k;
      run.count = readCounter(container_, table_, k).count;
      eraseEntries(run);
      writeCounter(k, 0, 1);
    }
    tablesChanged_ = true;
  }
  TreeRecord record;
  record.bytes = characterTablesKey(table_);
  record.keyLength = static_cast<std::uint16_t>(record.bytes.size());
  record.bytes.insert(record.bytes.end(), payload.begin(), payload.end());
  container_.replace(record);
  container_.commit();
  tables_ = next;
}

// --- The operations on a DataFile ---------------------------------------------

namespace {

int refusal(DataFile& file) {
  if (!file.isOpen()) return FileError::FILE_NOT_OPEN;
  if (!file.openMode().writes() || file.inTransaction()) return FileError::ACCESS_DENIED;
  return 0;
}

// Runs body as one writing operation through the file's own guarded entry
// point: under the operation locks of its share mode, with the header
// refreshed first, uncommitted changes dropped when it fails, and internal
// errors and OS failures turned into error 90.
template <class Body>
int guardedBuild(DataFile& file, BuildFailure* failure, Body&& body) {
  BuildFailure local;
  BuildFailure& out = failure ? *failure : local;
  out = BuildFailure{};
  if (int refused = refusal(file)) return out.error = refused;
  out.error = file.writeOperation(std::forward<Body>(body));
  out.fileErrorCode = file.fileErrorCode();
  out.fileErrorText = file.fileErrorText();
  return out.error;
}

// Opens a closed file for the duration of an operation, as BUILDfile and PACK
// do, and closes it again.
class OpenForDuration {
 public:
  explicit OpenForDuration(DataFile& file) : file_(file), opened_(!file.isOpen()) {
    if (opened_) error_ = file_.open(OpenMode{});
  }
  ~OpenForDuration() {
    if (opened_ && file_.isOpen()) file_.close();
  }
  int error(BuildFailure* failure) const {
    if (error_ && failure) *failure = {error_, file_.fileErrorCode(), file_.fileErrorText()};
    return error_;
  }
  bool opened() const { return opened_; }

 private:
  DataFile& file_;
  bool opened_;
  int error_ = 0;
};

}  // namespace

int runBuildKey(DataFile& file, std::size_t key, const BuildSettings& settings) {
  if (int refused = refusal(file)) return refused;
  KeyBuilder builder(*file.container(), file.tableNumber(), file.declaration(), file.characterTables(), settings);
  return builder.buildKey(key);
}

int runBuildFile(DataFile& file, const BuildSettings& settings, bool* tablesChanged) {
  if (int refused = refusal(file)) return refused;
  KeyBuilder builder(*file.container(), file.tableNumber(), file.declaration(), file.characterTables(), settings);
  const int result = builder.buildFile();
  if (tablesChanged) *tablesChanged = builder.tablesChanged();
  return result;
}

namespace {

// The settings with the open file's FULLBUILD option in force.
BuildSettings withFileOptions(DataFile& file, const BuildSettings& settings) {
  BuildSettings effective = settings;
  if (file.isOpen() && file.send("FULLBUILD") == "ON") effective.fullBuild = true;
  return effective;
}

}  // namespace

int buildKey(DataFile& file, std::size_t key, const BuildSettings& settings, BuildFailure* failure) {
  const BuildSettings effective = withFileOptions(file, settings);
  return guardedBuild(file, failure, [&] { return runBuildKey(file, key, effective); });
}

int buildFile(DataFile& file, const BuildSettings& settings, BuildFailure* failure) {
  OpenForDuration scope(file);
  if (int error = scope.error(failure)) return error;
  const BuildSettings effective = withFileOptions(file, settings);
  bool tablesChanged = false;
  const int result = guardedBuild(file, failure, [&] { return runBuildFile(file, effective, &tablesChanged); });
  // The open file encodes keys with the tables it read at OPEN: reopening
  // makes it take the ones just written.
  if (tablesChanged && !scope.opened()) {
    const OpenMode mode = file.openMode();
    file.close();
    if (int error = file.open(mode)) {
      if (failure) *failure = {error, file.fileErrorCode(), file.fileErrorText()};
      return error;
    }
  }
  return result;
}

int pack(DataFile& file, const BuildSettings& settings, BuildFailure* failure) {
  OpenForDuration scope(file);
  if (int error = scope.error(failure)) return error;
  // Cutting a damaged file after what its header calls the end of data would
  // lose whatever lies beyond for good: a file that fails its check is left
  // exactly as it is.
  const int damaged = guardedBuild(file, failure, [&] {
    if (!checkContainer(*file.container()).sound()) throw InternalError{RecordDamage::FAILS_CHECK};
    return 0;
  });
  if (damaged) return damaged;
  const int result = buildFile(file, settings, failure);
  // Every state a build leaves is committed and consistent, so the stale bytes
  // can go after a refused duplicate too; not after a cancel or a fault.
  if (result != 0 && result != FileError::DUPLICATE_KEY) return result;
  BuildFailure cut;
  const int truncated = guardedBuild(file, &cut, [&] {
    file.container()->truncateToDataEnd();
    return 0;
  });
  if (truncated) {
    if (failure) *failure = cut;
    return truncated;
  }
  return result;
}

}  // namespace glimra::datafile
