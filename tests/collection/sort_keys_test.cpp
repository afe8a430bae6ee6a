// SPDX-License-Identifier: GPL-3.0-or-later
#include "collection/sort_keys.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

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

TEST(CompareSortKeys, ListsOrderAsAReaderExpectsCaseAndAccentsAside) {
  const struct { std::string a, b; int order; } cases[] = {
      {"angel chime", "Test One", -1},
      {"angel", "Angel", 0},
      {"Bell   ", "bell", 0},                // trailing blanks carry nothing
      {"\xE9glise", "\xC9GLISE", 0},         // é folds to É in Windows-1252
      {"\xC9glise", "Zebra", -1},             // É is listed with E, not after Z
      {"Egg", "\xC9glise", -1},
      {"Apfel", "\xC4pfel", -1},              // the plain letter first where only accents differ
      {"\xC4pfel", "Ast", -1},
      {"\xD6l", "Ost", -1},
      {"\xC6" "ble", "Aeble", 1},                // Æ is AE
      {"\xC6" "ble", "Af", -1},
      {"Stra\xDF" "e", "Strasse", 1},          // ß is SS
      {"Stra\xDF" "e", "Strast", -1},
      {" (angel)", " (Zebra)", -1},
      {"Star", "Star (Winter)", -1},
      {"9 Lives", "Angel", -1},
  };
  for (const auto& c : cases) {
    const auto order = compareSortKeys(c.a, c.b);
    EXPECT_EQ((order < 0) ? -1 : (order > 0) ? 1 : 0, c.order) << c.a << " / " << c.b;
    const auto reverse = compareSortKeys(c.b, c.a);
    EXPECT_EQ((reverse < 0) ? -1 : (reverse > 0) ? 1 : 0, -c.order) << c.b << " / " << c.a;
    // The bytes of the display-order keys order the same way.
    std::vector<unsigned char> x(160), y(160);
    writeDisplayOrderKey(c.a, 80, x.data());
    writeDisplayOrderKey(c.b, 80, y.data());
    EXPECT_EQ((x < y) ? -1 : (y < x) ? 1 : 0, c.order) << c.a << " / " << c.b;
  }
  EXPECT_EQ(baseLetter(0xC4), 'A');  // Ä
  EXPECT_EQ(baseLetter(0xE9), 'E');  // é
  EXPECT_EQ(baseLetter('o'), 'O');
  EXPECT_EQ(baseLetter('['), '[');
}

}  // namespace
}  // namespace glimra::collection
