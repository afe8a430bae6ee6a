// SPDX-License-Identifier: GPL-3.0-or-later
// Walks of the fuzz targets that must move strictly onwards. A walk through a
// damaged file may end early in an error, but each step must land on a key
// beyond the last one (before it, walking backwards): a walk that stays or
// turns back would run for ever. Such a walk aborts, so that it becomes a
// finding, instead of being cut off in silence after a number of steps.
//
// The record layer's walks are held to the same rule through their length:
// each of their steps lands on a key beyond the last, so a walk can take no
// more steps than there are entries of its key on the pages the tree reaches
// (WalkBounds). On a damaged tree that bound is not the length of a walk through
// the tree: a step that starts from the page of the last one and a step that
// descends from the root may meet different entries, and the record layer
// reads each record between its steps. Where damage keeps the pages from
// being counted, the bound is what the file could hold at all.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <vector>

#include "datafile/container.h"
#include "datafile/datafile.h"
#include "datafile/page_codec.h"
#include "datafile/record_kinds.h"

namespace glimra::datafile::fuzzing {

[[noreturn]] inline void walkStalled(const char* where) {
  std::fprintf(stderr, "a walk does not move onwards: %s\n", where);
  std::abort();
}

// Walks the entries of one kind of a table both ways through the tree with
// every step checked; a walk that damage ends early is left there.
inline void checkTreeWalks(Container& container, std::uint32_t table, std::uint8_t kind) {
  try {
    TreeRecord r;
    Bytes probe = kindPrefix(table, kind);
    while (container.findFirstGreater(probe, &r) && hasKindPrefix(r.key(), table, kind)) {
      if (compareKeys(r.key(), probe) <= 0) walkStalled("the tree, forwards");
      probe.assign(r.key().begin(), r.key().end());
    }
    probe = kindUpperBound(table, kind);
    while (container.findLastLess(probe, &r) && hasKindPrefix(r.key(), table, kind)) {
      if (compareKeys(r.key(), probe) >= 0) walkStalled("the tree, backwards");
      probe.assign(r.key().begin(), r.key().end());
    }
  } catch (const InternalError&) {
  } catch (const OsFailure&) {
  }
}

// How far a record-layer walk of a table may go: the entries of each kind of
// the table on every page the tree reaches, counted in one pass over the
// pages. An entry on a page reached twice (damage) counts twice: the counts
// bound walks, they need not be exact. Where damage keeps a page from being
// read, every kind gets more than the file could hold at all: a page takes
// at least one unit of the file and holds at most 65,535 records, with room
// for the pages a transaction holds in memory. Made anew whenever the table
// has changed.
class WalkBounds {
 public:
  explicit WalkBounds(DataFile& file) {
    Container* container = file.container();
    if (!container) return;
    const Bytes table = kindPrefix(file.tableNumber(), 0);
    try {
      std::array<std::size_t, 256> counts{};
      container->walkPages([&](const Container::PageInfo& page) {
        if (page.level != 0) return;
        for (const TreeRecord& r : page.records) {
          const ByteView key = r.key();
          if (key.size() > 4 && std::equal(table.begin(), table.begin() + 4, key.begin())) ++counts[key[4]];
        }
      });
      counts_ = counts;
    } catch (const InternalError&) {
    } catch (const OsFailure&) {
    }
    if (!counts_) {
      std::uint64_t bytes = 0;
      try {
        bytes = container->fileBytes();
      } catch (const OsFailure&) {
      }
      beyondTheFile_ = std::size_t(bytes / page::kUnit + 1024) * 65535;
    }
  }
  std::size_t forKind(std::uint8_t kind) const { return counts_ ? (*counts_)[kind] : beyondTheFile_; }

 private:
  std::optional<std::array<std::size_t, 256>> counts_;
  std::size_t beyondTheFile_ = 0;
};

// Walks a table through key `key` (or in record order when key is the number
// of keys) in one direction until the walk ends; the records met go to
// `pointers` when given. The tree's own walks of that key are checked first
// (checkTreeWalks). Aborts when the walk takes more steps than `bounds` (made
// for the table as it is now) allow a walk that moves onwards.
inline void walkOnwards(DataFile& file, std::size_t key, bool forward, const WalkBounds& bounds,
                        std::vector<std::uint32_t>* pointers = nullptr) {
  const std::size_t keys = file.declaration().keys.size();
  if ((key == keys ? file.setFile() : file.setKey(key)) != 0 || !file.container()) return;
  // A key kept in memory (a dynamic index) holds at most one entry per record.
  const bool inMemory = key < keys && (file.declaration().keys[key].flags & KeyFlag::DYNAMIC);
  const std::uint8_t kind = key == keys || inMemory ? RecordKind::DATA : static_cast<std::uint8_t>(key);
  checkTreeWalks(*file.container(), file.tableNumber(), kind);
  const std::size_t limit = bounds.forKind(kind);
  for (std::size_t steps = 0; (forward ? file.next() : file.previous()) == 0; ++steps) {
    if (steps == limit) walkStalled("the record layer");
    if (pointers) pointers->push_back(file.pointer());
  }
}

}  // namespace glimra::datafile::fuzzing
