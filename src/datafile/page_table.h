// SPDX-License-Identifier: GPL-3.0-or-later
// PageTable<Page>: the page cache's pages by reference, owning them (a Page
// carries its own `ref`). An open table of (reference, page) pairs side by
// side, probed in a line from the reference's hashed slot: a lookup usually
// reads one line of memory, where a map of linked nodes reads a bucket and
// then a node somewhere else (a large load meets the table after its walk
// has pushed it out of the processor's cache, once for every page it reads
// and once for every page it drops).
//
// Invariants: the slot count is a power of two, at least twice the pages
// held; every page sits in the unbroken stretch of filled slots that starts
// at its home slot (a removal shifts the stretch back, so no slot is ever
// marked deleted).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

namespace glimra::datafile {

template <class Page>
class PageTable {
 public:
  PageTable() : slots_(std::size_t{1} << kInitialBits) {}

  std::size_t size() const { return size_; }

  // The page under `ref`, or nullptr.
  Page* find(std::int32_t ref) const {
    for (std::size_t at = home(ref);; at = next(at)) {
      const Slot& slot = slots_[at];
      if (!slot.page) return nullptr;
      if (slot.ref == ref) return slot.page.get();
    }
  }

  // Holds the page under its own reference, in place of any page there.
  void insert(std::unique_ptr<Page> page) {
    if (2 * (size_ + 1) > slots_.size()) grow();
    place(std::move(page));
  }

  // Takes the page under `ref` out of the table; nullptr when none.
  std::unique_ptr<Page> extract(std::int32_t ref) {
    std::size_t at = home(ref);
    while (slots_[at].page && slots_[at].ref != ref) at = next(at);
    if (!slots_[at].page) return nullptr;
    std::unique_ptr<Page> page = std::move(slots_[at].page);
    --size_;
    // Shift back the pages after the hole that may sit there: each one
    // whose home slot does not lie in the stretch between the hole and it.
    for (std::size_t hole = at, probe = next(at); slots_[probe].page; probe = next(probe)) {
      const std::size_t homeOf = home(slots_[probe].ref);
      const bool homeBetween = hole <= probe ? hole < homeOf && homeOf <= probe : hole < homeOf || homeOf <= probe;
      if (homeBetween) continue;
      slots_[hole] = std::move(slots_[probe]);
      hole = probe;
    }
    return page;
  }

  void clear() {
    for (Slot& slot : slots_) slot = Slot{};
    size_ = 0;
  }

 private:
  static constexpr int kInitialBits = 10;
  struct Slot {
    std::int32_t ref = 0;
    std::unique_ptr<Page> page;  // empty slot: null
  };

  // The top bits of the reference times a large odd number: references a
  // size class apart (multiples of it) still spread over every slot.
  std::size_t home(std::int32_t ref) const {
    return static_cast<std::size_t>((std::uint32_t(ref) * 2654435761u) >> (32 - bits_));
  }
  std::size_t next(std::size_t at) const { return (at + 1) & (slots_.size() - 1); }

  void place(std::unique_ptr<Page> page) {
    const std::int32_t ref = page->ref;
    std::size_t at = home(ref);
    while (slots_[at].page && slots_[at].ref != ref) at = next(at);
    if (!slots_[at].page) ++size_;
    slots_[at] = Slot{ref, std::move(page)};
  }

  void grow() {
    std::vector<Slot> old(2 * slots_.size());
    old.swap(slots_);
    ++bits_;
    size_ = 0;
    for (Slot& slot : old)
      if (slot.page) place(std::move(slot.page));
  }

  std::vector<Slot> slots_;
  int bits_ = kInitialBits;  // slots_.size() == 1 << bits_
  std::size_t size_ = 0;
};

}  // namespace glimra::datafile
