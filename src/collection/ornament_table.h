// SPDX-License-Identifier: GPL-3.0-or-later
// A second table of the collection file whose records belong to ornaments:
// each ornament's records form a list, keyed by the ornament's identity and
// a position (1, 2, …) in its first key. The photo index and the valuations
// are such tables; this is what they share, so that opening, reading an
// ornament's list, creating the table and replacing a list are written once.
//
// A file without the table opens as empty: the table is created the first
// time a list gets an entry, so a collection that never had one stays byte
// for byte what it was. Opened beside the program's open collection
// (read/write, deny write) the table joins that open: one handle, its locks
// and its transaction. Failures come back as the data file's error codes.
//
// Format says what the table holds:
//   using Record = …; using Entry = …;        // stored record, what callers use
//   static constexpr const char* TABLE;        // the table's name in the file
//   static const datafile::TableDeclaration& declaration();
//   static Entry entryOf(const Record&);
//   static void fill(Record&, OrnamentId, std::int32_t position, const Entry&);
// Record has the fields ORNAMENTDATE, ORNAMENTTIME and POSITION.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "collection/ornament_identity.h"
#include "datafile/datafile.h"
#include "datafile/file_errors.h"

namespace glimra::collection {

// A field of such a table's declaration; a text field gets the picture that
// shows it whole.
inline datafile::FieldDeclaration ornamentTableField(datafile::FieldType type, std::size_t offset, const char* name,
                                                     std::size_t size) {
  datafile::FieldDeclaration f;
  f.type = type;
  f.offset = static_cast<std::uint16_t>(offset);
  f.name = name;
  f.size = static_cast<std::uint16_t>(size);
  if (type == datafile::FieldType::STRING) f.picture = "@s" + std::to_string(size);
  return f;
}

// The first key of such a table: unique, the identity (fields 0 and 1, the
// date and time of the ornament's created stamp) and the position (field 2).
inline datafile::KeyDeclaration ornamentTableKey(const char* name) {
  datafile::KeyDeclaration key;
  key.name = name;
  key.flags = 0;
  key.components = {datafile::KeyComponent{0, false}, datafile::KeyComponent{1, false},
                    datafile::KeyComponent{2, false}};
  return key;
}

template <class Format>
class OrnamentTable {
 public:
  using Record = typename Format::Record;
  using Entry = typename Format::Entry;

  explicit OrnamentTable(datafile::FileSystem& fileSystem) : file_(fileSystem) {
    file_.declare(Format::declaration(), &record_);
  }
  OrnamentTable(const OrnamentTable&) = delete;
  OrnamentTable& operator=(const OrnamentTable&) = delete;

  // Opens the table of the collection file at collectionPath. A file without
  // the table opens as empty (0); other failures give the error code.
  int open(const std::string& collectionPath, datafile::OpenMode mode) {
    close();
    mode_ = mode;
    file_.setName(collectionPath + "\\!" + Format::TABLE);
    const int error = file_.open(mode);
    absent_ = error == datafile::FileError::FILE_NOT_FOUND;
    return absent_ ? 0 : error;
  }
  void close() {
    if (file_.isOpen()) file_.close();
    absent_ = false;
  }
  // Whether the file holds the table.
  bool present() const { return file_.isOpen() && !absent_; }

  // Creates the table when the file has none (outside any transaction: a
  // table is created on its own).
  int ensureTable() {
    if (!absent_) return 0;
    if (file_.create() != 0) return file_.errorCode();
    if (file_.open(mode_) != 0) return file_.errorCode();
    absent_ = false;
    return 0;
  }

  // The table's file object: its error of the last failed operation.
  const datafile::DataFile& file() const { return file_; }
  datafile::DataFile& file() { return file_; }

 protected:
  // The ornament's entries in position order.
  int listOf(OrnamentId ornament, std::vector<Entry>* entries) {
    entries->clear();
    if (absent_) return 0;
    Format::fill(record_, ornament, 0, Entry{});
    if (file_.setKeyFromBuffer(ORNAMENT_KEY) != 0) return file_.errorCode();
    while (file_.next() == 0) {
      if (OrnamentId{record_.ORNAMENTDATE, record_.ORNAMENTTIME} != ornament) return 0;
      entries->push_back(Format::entryOf(record_));
    }
    return walkEnded();
  }

  // Every ornament that has entries, in identity order, each list in
  // position order: read in record order (no key lookups), then sorted.
  template <class List, std::vector<Entry> List::*entries>
  int allInto(std::vector<List>* lists) {
    lists->clear();
    if (absent_) return 0;
    struct Read {
      OrnamentId ornament;
      std::int32_t position;
      Entry entry;
    };
    std::vector<Read> read;
    if (file_.setFile() != 0) return file_.errorCode();
    while (file_.next() == 0)
      read.push_back({{record_.ORNAMENTDATE, record_.ORNAMENTTIME}, record_.POSITION, Format::entryOf(record_)});
    if (const int error = walkEnded(); error != 0) return error;
    std::sort(read.begin(), read.end(), [](const Read& a, const Read& b) {
      return a.ornament != b.ornament ? a.ornament < b.ornament : a.position < b.position;
    });
    for (Read& r : read) {
      if (lists->empty() || lists->back().ornament != r.ornament) lists->push_back(List{r.ornament, {}});
      (lists->back().*entries).push_back(std::move(r.entry));
    }
    return 0;
  }

  // The ornament's list becomes `list`, in that order (none removes it).
  // Inside the caller's transaction when one is open (LOGOUT on the
  // collection takes this table in), else in a transaction of its own. The
  // table must exist unless `list` is empty.
  int replaceList(OrnamentId ornament, const std::vector<Entry>& list) {
    if (absent_) return list.empty() ? 0 : datafile::FileError::FILE_NOT_FOUND;
    const bool own = !file_.inTransaction();
    if (own && file_.logout() != 0) return file_.errorCode();
    int error = removeList(ornament);
    std::int32_t position = 0;
    for (std::size_t i = 0; error == 0 && i < list.size(); ++i) {
      Format::fill(record_, ornament, ++position, list[i]);
      if (file_.add() != 0) error = file_.errorCode();
    }
    if (!own) return error;
    if (error != 0) {
      file_.rollback();
      return error;
    }
    return file_.commit();
  }

 private:
  // The first key of every such table: identity, then position.
  static constexpr std::size_t ORNAMENT_KEY = 0;

  int walkEnded() const {
    return file_.errorCode() == datafile::FileError::RECORD_NOT_AVAILABLE ? 0 : file_.errorCode();
  }

  int removeList(OrnamentId ornament) {
    for (;;) {
      Format::fill(record_, ornament, 0, Entry{});
      if (file_.setKeyFromBuffer(ORNAMENT_KEY) != 0) return file_.errorCode();
      if (file_.next() != 0) return walkEnded();
      if (OrnamentId{record_.ORNAMENTDATE, record_.ORNAMENTTIME} != ornament) return 0;
      if (file_.erase() != 0) return file_.errorCode();
    }
  }

  datafile::DataFile file_;
  Record record_{};
  datafile::OpenMode mode_{};
  bool absent_ = false;
};

}  // namespace glimra::collection
