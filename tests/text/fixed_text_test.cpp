// SPDX-License-Identifier: GPL-3.0-or-later
#include "text/fixed_text.h"

#include <gtest/gtest.h>

#include <string>
#include <type_traits>

namespace glimra::collection {
namespace {

static_assert(sizeof(FixedText<45>) == 45 && alignof(FixedText<45>) == 1);
static_assert(std::is_trivially_copyable_v<FixedText<45>>);

TEST(FixedText, AssignCutsAndPads) {
  FixedText<5> t;
  t = "ab";
  EXPECT_EQ(t.raw(), "ab   ");
  t = "abcdefgh";
  EXPECT_EQ(t.raw(), "abcde");
  t = "  x  ";
  EXPECT_EQ(t.clipped(), "  x");  // leading blanks stay, trailing go
  FixedText<3> shorter;
  shorter = t;  // a longer text is cut to the shorter field
  EXPECT_EQ(shorter.raw(), "  x");
  t.clear();
  EXPECT_TRUE(t.isBlank());
  EXPECT_EQ(t.str(), "");
}

TEST(FixedText, ComparesAsIfPaddedWithBlanks) {
  FixedText<8> star;
  star = "Star";
  FixedText<4> shortStar;
  shortStar = "Star";
  EXPECT_EQ(star, "Star");
  EXPECT_EQ(star, "Star    ");
  EXPECT_EQ(star, shortStar);
  EXPECT_NE(star, "star");  // letter case counts
  EXPECT_LT(star, "Stars");
  EXPECT_GT(star, "Sta");
  // A byte below the blank sorts before the padding it stands against.
  EXPECT_GT(shortStar, std::string("Star\t"));
  FixedText<8> starTab;
  starTab = "Star\t";
  EXPECT_LT(starTab, shortStar);
  // Bytes above 0x7F are greater than ASCII letters and blanks.
  EXPECT_LT(shortStar, std::string("Star\xE9"));
  EXPECT_LT(star, std::string("St\xE9"));
  EXPECT_TRUE("Apple" < star);
}

}  // namespace
}  // namespace glimra::collection
