// SPDX-License-Identifier: GPL-3.0-or-later
#include "datafile/datafile_impl.h"

namespace glimra::datafile {

namespace {

// Undo log of one writing operation, replayed backwards when a later key of
// the same record refuses a duplicate.
class KeyJournal {
 public:
  explicit KeyJournal(Container& container) : container_(container) {}
  void inserted(const TreeRecord& entry) { steps_.push_back({true, entry}); }
  void erased(const TreeRecord& entry) { steps_.push_back({false, entry}); }
  void undo() {
    for (auto it = steps_.rbegin(); it != steps_.rend(); ++it) {
      if (it->inserted)
        container_.erase(it->entry.key());
      else
        container_.insert(it->entry);
    }
    steps_.clear();
  }

 private:
  struct Step {
    bool inserted;
    TreeRecord entry;
  };
  Container& container_;
  std::vector<Step> steps_;
};

bool sameEntry(const std::optional<TreeRecord>& a, const std::optional<TreeRecord>& b) {
  return a && b && a->keyLength == b->keyLength && a->bytes == b->bytes;
}

}  // namespace

// --- Records of the open table ----------------------------------------------

const TreeRecord* DataFile::peekRecord(std::uint32_t recordNumber) {
  const TreeRecord* record = container_->peek(dataRecordKey(table_, recordNumber));
  if (record && record->payload().size() != layout_.recordLength) throw InternalError{RecordDamage::RECORD_LENGTH};
  return record;
}

std::optional<TreeRecord> DataFile::findRecord(std::uint32_t recordNumber) {
  const TreeRecord* record = peekRecord(recordNumber);
  return record ? std::optional<TreeRecord>(*record) : std::nullopt;
}

// The data record of a record number holding the image in its stored form.
TreeRecord DataFile::dataRecord(std::uint32_t recordNumber, ByteView windows) const {
  TreeRecord data;
  const Bytes key = dataRecordKey(table_, recordNumber);
  data.bytes.reserve(key.size() + windows.size());
  data.bytes.assign(key.begin(), key.end());
  data.keyLength = static_cast<std::uint16_t>(key.size());
  data.bytes.insert(data.bytes.end(), windows.begin(), windows.end());
  if (tables_.oem) convertRecordText(layout_, data.bytes.data() + key.size(), true);
  return data;
}

DataFile::RecordLock::~RecordLock() { file.hooks_->unlockRecord(file, number); }

Bytes DataFile::windowsImage(ByteView stored) const {
  Bytes image(stored.begin(), stored.end());
  if (tables_.oem) convertRecordText(layout_, image.data(), false);
  return image;
}

std::uint32_t DataFile::counterValue(std::uint8_t counted) {
  TreeRecord record;
  if (!container_->find(counterKey(table_, counted), &record)) return 0;
  const auto counter = Counter::parse(record.payload());
  if (!counter) throw InternalError{RecordDamage::COUNTER};
  return counter->count;
}

// Changes counter records in place (counted[i] through change(i, counter));
// a missing counter starts from zero. The counters of a table lie side by
// side, so one descent usually serves them all.
void DataFile::changeCounters(const std::vector<std::uint8_t>& counted,
                              const std::function<void(std::size_t, Counter&)>& change) {
  // A counter's key is the table's counter prefix and the counted kind, so
  // the kinds' order is the keys' order.
  std::vector<std::size_t> order(counted.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return counted[a] < counted[b]; });
  // The keys are written into blocks kept from the last call: every ADD
  // changes a dozen counters or more.
  std::vector<Bytes>& keys = counterKeys_;
  keys.resize(order.size());
  for (std::size_t k = 0; k < order.size(); ++k) writeCounterKey(keys[k], table_, counted[order[k]]);
  auto store = [](TreeRecord& record, const Bytes& key, const Counter& counter) {
    record.bytes.resize(key.size() + 8);
    std::copy(key.begin(), key.end(), record.bytes.begin());
    record.keyLength = static_cast<std::uint16_t>(key.size());
    counter.store(record.bytes.data() + key.size());
  };
  const std::vector<bool> found = container_->rewriteAll(keys, [&](std::size_t k, TreeRecord& record) {
    auto counter = Counter::parse(record.payload());
    if (!counter) throw InternalError{RecordDamage::COUNTER};
    change(order[k], *counter);
    store(record, keys[k], *counter);
  });
  for (std::size_t k = 0; k < keys.size(); ++k) {
    if (found[k]) continue;
    Counter counter;
    change(order[k], counter);
    TreeRecord record;
    store(record, keys[k], counter);
    container_->insert(std::move(record));
  }
}

