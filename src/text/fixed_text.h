// SPDX-License-Identifier: GPL-3.0-or-later
// FixedText<N>: fixed-length, blank-padded text of exactly N bytes, as every
// record, list entry and global of the collection keeps its text.
//
// Invariants: the object is exactly N raw bytes (no terminator, no padding,
// alignment 1, trivially copyable), so it can sit inside a packed record whose
// bytes are the stored image. Assigning cuts a longer value and pads a shorter
// one with blanks. Comparisons ignore trailing blanks: a shorter value compares
// as if it were padded with blanks to the longer length. Bytes compare as
// unsigned values. clipped() gives the value without trailing blanks, the form
// in which it is joined to other text.
#pragma once

#include <algorithm>
#include <compare>
#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

namespace glimra::collection {

// Compares two texts as if the shorter were padded with blanks.
inline std::strong_ordering compareBlankPadded(std::string_view a, std::string_view b) {
  const std::size_t n = std::max(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const auto x = static_cast<unsigned char>(i < a.size() ? a[i] : ' ');
    const auto y = static_cast<unsigned char>(i < b.size() ? b[i] : ' ');
    if (x != y) return x <=> y;
  }
  return std::strong_ordering::equal;
}

// A text without its trailing blanks.
inline std::string_view clipTrailingBlanks(std::string_view text) {
  std::size_t end = text.size();
  while (end > 0 && text[end - 1] == ' ') --end;
  return text.substr(0, end);
}

template <std::size_t N>
struct FixedText {
  static_assert(N > 0);
  static constexpr std::size_t size = N;

  char bytes[N];

  // Cuts after N bytes, pads with blanks to N.
  void assign(std::string_view value) {
    const std::size_t n = std::min(value.size(), N);
    std::memcpy(bytes, value.data(), n);
    std::memset(bytes + n, ' ', N - n);
  }
  FixedText& operator=(std::string_view value) {
    assign(value);
    return *this;
  }
  template <std::size_t M>
  FixedText& operator=(const FixedText<M>& other) requires(M != N) {
    assign(other.raw());
    return *this;
  }

  void clear() { std::memset(bytes, ' ', N); }
  bool isBlank() const { return clipped().empty(); }

  // All N bytes, trailing blanks included.
  std::string_view raw() const { return std::string_view(bytes, N); }
  // The value without trailing blanks (leading blanks stay).
  std::string_view clipped() const { return clipTrailingBlanks(raw()); }
  std::string str() const { return std::string(clipped()); }

  bool operator==(std::string_view other) const { return compareBlankPadded(raw(), other) == 0; }
  std::strong_ordering operator<=>(std::string_view other) const {
    return compareBlankPadded(raw(), other);
  }
  template <std::size_t M>
  bool operator==(const FixedText<M>& other) const {
    return compareBlankPadded(raw(), other.raw()) == 0;
  }
  template <std::size_t M>
  std::strong_ordering operator<=>(const FixedText<M>& other) const {
    return compareBlankPadded(raw(), other.raw());
  }
};

}  // namespace glimra::collection
