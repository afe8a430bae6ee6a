// SPDX-License-Identifier: GPL-3.0-or-later
// DynamicIndexes: the entries of a table's dynamic indexes (keys declared
// without components, flag 0x40), which never reach the file. They live here
// for as long as the file is open, start empty at every OPEN, and exist only
// once a build has filled them.
//
// Entries have exactly the bytes they would have in the tree (table number +
// key number + encoded components [+ record number], payload record number),
// so a cursor walks them with the same probes as stored keys. Within one index
// keys are unique and held in unsigned byte-wise order.
#pragma once

#include <cstdint>
#include <map>

#include "datafile/container.h"

namespace glimra::datafile {

class DynamicIndexes {
 public:
  // Forget every index (OPEN, CLOSE) or one (the start of its build).
  void clear() { indexes_.clear(); }
  void clear(std::size_t key) { indexes_.erase(key); }
  // Whether a build has filled the index since the file was opened.
  bool built(std::size_t key) const { return indexes_.contains(key); }
  // Makes the index exist (empty) so that built() answers true.
  void start(std::size_t key) { indexes_[key]; }

  // false when an entry with that key is already held.
  bool insert(std::size_t key, const TreeRecord& entry);
  bool find(std::size_t key, ByteView entryKey, TreeRecord* out) const;
  bool findFirstGreater(std::size_t key, ByteView probe, TreeRecord* out) const;
  bool findLastLess(std::size_t key, ByteView probe, TreeRecord* out) const;
  std::uint32_t count(std::size_t key) const;

 private:
  // Entry key -> whole entry. std::less over byte vectors is the unsigned
  // byte-wise order with the shorter key first, the tree's order.
  using Index = std::map<Bytes, TreeRecord, std::less<>>;
  std::map<std::size_t, Index> indexes_;
};

}  // namespace glimra::datafile