// Adds deltas[k] to key k's counter and dataDelta to the record count.
void DataFile::adjustCounters(const std::vector<int>& deltas, int dataDelta) {
  std::vector<std::uint8_t> counted;
  std::vector<int> change;
  for (std::size_t k = 0; k < deltas.size(); ++k) {
    if (deltas[k] == 0) continue;
    counted.push_back(static_cast<std::uint8_t>(k));
    change.push_back(deltas[k]);
  }
  if (dataDelta != 0) {
    counted.push_back(RecordKind::DATA);
    change.push_back(dataDelta);
  }
  if (counted.empty()) return;
  changeCounters(counted, [&](std::size_t i, Counter& counter) {
    const int delta = change[i];
    counter.count = (delta < 0 && counter.count < static_cast<std::uint32_t>(-delta)) ? 0 : counter.count + delta;
  });
}

// A mark of 0 means "complete"; otherwise entries from the mark on may be
// missing. Lowering compares mark - 1 with number - 1 unsigned, so 0 acts as
// no mark at all.
void DataFile::lowerRebuildMark(std::uint8_t counted, std::uint32_t recordNumber) {
  changeCounters({counted}, [&](std::size_t, Counter& counter) {
    if (counter.mark - 1 > recordNumber - 1) counter.mark = recordNumber;
  });
}

bool DataFile::maintained(std::size_t key) const {
  return (layout_.keys[key].flags & (KeyFlag::INDEX | KeyFlag::DYNAMIC)) == 0;
}

void DataFile::writeMemos(std::uint32_t recordNumber) {
  for (std::size_t m = 0; m < layout_.memos.size(); ++m) {
    const MemoDeclaration& memo = layout_.memos[m];
    Bytes value = memos_[m];
    if (tables_.oem && !(memo.flags & (MEMO_BINARY | MEMO_BLOB))) windowsToOem(value.data(), value.size());
    const std::vector<Bytes> pieces = cutMemo(memo, value);
    const auto memoNumber = static_cast<std::uint8_t>(m);
    for (std::size_t p = 0; p < pieces.size(); ++p) {
      TreeRecord record;
      record.bytes = memoPieceKey(table_, recordNumber, memoNumber, static_cast<std::uint16_t>(p));
      record.keyLength = 12;
      TreeRecord stored;
      if (container_->find(record.key(), &stored) && std::ranges::equal(stored.payload(), pieces[p])) continue;
      record.bytes.insert(record.bytes.end(), pieces[p].begin(), pieces[p].end());
      container_->replace(record);
    }
    // Pieces beyond the new length go.
    Bytes probe = memoPieceKey(table_, recordNumber, memoNumber, 0);
    probe.resize(10);
    if (!pieces.empty()) probe = memoPieceKey(table_, recordNumber, memoNumber, static_cast<std::uint16_t>(pieces.size() - 1));
    TreeRecord stale;
    while (container_->findFirstGreater(probe, &stale) && stale.key().size() == 12 &&
           std::equal(probe.begin(), probe.begin() + 10, stale.key().begin()))
      container_->eraseFound(stale.key());
  }
}

