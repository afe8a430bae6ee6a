// SPDX-License-Identifier: GPL-3.0-or-later
#include "text/cp1252.h"

#include <gtest/gtest.h>

#include <string>

namespace glimra::collection {
namespace {

TEST(Cp1252, ConvertsBothWaysAcrossTheWholeCharacterSet) {
  EXPECT_EQ(cp1252ToUtf8("Caf\xE9 \x80" "5 \x93quoted\x94"), "Café €5 “quoted”");
  // Every byte survives the trip to UTF-8 and back, the undefined ones too.
  std::string all;
  for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
  const Cp1252Conversion back = utf8ToCp1252(cp1252ToUtf8(all));
  ASSERT_TRUE(back.ok) << back.reason;
  EXPECT_EQ(back.text, all);
}

TEST(Cp1252, RefusesWhatTheFileCannotHoldAndNamesIt) {
  const struct { const char* utf8; const char* refused; std::size_t position; } cases[] = {
      {"Snow ❄ globe", "❄", 5},
      {"Łódź", "Ł", 0},
      {"ok 😀", "😀", 3},
  };
  for (const auto& c : cases) {
    const Cp1252Conversion r = utf8ToCp1252(c.utf8);
    EXPECT_FALSE(r.ok) << c.utf8;
    EXPECT_TRUE(r.text.empty());
    EXPECT_EQ(r.refused, c.refused);
    EXPECT_EQ(r.position, c.position);
    EXPECT_NE(r.reason.find(c.refused), std::string::npos) << r.reason;
  }
  const Cp1252Conversion broken = utf8ToCp1252("ab\xC3");  // cut in the middle of a character
  EXPECT_FALSE(broken.ok);
  EXPECT_FALSE(broken.reason.empty());
}

}  // namespace
}  // namespace glimra::collection
