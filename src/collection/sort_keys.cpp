// SPDX-License-Identifier: GPL-3.0-or-later
#include "collection/sort_keys.h"

#include <string>

#include "collection/fixed_text.h"
#include "collection/record_search.h"

namespace glimra::collection {

std::weak_ordering compareSortKeys(std::string_view a, std::string_view b) {
  const auto order = compareBlankPadded(upperCp1252(a), upperCp1252(b));
  return order < 0 ? std::weak_ordering::less : order > 0 ? std::weak_ordering::greater : std::weak_ordering::equivalent;
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