void DataFile::readMemos(std::uint32_t recordNumber) {
  for (std::size_t m = 0; m < layout_.memos.size(); ++m) {
    const MemoDeclaration& memo = layout_.memos[m];
    Bytes prefix = memoPieceKey(table_, recordNumber, static_cast<std::uint8_t>(m), 0);
    prefix.resize(10);
    std::vector<Bytes> pieces;
    forEachWithPrefix(*container_, prefix, [&](const TreeRecord& record) {
      if (record.key().size() != 12) return;
      const std::size_t piece = (record.key()[10] << 8) | record.key()[11];
      if (pieces.size() <= piece) pieces.resize(piece + 1);
      pieces[piece].assign(record.payload().begin(), record.payload().end());
    });
    memos_[m] = joinMemo(memo, pieces);
    if (tables_.oem && !(memo.flags & (MEMO_BINARY | MEMO_BLOB))) oemToWindows(memos_[m].data(), memos_[m].size());
  }
}

void DataFile::eraseMemos(std::uint32_t recordNumber) {
  for (std::size_t m = 0; m < layout_.memos.size(); ++m) {
    Bytes prefix = memoPieceKey(table_, recordNumber, static_cast<std::uint8_t>(m), 0);
    prefix.resize(10);
    TreeRecord piece;
    while (container_->findFirstGreater(prefix, &piece) && piece.key().size() == 12 &&
           std::equal(prefix.begin(), prefix.end(), piece.key().begin()))
      container_->eraseFound(piece.key());
  }
}

// --- ADD, APPEND, PUT, DELETE -------------------------------------------------

int DataFile::add() {
  return guarded(true, true, [&] { return writeRecord(false); });
}

int DataFile::append() {
  return guarded(true, true, [&] { return writeRecord(true); });
}

// A memo longer than its pieces can number (or a text memo past its size)
// is refused before anything changes: storing part of it would lose the rest.
void DataFile::refuseOversizedMemos() const {
  for (std::size_t m = 0; m < layout_.memos.size(); ++m)
    if (auto why = memoOverflow(layout_.memos[m], memos_[m])) throw OsFailure{EFBIG, std::move(*why)};
}

int DataFile::writeRecord(bool appendOnly) {
  refuseOversizedMemos();
  const std::uint32_t recordNumber = container_->newRecordNumber();
  const ByteView image(buffer_, layout_.recordLength);
  const KeyEncoder encoder(layout_, tables_);
  std::vector<int> deltas(layout_.keys.size(), 0);
  for (std::size_t k = 0; k < layout_.keys.size(); ++k) {
    if (layout_.keys[k].flags & KeyFlag::DYNAMIC) continue;
    if (appendOnly || !maintained(k)) {
      lowerRebuildMark(static_cast<std::uint8_t>(k), recordNumber);
      continue;
    }
    auto entry = encoder.entry(table_, k, image.data(), recordNumber);
    if (!entry) continue;
    // An entry of a key with duplicates carries the new record number in its
    // key, so only a unique key can already hold it; its check and its
    // insert share one descent.
    if (layout_.keys[k].flags & KeyFlag::DUP) {
      container_->insert(std::move(*entry));
    } else if (!container_->insertIfAbsent(std::move(*entry))) {
      // The entries inserted so far go again; each is made anew from the
      // image, as it was made the first time.
      for (std::size_t done = 0; done < k; ++done)
        if (deltas[done] != 0) container_->erase(encoder.entry(table_, done, image.data(), recordNumber)->key());
      return FileError::DUPLICATE_KEY;
    }
    deltas[k] = 1;
  }
  container_->insert(dataRecord(recordNumber, image));
  writeMemos(recordNumber);
  adjustCounters(deltas, 1);
  currentRecord_ = recordNumber;
  return 0;
}

int DataFile::put() {
  return guarded(true, true, [&] { return rewriteRecord(); });
}

