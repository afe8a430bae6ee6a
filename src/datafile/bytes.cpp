// SPDX-License-Identifier: GPL-3.0-or-later
#include "datafile/bytes.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace glimra::datafile {

// Short keys (an inner page's separators are 8 to 16 bytes) are compared
// eight bytes at a time as big-endian words, whose unsigned order is the
// bytes' order, without a call; longer ones (key entries, with their long
// shared prefixes) go to memcmp, which is faster on long equal runs.
int compareKeys(ByteView a, ByteView b) {
  const std::size_t n = std::min(a.size(), b.size());
  if (n > 16) {
    const int c = std::memcmp(a.data(), b.data(), n);
    if (c != 0) return c < 0 ? -1 : 1;
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
  }
  const std::uint8_t* x = a.data();
  const std::uint8_t* y = b.data();
  std::size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    std::uint64_t u, v;
    std::memcpy(&u, x + i, 8);
    std::memcpy(&v, y + i, 8);
    if (u != v) {
      if constexpr (std::endian::native == std::endian::little) {
        u = __builtin_bswap64(u);
        v = __builtin_bswap64(v);
      }
      return u < v ? -1 : 1;
    }
  }
  for (; i < n; ++i)
    if (x[i] != y[i]) return x[i] < y[i] ? -1 : 1;
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

}  // namespace glimra::datafile
