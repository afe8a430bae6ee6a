// SPDX-License-Identifier: GPL-3.0-or-later
// Queue<Entry>: an in-memory list of fixed-layout entries with 1-based
// positions and one entry buffer, the way the program's lists work.
//
// The program fills `buffer` and appends or inserts it; reading an entry copies
// it into `buffer` and remembers its position ("the entry last read"), which a
// delete then removes. Ordered inserts compare the given key fields in order,
// text ignoring trailing blanks, and place a new entry after its equals; the
// place is found by binary search, so it is exact while the list is in the
// order of those keys (an entry appended out of order, such as a pending blank
// row, can make a later insert land beside it instead of in its exact place).
//
// Invariants: entries are kept in blocks of at most 2 * kBlock entries, none
// empty, so an ordered insert costs a binary search plus a move inside one
// block, and a load of n entries is not quadratic. A position walk from 1 to
// count() reuses the block found last, so it stays linear. Every operation
// sets lastError() (0, or kEntryNotFound with its text).
//
// Entry must be trivially copyable. clearBuffer() calls Entry::clear() when the
// entry has one (blank text, zero numbers), else value-initialises it.
#pragma once

#include <algorithm>
#include <compare>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "runtime/last_error.h"
#include "runtime/list_source.h"
#include "text/fixed_text.h"

namespace glimra::runtime {

// Eight bytes as a word whose unsigned order is the bytes' order.
inline std::uint64_t bigEndianWord(const unsigned char* bytes) {
  std::uint64_t word = 0;
  for (int i = 0; i < 8; ++i) word = (word << 8) | bytes[i];
  return word;
}

template <class Entry>
class Queue {
  static_assert(std::is_trivially_copyable_v<Entry>, "queue entries are plain records");

 public:
  Entry buffer;

  Queue() { clearBuffer(); }

  int count() const { return static_cast<int>(count_); }
  bool empty() const { return count_ == 0; }
  // Position of the entry last read, inserted or appended; 0 when none.
  int position() const { return static_cast<int>(lastPosition_); }

  void clearBuffer() {
    if constexpr (requires(Entry& e) { e.clear(); }) {
      buffer.clear();
    } else {
      buffer = Entry{};
    }
  }

  // Appends the buffer at the end.
  void append() {
    // A new block is made whole at once: a load appends thousands of
    // entries, and a block grown step by step would copy them again and again.
    if (blocks_.empty() || blocks_.back().size() >= 2 * kBlock) blocks_.emplace_back().reserve(2 * kBlock);
    blocks_.back().push_back(buffer);
    ++count_;
    lastPosition_ = count_;
    forgetCache();
    clearLastError();
  }

  // Inserts the buffer in ascending order of the given key fields, after the
  // entries whose keys equal it.
  template <class... Field>
  void insertOrdered(Field Entry::*... keys) {
    static_assert(sizeof...(keys) > 0, "name at least one key field");
    insertOrderedBy([&](const Entry& a, const Entry& b) { return compareKeys(a, b, keys...); });
  }

  // Inserts the buffer in the order `compare(a, b)` gives (an ordering of two
  // entries), after the entries that compare equal to it.
  template <class Compare>
  void insertOrderedBy(Compare compare) {
    auto greater = [&](const Entry& entry) { return compare(entry, buffer) > 0; };
    if (blocks_.empty()) {
      append();
      return;
    }
    // The first block whose last entry sorts after the buffer takes it.
    std::size_t block = 0, start = 0;
    {
      std::size_t lo = 0, hi = blocks_.size();
      while (lo < hi) {
        const std::size_t mid = (lo + hi) / 2;
        if (greater(blocks_[mid].back())) hi = mid; else lo = mid + 1;
      }
      block = lo == blocks_.size() ? blocks_.size() - 1 : lo;
    }
    for (std::size_t b = 0; b < block; ++b) start += blocks_[b].size();
    auto& entries = blocks_[block];
    const auto at = std::partition_point(entries.begin(), entries.end(),
                                         [&](const Entry& e) { return !greater(e); });
    const std::size_t offset = static_cast<std::size_t>(at - entries.begin());
    entries.insert(at, buffer);
    ++count_;
    lastPosition_ = start + offset + 1;
    if (entries.size() > 2 * kBlock) {
      std::vector<Entry> tail(entries.begin() + kBlock, entries.end());
      entries.resize(kBlock);
      blocks_.insert(blocks_.begin() + static_cast<std::ptrdiff_t>(block) + 1, std::move(tail));
    }
    forgetCache();
    clearLastError();
  }