int DataFile::rewriteRecord() {
  if (currentRecord_ == 0) return FileError::RECORD_NOT_AVAILABLE;
  refuseOversizedMemos();
  const std::uint32_t recordNumber = currentRecord_;
  if (int refused = hooks_->lockRecord(*this, recordNumber)) return refused;
  const RecordLock unlock{*this, recordNumber};

  const auto stored = findRecord(recordNumber);
  if (!stored) return FileError::RECORD_NOT_AVAILABLE;
  if (watchedCopy_ && !std::ranges::equal(*watchedCopy_, stored->payload())) return FileError::RECORD_CHANGED;
  // The old entries come from the record as it is stored, so the keys always
  // follow the data even when the buffer's earlier copy is stale.
  const Bytes oldImage = windowsImage(stored->payload());
  const Bytes newImage(buffer_, buffer_ + layout_.recordLength);
  const KeyEncoder encoder(layout_, tables_);
  KeyJournal journal(*container_);
  std::vector<int> deltas(layout_.keys.size(), 0);
  for (std::size_t k = 0; k < layout_.keys.size(); ++k) {
    if (layout_.keys[k].flags & KeyFlag::DYNAMIC) continue;
    const auto oldEntry = encoder.entry(table_, k, oldImage.data(), recordNumber);
    const auto newEntry = encoder.entry(table_, k, newImage.data(), recordNumber);
    if (sameEntry(oldEntry, newEntry) || (!oldEntry && !newEntry)) continue;
    if (!maintained(k)) {
      lowerRebuildMark(static_cast<std::uint8_t>(k), recordNumber);
      continue;
    }
    if (newEntry) {
      TreeRecord existing;
      if (!(layout_.keys[k].flags & KeyFlag::DUP) && container_->find(newEntry->key(), &existing)) {
        if (entryRecordNumber(existing) != recordNumber) {
          journal.undo();
          return FileError::DUPLICATE_KEY;
        }
      } else {
        container_->insert(*newEntry);
        journal.inserted(*newEntry);
        ++deltas[k];
      }
    }
    if (oldEntry) {
      TreeRecord existing;
      if (container_->find(oldEntry->key(), &existing) && entryRecordNumber(existing) == recordNumber &&
          !(newEntry && std::ranges::equal(newEntry->key(), oldEntry->key()))) {
        container_->erase(existing.key());
        journal.erased(existing);
        --deltas[k];
      }
    }
  }
  container_->replace(dataRecord(recordNumber, newImage));
  writeMemos(recordNumber);
  adjustCounters(deltas, 0);
  watchedCopy_.reset();
  return 0;
}

int DataFile::erase() {
  return guarded(true, true, [&] { return deleteRecord(); });
}

int DataFile::deleteRecord() {
  if (currentRecord_ == 0) return FileError::RECORD_NOT_AVAILABLE;
  const std::uint32_t recordNumber = currentRecord_;
  if (int refused = hooks_->lockRecord(*this, recordNumber)) return refused;
  const RecordLock unlock{*this, recordNumber};

  const auto stored = findRecord(recordNumber);
  if (!stored) return FileError::RECORD_NOT_AVAILABLE;
  const Bytes oldImage = windowsImage(stored->payload());
  const KeyEncoder encoder(layout_, tables_);
  std::vector<int> deltas(layout_.keys.size(), 0);
  for (std::size_t k = 0; k < layout_.keys.size(); ++k) {
    if (layout_.keys[k].flags & KeyFlag::DYNAMIC) continue;
    const auto entry = encoder.entry(table_, k, oldImage.data(), recordNumber);
    if (!entry) continue;
    if (!maintained(k)) {
      lowerRebuildMark(static_cast<std::uint8_t>(k), recordNumber);
      continue;
    }
    TreeRecord existing;
    if (container_->find(entry->key(), &existing) && entryRecordNumber(existing) == recordNumber) {
      container_->erase(existing.key());
      deltas[k] = -1;
    }
  }
  eraseMemos(recordNumber);
  container_->erase(stored->key());
  adjustCounters(deltas, -1);
  currentRecord_ = 0;
  watchedCopy_.reset();
  return 0;
}

// --- GET, SET, NEXT, PREVIOUS, RECORDS ----------------------------------------

int DataFile::watch() {
  clearError();
  if (!container_) return setError(FileError::FILE_NOT_OPEN);
  watchArmed_ = true;
  return 0;
}

