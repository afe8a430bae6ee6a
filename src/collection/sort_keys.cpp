// SPDX-License-Identifier: GPL-3.0-or-later
#include "collection/sort_keys.h"

#include <algorithm>
#include <string>

#include "collection/fixed_text.h"
#include "collection/record_search.h"

namespace glimra::collection {

// Both texts upper-cased and blank-padded to the longer, compared byte by
// byte; folded as it goes, without copies (a list load compares every entry
// some seventeen times).
std::weak_ordering compareSortKeys(std::string_view a, std::string_view b) {
  const auto& upper = upperCp1252Table();
  const std::size_t n = std::max(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const unsigned char x = i < a.size() ? upper[static_cast<unsigned char>(a[i])] : ' ';
    const unsigned char y = i < b.size() ? upper[static_cast<unsigned char>(b[i])] : ' ';
    if (x != y) return x < y ? std::weak_ordering::less : std::weak_ordering::greater;
  }
  return std::weak_ordering::equivalent;
}

void buildKeys(GlRecord& GL) {
  const std::string name(GL.NAME.clipped());
  const std::string series(GL.SERIES.clipped());
  if (GL.SERIES.isBlank()) {
    GL.NAMEKEY = name;
    GL.SERIESKEY = " (" + name + ")";
  } else {
    GL.NAMEKEY = name + " (" + series + ")";
    GL.SERIESKEY = series + " (" + name + ")";
  }
}

}  // namespace glimra::collection