  // Puts the entries in the byte order of their sort keys (equals keep the
  // order they stand in): writeKey(entry, out) writes an entry's key of
  // keyLength bytes to out. Entries appended to an empty list and then
  // sorted stand as an ordered insert would have placed them one by one,
  // when the keys' byte order is that insert's order; one key per entry and
  // one sort cost less than a search and a move inside a block per entry.
  template <class WriteKey>
  void sortByKey(std::size_t keyLength, WriteKey writeKey) {
    std::vector<Entry*> entries;
    entries.reserve(count_);
    for (auto& block : blocks_)
      for (Entry& entry : block) entries.push_back(&entry);
    std::vector<unsigned char> keys(entries.size() * keyLength);
    for (std::size_t i = 0; i < entries.size(); ++i) writeKey(*entries[i], keys.data() + i * keyLength);
    // The sort moves small items held side by side: the first 32 bytes of
    // each key as four words, and its index. The rest of a key is read only
    // where two agree in those 32 bytes, and the index keeps equals in the
    // order they stood in.
    constexpr std::size_t kWords = 4;
    struct Item {
      std::uint64_t head[kWords];
      std::uint32_t index;
    };
    const std::size_t headBytes = std::min<std::size_t>(keyLength, 8 * kWords);
    std::vector<Item> order(entries.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
      unsigned char head[8 * kWords] = {};
      std::memcpy(head, keys.data() + i * keyLength, headBytes);
      for (std::size_t w = 0; w < kWords; ++w) order[i].head[w] = bigEndianWord(head + 8 * w);
      order[i].index = static_cast<std::uint32_t>(i);
    }
    std::sort(order.begin(), order.end(), [](const Item& a, const Item& b) {
      for (std::size_t w = 0; w < kWords; ++w)
        if (a.head[w] != b.head[w]) return a.head[w] < b.head[w];
      return a.index < b.index;
    });
    // Entries that agree in the first 32 bytes (a collection holds many
    // ornaments of one name) are then put in the order of the rest of their
    // keys, run by run: the rest of each key in a run is copied side by side
    // once (asked for from memory some places ahead), and the run is sorted
    // there, instead of a comparison reading two keys from far away.
    if (keyLength > headBytes) {
      const std::size_t restLength = keyLength - headBytes;
      auto sameHead = [&](std::size_t a, std::size_t b) {
        return std::equal(std::begin(order[a].head), std::end(order[a].head), std::begin(order[b].head));
      };
      constexpr std::size_t kAhead = 16;
      auto askFor = [&](std::size_t at) {
        if (at >= order.size()) return;
        const unsigned char* rest = keys.data() + order[at].index * keyLength + headBytes;
        for (std::size_t line = 0; line < restLength; line += 64) __builtin_prefetch(rest + line);
      };
      std::vector<unsigned char> runRests;
      std::vector<std::uint32_t> runOrder, runIndex;
      for (std::size_t first = 0; first < order.size();) {
        std::size_t end = first + 1;
        while (end < order.size() && sameHead(first, end)) ++end;
        const std::size_t size = end - first;
        if (size > 1) {
          runRests.resize(size * restLength);
          runOrder.resize(size);
          runIndex.resize(size);
          for (std::size_t k = 0; k < size; ++k) {
            askFor(first + k + kAhead);
            runIndex[k] = order[first + k].index;
            runOrder[k] = static_cast<std::uint32_t>(k);
            std::memcpy(runRests.data() + k * restLength, keys.data() + runIndex[k] * keyLength + headBytes,
                        restLength);
          }
          // The run stands in index order, which a stable sort keeps for equals.
          std::stable_sort(runOrder.begin(), runOrder.end(), [&](std::uint32_t a, std::uint32_t b) {
            return std::memcmp(runRests.data() + a * restLength, runRests.data() + b * restLength, restLength) < 0;
          });
          for (std::size_t k = 0; k < size; ++k) order[first + k].index = runIndex[runOrder[k]];
        }
        first = end;
      }
    }
    // The entries take their new places where they stand, one cycle of the
    // permutation at a time: no second copy of the list is made (a large
    // list would be written to fresh memory), and each entry is read once
    // where it was and written once where it goes. The entry two steps
    // along the cycle is asked for from memory ahead of its turn.
    auto prefetch = [&](std::size_t at) {
      const auto* bytes = reinterpret_cast<const char*>(entries[at]);
      for (std::size_t line = 0; line < sizeof(Entry); line += 64) __builtin_prefetch(bytes + line);
    };
    for (std::size_t start = 0; start < order.size(); ++start) {
      if (order[start].index == start) continue;  // in place, or placed already
      const Entry held = *entries[start];
      std::size_t to = start;
      for (;;) {
        const std::size_t from = order[to].index;
        order[to].index = static_cast<std::uint32_t>(to);
        if (from == start) {
          *entries[to] = held;
          break;
        }
        const std::size_t next = order[from].index;
        if (next != start) prefetch(order[next].index);
        *entries[to] = *entries[from];
        to = from;
      }
    }
    lastPosition_ = 0;
    forgetCache();
    clearLastError();
  }