// data may lie in the page cache: it is used up before readMemos() reads on.
int DataFile::readRecord(std::uint32_t recordNumber, const TreeRecord& data) {
  if (data.payload().size() != layout_.recordLength) throw InternalError{RecordDamage::RECORD_LENGTH};
  if (int refused = hooks_->recordRead(*this, recordNumber)) return refused;
  const ByteView stored = data.payload();
  std::copy(stored.begin(), stored.end(), buffer_);
  std::optional<Bytes> watched;
  if (watchArmed_) watched.emplace(stored.begin(), stored.end());
  if (tables_.oem) convertRecordText(layout_, buffer_, false);
  readMemos(recordNumber);
  currentRecord_ = recordNumber;
  watchedCopy_ = std::move(watched);
  watchArmed_ = false;
  return 0;
}

int DataFile::get(std::uint32_t pointer) {
  return guarded(true, false, [&] {
    const TreeRecord* data = peekRecord(pointer);
    if (!data) return FileError::RECORD_NOT_FOUND;
    return readRecord(pointer, *data);
  });
}

int DataFile::getByKey(std::size_t key) {
  return guarded(true, false, [&] {
    if (!checkKeyNumber(key)) return FileError::RECORD_NOT_FOUND;
    const KeyEncoder encoder(layout_, tables_);
    const Bytes probe = encoder.keyValue(table_, key, buffer_);
    TreeRecord entry;
    // A unique key's entry is the value itself; duplicates carry the record
    // number behind it, so the first of them is the first key above the value.
    bool found = isDynamic(key) ? dynamic_.find(key, probe, &entry) : container_->find(probe, &entry);
    if (!found) {
      if (const TreeRecord* above = peekEntry(static_cast<std::uint8_t>(key), true, probe, entry)) {
        entry = *above;
        found = entry.key().size() == probe.size() + 4 && std::equal(probe.begin(), probe.end(), entry.key().begin());
      }
    }
    if (!found) return FileError::RECORD_NOT_FOUND;
    const auto recordNumber = entryRecordNumber(entry);
    const TreeRecord* data = recordNumber ? peekRecord(*recordNumber) : nullptr;
    if (!data) throw InternalError{RecordDamage::ENTRY_WITHOUT_RECORD};
    return readRecord(*recordNumber, *data);
  });
}

int DataFile::setKey(std::size_t key) {
  return guarded(true, false, [&] {
    if (!checkKeyNumber(key)) return FileError::RECORD_NOT_AVAILABLE;
    cursor_ = std::make_unique<Cursor>();
    cursor_->kind = static_cast<std::uint8_t>(key);
    cursor_->nextProbe = kindPrefix(table_, cursor_->kind);
    cursor_->previousProbe = kindUpperBound(table_, cursor_->kind);
    return 0;
  });
}

int DataFile::setKeyFromBuffer(std::size_t key) {
  return guarded(true, false, [&] {
    if (!checkKeyNumber(key)) return FileError::RECORD_NOT_AVAILABLE;
    const KeyEncoder encoder(layout_, tables_);
    cursor_ = std::make_unique<Cursor>();
    cursor_->kind = static_cast<std::uint8_t>(key);
    // A probe that is a prefix of an entry sorts before it: NEXT finds the
    // first entry >= the values. PREVIOUS finds the last entry <= them.
    cursor_->nextProbe = encoder.keyValue(table_, key, buffer_);
    cursor_->previousProbe = cursor_->nextProbe;
    cursor_->previousProbe.insert(cursor_->previousProbe.end(), 5, 0xFF);
    return 0;
  });
}

int DataFile::setFile() {
  return guarded(true, false, [&] {
    cursor_ = std::make_unique<Cursor>();
    cursor_->kind = RecordKind::DATA;
    cursor_->nextProbe = kindPrefix(table_, RecordKind::DATA);
    cursor_->previousProbe = kindUpperBound(table_, RecordKind::DATA);
    return 0;
  });
}

int DataFile::next() { return stepRepeatingHeld(true); }

int DataFile::previous() { return stepRepeatingHeld(false); }

