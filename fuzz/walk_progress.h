// SPDX-License-Identifier: GPL-3.0-or-later
// Walks of the fuzz targets that must move strictly onwards. A walk through a
// damaged file may end early in an error, but each step must land on a key
// beyond the last one (before it, walking backwards): a walk that stays or
// turns back would run for ever. Such a walk aborts, so that it becomes a
// finding, instead of being cut off in silence after a number of steps.
//
// The record layer's walks are held to the same rule through their length: a
// walk of one key takes exactly as many steps as the tree holds entries of
// that key, counted with every step checked. A key kept in memory (a dynamic
// index), or one whose count was cut short by damage, keeps a plain limit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <vector>

#include "datafile/container.h"
#include "datafile/datafile.h"
#include "datafile/record_kinds.h"

namespace glimra::datafile::fuzzing {

[[noreturn]] inline void walkStalled(const char* where) {
  std::fprintf(stderr, "a walk does not move onwards: %s\n", where);
  std::abort();
}

struct EntryCount {
  std::size_t forward = 0, backward = 0;
};

// The entries of one kind of a table, walked both ways through the tree with
// every step checked; nullopt when damage ended a walk.
inline std::optional<EntryCount> countEntries(Container& container, std::uint32_t table, std::uint8_t kind) {
  EntryCount count;
  try {
    TreeRecord r;
    Bytes probe = kindPrefix(table, kind);
    while (container.findFirstGreater(probe, &r) && hasKindPrefix(r.key(), table, kind)) {
      if (compareKeys(r.key(), probe) <= 0) walkStalled("the tree, forwards");
      probe.assign(r.key().begin(), r.key().end());
      ++count.forward;
    }
    probe = kindUpperBound(table, kind);
    while (container.findLastLess(probe, &r) && hasKindPrefix(r.key(), table, kind)) {
      if (compareKeys(r.key(), probe) >= 0) walkStalled("the tree, backwards");
      probe.assign(r.key().begin(), r.key().end());
      ++count.backward;
    }
  } catch (const InternalError&) {
    return std::nullopt;
  } catch (const OsFailure&) {
    return std::nullopt;
  }
  return count;
}

// Walks a table through key `key` (or in record order when key is the number
// of keys) in one direction until the walk ends; the records met go to
// `pointers` when given. Aborts when the walk takes more steps than the tree
// holds entries; stops after uncountedLimit steps when they cannot be counted.
inline void walkOnwards(DataFile& file, std::size_t key, bool forward, std::size_t uncountedLimit,
                        std::vector<std::uint32_t>* pointers = nullptr) {
  const std::size_t keys = file.declaration().keys.size();
  if ((key == keys ? file.setFile() : file.setKey(key)) != 0 || !file.container()) return;
  const bool inMemory = key < keys && (file.declaration().keys[key].flags & KeyFlag::DYNAMIC);
  const std::uint8_t kind = key == keys ? RecordKind::DATA : static_cast<std::uint8_t>(key);
  const auto count = inMemory ? std::nullopt : countEntries(*file.container(), file.tableNumber(), kind);
  const std::size_t limit = count ? (forward ? count->forward : count->backward) : uncountedLimit;
  for (std::size_t steps = 0; (forward ? file.next() : file.previous()) == 0; ++steps) {
    if (steps == limit) {
      if (count) walkStalled("the record layer");
      return;
    }
    if (pointers) pointers->push_back(file.pointer());
  }
}

}  // namespace glimra::datafile::fuzzing
