#include "collection/sort_keys.h"

#include <gtest/gtest.h>

#include <string>

namespace glimra::collection {
namespace {

TEST(BuildKeys, DerivesNameAndSeriesKeys) {
  const std::string name45(45, 'N');
  const std::string series35(35, 'S');
  const struct { std::string name, series, nameKey, seriesKey; } cases[] = {
      {"Star", "", "Star", " (Star)"},
      {"Star", "Winter", "Star (Winter)", "Winter (Star)"},
      {"Star", "     ", "Star", " (Star)"},                       // blanks only: no series
      {"Star   ", "Winter  ", "Star (Winter)", "Winter (Star)"},  // trailing blanks never show
      {"  Star", " Winter", "  Star ( Winter)", " Winter (  Star)"},
      {"star", "WINTER", "star (WINTER)", "WINTER (star)"},         // case as typed
      {"", "", "", " ()"},
      // Full fields: 83 characters cut to 80, losing ")" and two series letters.
      {name45, series35, name45 + " (" + series35.substr(0, 33), series35 + " (" + name45.substr(0, 43)},
  };
  for (const auto& c : cases) {
    GlRecord GL;
    GL.NAMEKEY = "stale";
    GL.NAME = c.name;
    GL.SERIES = c.series;
    buildKeys(GL);
    EXPECT_EQ(GL.NAMEKEY.clipped(), c.nameKey) << "‹" << c.name << "› ‹" << c.series << "›";
    EXPECT_EQ(GL.SERIESKEY.clipped(), c.seriesKey) << "‹" << c.name << "› ‹" << c.series << "›";
  }
}

}  // namespace
}  // namespace glimra::collection
