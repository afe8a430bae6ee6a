// SPDX-License-Identifier: GPL-3.0-or-later
// PackedInt<T>: an integer kept as sizeof(T) little-endian bytes with
// alignment 1, for the numeric fields of a stored record image.
//
// Invariants: trivially copyable, no padding, alignment 1, so a record built
// of such fields has no gaps and no member is ever read or bound at a
// misaligned address. It reads as a T and is assigned from a T.
#pragma once

#include <cstddef>
#include <type_traits>

namespace glimra::collection {

template <typename T>
struct PackedInt {
  static_assert(std::is_integral_v<T>);
  using value_type = T;
  using Unsigned = std::make_unsigned_t<T>;

  unsigned char bytes[sizeof(T)];

  operator T() const { return value(); }
  T value() const {
    Unsigned v = 0;
    for (std::size_t i = sizeof(T); i-- > 0;) v = static_cast<Unsigned>((v << 8) | bytes[i]);
    return static_cast<T>(v);
  }
  PackedInt& operator=(T value) {
    auto v = static_cast<Unsigned>(value);
    for (std::size_t i = 0; i < sizeof(T); ++i) {
      bytes[i] = static_cast<unsigned char>(v & 0xFF);
      v = static_cast<Unsigned>(v >> 8);
    }
    return *this;
  }
};

}  // namespace glimra::collection
