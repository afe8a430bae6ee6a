// SPDX-License-Identifier: GPL-3.0-or-later
// RecordBytes: the bytes of one tree record, held inline when they are short.
//
// Most records of a tree are short: every separator of an inner page is a key
// of 8 to 16 bytes, and a walk decodes an inner page of a hundred or more of
// them whenever the cache has let it go. Holding up to kInline bytes inside
// the object spares those records a heap block each; longer records (key
// entries, data records, memo pieces) live on the heap as before. The object
// is as large as the vector it replaced (a TreeRecord stays 32 bytes), so a
// page's records shift as cheaply as before.
//
// It offers the part of std::vector<std::uint8_t> that the engine uses, with
// raw pointers as iterators, so ByteView and the standard algorithms take it
// as they took the vector.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <span>
#include <vector>

namespace glimra::datafile {

class RecordBytes {
 public:
  static constexpr std::size_t kInline = 16;

  using value_type = std::uint8_t;
  using size_type = std::size_t;
  using iterator = std::uint8_t*;
  using const_iterator = const std::uint8_t*;

  RecordBytes() = default;
  RecordBytes(const RecordBytes& other) { assign(other.begin(), other.end()); }
  RecordBytes(RecordBytes&& other) noexcept { take(other); }
  RecordBytes(std::span<const std::uint8_t> bytes) { assign(bytes.begin(), bytes.end()); }
  RecordBytes(const std::vector<std::uint8_t>& bytes) { assign(bytes.begin(), bytes.end()); }
  RecordBytes(std::initializer_list<std::uint8_t> bytes) { assign(bytes.begin(), bytes.end()); }
  ~RecordBytes() { release(); }

  RecordBytes& operator=(const RecordBytes& other) {
    if (this != &other) assign(other.begin(), other.end());
    return *this;
  }
  RecordBytes& operator=(RecordBytes&& other) noexcept {
    if (this != &other) {
      release();
      take(other);
    }
    return *this;
  }
  RecordBytes& operator=(std::span<const std::uint8_t> bytes) {
    assign(bytes.begin(), bytes.end());
    return *this;
  }
  RecordBytes& operator=(const std::vector<std::uint8_t>& bytes) {
    assign(bytes.begin(), bytes.end());
    return *this;
  }
  RecordBytes& operator=(std::initializer_list<std::uint8_t> bytes) {
    assign(bytes.begin(), bytes.end());
    return *this;
  }

  std::uint8_t* data() { return onHeap() ? store_.heap : store_.local; }
  const std::uint8_t* data() const { return onHeap() ? store_.heap : store_.local; }
  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  std::size_t capacity() const { return capacity_; }
  iterator begin() { return data(); }
  iterator end() { return data() + size_; }
  const_iterator begin() const { return data(); }
  const_iterator end() const { return data() + size_; }
  std::uint8_t& operator[](std::size_t i) { return data()[i]; }
  std::uint8_t operator[](std::size_t i) const { return data()[i]; }
  std::uint8_t& back() { return data()[size_ - 1]; }

  void clear() { size_ = 0; }
  void reserve(std::size_t n) {
    if (n > capacity_) grow(n);
  }
  void resize(std::size_t n) {
    reserve(n);
    if (n > size_) std::memset(data() + size_, 0, n - size_);
    size_ = std::uint32_t(n);
  }
  // Sets the size without zeroing the new bytes: for a caller that writes
  // every one of them next.
  void resizeForOverwrite(std::size_t n) {
    reserve(n);
    size_ = std::uint32_t(n);
  }
  void push_back(std::uint8_t b) {
    if (size_ == capacity_) grow(std::size_t(capacity_) * 2);
    data()[size_++] = b;
  }
  void pop_back() { --size_; }

  template <class It>
  void assign(It first, It last) {
    const auto n = std::size_t(std::distance(first, last));
    size_ = 0;
    reserve(n);
    std::copy(first, last, data());
    size_ = std::uint32_t(n);
  }

  // Inserts [first, last) before pos; the source must not lie inside this record.
  template <class It>
  iterator insert(const_iterator pos, It first, It last) {
    const std::size_t at = std::size_t(pos - begin());
    const auto n = std::size_t(std::distance(first, last));
    if (size_ + n > capacity_) grow(std::max<std::size_t>(size_ + n, std::size_t(capacity_) * 2));
    std::uint8_t* d = data();
    std::memmove(d + at + n, d + at, size_ - at);
    std::copy(first, last, d + at);
    size_ += std::uint32_t(n);
    return d + at;
  }

  iterator insert(const_iterator pos, std::initializer_list<std::uint8_t> bytes) {
    return insert(pos, bytes.begin(), bytes.end());
  }

  friend bool operator==(const RecordBytes& a, const RecordBytes& b) {
    return a.size_ == b.size_ && std::memcmp(a.data(), b.data(), a.size_) == 0;
  }

 private:
  bool onHeap() const { return capacity_ > kInline; }

  void grow(std::size_t n) {
    auto* block = new std::uint8_t[n];
    std::memcpy(block, data(), size_);
    release();
    store_.heap = block;
    capacity_ = std::uint32_t(n);
  }
  void release() {
    if (onHeap()) delete[] store_.heap;
    capacity_ = kInline;
  }
  // Takes other's bytes and leaves other empty and inline. The storage is
  // copied whole (the heap pointer or the inline bytes), without a branch:
  // records move often, every insert into a page shifts the ones after it.
  void take(RecordBytes& other) {
    size_ = other.size_;
    capacity_ = other.capacity_;
    std::memcpy(&store_, &other.store_, sizeof store_);
    other.size_ = 0;
    other.capacity_ = kInline;
  }

  std::uint32_t size_ = 0;
  std::uint32_t capacity_ = kInline;
  union Store {
    std::uint8_t local[kInline];
    std::uint8_t* heap;
  } store_;
};

}  // namespace glimra::datafile
