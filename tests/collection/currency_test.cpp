// SPDX-License-Identifier: GPL-3.0-or-later
// The currency sign of the settings is what amounts show, and typed or stored
// amounts may carry it (or '$'); the stored form never holds a sign.
#include <gtest/gtest.h>

#include "collection/collection_statistics.h"
#include "text/currency.h"
#include "text/picture.h"

namespace {

using namespace glimra::collection;

TEST(Currency, AmountsShowTheSignOfTheSettingsAndReadItBack) {
  struct Restore {
    ~Restore() { setCurrencySign("$"); }
  } restore;
  const Picture value = Picture::parse("N$9.2B");
  const auto shown = [&](const char* stored) {
    const std::string text = value.format(stored);
    return text.substr(text.find_first_not_of(' '));
  };
  EXPECT_EQ(shown("   1234.5"), "$1,234.50") << "the default";
  const struct {
    const char* sign;
    const char* shown;
  } cases[] = {{"\x80", "\x80" "1,234.50"}, {" CHF ", "CHF1,234.50"}, {"", "$1,234.50"}, {"TOOLONG", "$1,234.50"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.sign);
    setCurrencySign(c.sign);
    EXPECT_EQ(shown("   1234.5"), c.shown);
    EXPECT_EQ(amountText(1234500000), c.shown);
    for (const std::string typed : {std::string(c.shown), std::string("$12"), std::string("-") + currencySign() + "3"}) {
      const Deformatted read = value.deformat(typed);
      EXPECT_TRUE(read.ok || typed[0] == '-') << typed << ": " << read.reason;
      EXPECT_TRUE(readAmountMillionths(typed).has_value()) << typed;
    }
    EXPECT_EQ(value.deformat(c.shown).value, alignStoredAmount("1234.50"));
  }
}

}  // namespace
