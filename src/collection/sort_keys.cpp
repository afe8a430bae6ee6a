#include "collection/sort_keys.h"

#include <string>

namespace glimra::collection {

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