// Under a hold, a step that meets a record another process holds (43) is
// repeated, each time as an operation of its own (so a committing writer is
// not kept out meanwhile), until the hold's time limit has passed.
int DataFile::stepRepeatingHeld(bool forward) {
  int rc = guarded(true, false, [&] { return step(forward); });
  if (rc != FileError::RECORD_ALREADY_HELD) return rc;
  // The clock is read only once a step is refused: a walk over a whole file
  // takes millions of steps that never are.
  const auto start = std::chrono::steady_clock::now();
  while (rc == FileError::RECORD_ALREADY_HELD) {
    FileLocks* locks = locksOf(hooks_);
    if (!locks || !locks->mayRepeatHeldStep(start)) break;
    rc = guarded(true, false, [&] { return step(forward); });
  }
  return rc;
}

int DataFile::step(bool forward) {
  if (!cursor_) return FileError::RECORD_NOT_AVAILABLE;
  // found may lie in the page cache: what the step needs of it (its key, the
  // record number) is taken before the next container call.
  TreeRecord scratch;
  const TreeRecord* found =
      peekEntry(cursor_->kind, forward, forward ? ByteView(cursor_->nextProbe) : ByteView(cursor_->previousProbe), scratch);
  if (!found || !hasKindPrefix(found->key(), table_, cursor_->kind)) return FileError::RECORD_NOT_AVAILABLE;
  Bytes foundKey(found->key().begin(), found->key().end());
  // The cursor moves only onto a record that was read: a step refused by a
  // hold (43) can be repeated and meets the same record again.
  int rc = 0;
  if (cursor_->kind == RecordKind::DATA) {
    if (foundKey.size() != DATA_KEY_BYTES) throw InternalError{RecordDamage::RECORD_LENGTH};
    rc = readRecord(getBigEndian32(foundKey.data() + 5), *found);
  } else {
    auto recordNumber = entryRecordNumber(*found);
    const TreeRecord* data = recordNumber ? peekRecord(*recordNumber) : nullptr;
    // A dynamic index is not maintained record by record: it skips entries
    // of records deleted since it was built.
    while (!data && isDynamic(cursor_->kind)) {
      found = peekEntry(cursor_->kind, forward, foundKey, scratch);
      if (!found || !hasKindPrefix(found->key(), table_, cursor_->kind)) return FileError::RECORD_NOT_AVAILABLE;
      foundKey.assign(found->key().begin(), found->key().end());
      recordNumber = entryRecordNumber(*found);
      data = recordNumber ? peekRecord(*recordNumber) : nullptr;
    }
    if (!data) throw InternalError{RecordDamage::ENTRY_WITHOUT_RECORD};
    rc = readRecord(*recordNumber, *data);
  }
  if (rc != 0) return rc;
  cursor_->nextProbe = std::move(foundKey);
  cursor_->previousProbe = cursor_->nextProbe;
  return 0;
}

std::uint32_t DataFile::records() {
  std::uint32_t count = 0;
  guarded(true, false, [&] {
    count = counterValue(RecordKind::DATA);
    return 0;
  });
  return count;
}

std::uint32_t DataFile::records(std::size_t key) {
  std::uint32_t count = 0;
  guarded(true, false, [&] {
    if (!checkKeyNumber(key)) return FileError::RECORD_NOT_AVAILABLE;
    count = isDynamic(key) ? dynamic_.count(key) : counterValue(static_cast<std::uint8_t>(key));
    return 0;
  });
  return count;
}

// --- Walks over dynamic indexes ------------------------------------------------

bool DataFile::isDynamic(std::size_t key) const {
  return key < layout_.keys.size() && (layout_.keys[key].flags & KeyFlag::DYNAMIC) != 0;
}

// The record after (forward) or before a probe, for a walk over records of
// one kind: a dynamic index's entries live in memory, everything else in the
// tree.
const TreeRecord* DataFile::peekEntry(std::uint8_t kind, bool forward, ByteView probe, TreeRecord& scratch) {
  if (isDynamic(kind)) {
    const bool any = forward ? dynamic_.findFirstGreater(kind, probe, &scratch) : dynamic_.findLastLess(kind, probe, &scratch);
    return any ? &scratch : nullptr;
  }
  return forward ? container_->peekFirstGreater(probe) : container_->peekLastLess(probe);
}

}  // namespace glimra::datafile