  // Copies the entry at `position` (1..count) into the buffer.
  bool get(int position) {
    const Entry* entry = peek(position);
    if (!entry) return fail();
    buffer = *entry;
    lastPosition_ = static_cast<std::size_t>(position);
    clearLastError();
    return true;
  }

  // Copies the first entry whose key fields equal the buffer's into the buffer.
  template <class... Field>
  bool getByKey(Field Entry::*... keys) {
    static_assert(sizeof...(keys) > 0, "name at least one key field");
    std::size_t position = 0;
    for (const auto& entries : blocks_) {
      for (const Entry& entry : entries) {
        ++position;
        if (compareKeys(entry, buffer, keys...) == 0) {
          buffer = entry;
          lastPosition_ = position;
          clearLastError();
          return true;
        }
      }
    }
    return fail();
  }

  // Removes the entry last read; the entry after it takes its position.
  bool deleteLastRead() {
    if (lastPosition_ == 0 || lastPosition_ > count_) return fail();
    auto [block, offset] = locate(lastPosition_ - 1);
    auto& entries = blocks_[block];
    entries.erase(entries.begin() + static_cast<std::ptrdiff_t>(offset));
    if (entries.empty()) blocks_.erase(blocks_.begin() + static_cast<std::ptrdiff_t>(block));
    --count_;
    lastPosition_ = 0;
    forgetCache();
    clearLastError();
    return true;
  }

  // Empties the list (the buffer keeps its contents).
  void removeAll() {
    blocks_.clear();
    count_ = 0;
    lastPosition_ = 0;
    forgetCache();
    clearLastError();
  }

  // The entry at `position` without reading it into the buffer; null when
  // outside 1..count. Does not change position() or lastError().
  const Entry* peek(int position) const {
    if (position < 1 || static_cast<std::size_t>(position) > count_) return nullptr;
    auto [block, offset] = locate(static_cast<std::size_t>(position) - 1);
    return &blocks_[block][offset];
  }

  // A list box source showing one text field of every entry.
  template <std::size_t N>
  std::shared_ptr<ListSource> source(collection::FixedText<N> Entry::*field) const {
    return std::make_shared<FieldSource<N>>(this, field);
  }

 private:
  static constexpr std::size_t kBlock = 128;

  template <std::size_t N>
  class FieldSource final : public ListSource {
   public:
    FieldSource(const Queue* queue, collection::FixedText<N> Entry::*field) : queue_(queue), field_(field) {}
    int count() const override { return queue_->count(); }
    std::string text(int row) const override {
      const Entry* entry = queue_->peek(row);
      return entry ? std::string((entry->*field_).clipped()) : std::string();
    }

   private:
    const Queue* queue_;
    collection::FixedText<N> Entry::*field_;
  };

  template <class T>
  static std::strong_ordering compareField(const Entry& a, const Entry& b, T Entry::*field) {
    if constexpr (requires(const T& t) { t.raw(); }) {
      return collection::compareBlankPadded((a.*field).raw(), (b.*field).raw());
    } else {
      const T x = a.*field;  // by value: the field may sit unaligned in a packed entry
      const T y = b.*field;
      return x <=> y;
    }
  }
  template <class First, class... Rest>
  static std::strong_ordering compareKeys(const Entry& a, const Entry& b, First Entry::*first,
                                          Rest Entry::*... rest) {
    const auto order = compareField(a, b, first);
    if constexpr (sizeof...(rest) == 0) {
      return order;
    } else {
      return order != 0 ? order : compareKeys(a, b, rest...);
    }
  }

  bool fail() {
    setLastError(kEntryNotFound, "Entry Not Found");
    return false;
  }

  // Block and offset of the 0-based index `index` (< count_).
  std::pair<std::size_t, std::size_t> locate(std::size_t index) const {
    if (cacheBlock_ >= blocks_.size() || index < cacheStart_) {
      cacheBlock_ = 0;
      cacheStart_ = 0;
    }
    while (index >= cacheStart_ + blocks_[cacheBlock_].size()) {
      cacheStart_ += blocks_[cacheBlock_].size();
      ++cacheBlock_;
    }
    return {cacheBlock_, index - cacheStart_};
  }
  void forgetCache() {
    cacheBlock_ = 0;
    cacheStart_ = 0;
  }

  std::vector<std::vector<Entry>> blocks_;
  std::size_t count_ = 0;
  std::size_t lastPosition_ = 0;
  mutable std::size_t cacheBlock_ = 0;  // block where the last locate ended
  mutable std::size_t cacheStart_ = 0;  // index of that block's first entry
};

}  // namespace glimra::runtime
