// SPDX-License-Identifier: GPL-3.0-or-later
#include "text/picture.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

#include "text/std_date.h"

namespace glimra::collection {
namespace {

TEST(Picture, ParsesKindAndWidth) {
  const struct { const char* text; char kind; int width; } cases[] = {
      {"@s45", 's', 45}, {"s5", 's', 5},    {"@S30", 's', 30},   {"@d1", 'd', 8},
      {"@t1", 't', 5},   {"@N$9.2B", 'n', 10}, {"@n5", 'n', 5},  {"N3", 'n', 3},
      {"@n-9.2", 'n', 9},
      {"@x5", 0, 0},     {"@s", 0, 0},      {"@d7", 0, 0},       {"@n2.2", 0, 0},  {"", 0, 0},
  };
  for (const auto& c : cases) {
    const Picture p = Picture::parse(c.text);
    EXPECT_EQ(p.kind(), c.kind) << c.text;
    EXPECT_EQ(p.width(), c.width) << c.text;
  }
}

struct FormatCase {
  const char* picture;
  const char* stored;
  const char* shown;
};

TEST(Picture, FormatsStoredValues) {
  const FormatCase cases[] = {
      {"@s5", "12345678", "12345"},          // shows only its own width
      {"@s45", "  Star   ", "  Star"},
      {"@d1", "78500", "12/01/15"},
      {"@d1", "4", "01/01/01"},
      {"@d1", "72686", "12/31/99"},
      {"@d1", "0", ""},
      {"@d1", "   ", ""},
      {"@d1", "12/01/15", "12/01/15"},       // not a day number: shown as stored
      {"@t1", "1", "00:00"},
      {"@t1", "8640000", "23:59"},
      {"@t1", "4501551", "12:30"},
      {"@t1", "0", ""},
      {"@N$9.2B", "15.5", "    $15.50"},
      {"@N$9.2B", "1234.5", " $1,234.50"},
      {"@N$9.2B", "99999.99", "$99,999.99"},
      {"@N$9.2B", "1234567.891", "$1,234,567.89"},  // wider than the picture: never hidden
      {"@N$9.2B", "0.005", "     $0.01"},           // rounds half away from zero
      {"@N$9.2B", "-3.25", "    -$3.25"},
      {"@N$9.2B", "0", ""},
      {"@N$9.2B", "0.00", ""},
      {"@N$9.2B", "", ""},
      {"@N$9.2B", "abc", "abc"},
      {"@n9.2", "0", "     0.00"},              // without B zero shows
      {"@N3", "5", "  5"},
      {"@n5", "12345", "12345"},
      {"@n5", "1234", " 1234"},                 // whole numbers are not grouped
      {"@N3", "2.5", "  3"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Picture::parse(c.picture).format(c.stored), c.shown) << c.picture << " ‹" << c.stored << "›";
  }
}

struct DeformatCase {
  const char* picture;
  const char* typed;
  bool ok;
  const char* stored;  // when ok; otherwise a word the reason must hold
};

TEST(Picture, DeformatsTypedValuesOrRefusesThemWhole) {
  const DeformatCase cases[] = {
      {"@s5", "Star", true, "Star"},
      {"@s5", "", true, ""},
      {"@s5", " Star     ", true, " Star"},  // trailing blanks do not count
      {"@s5", "Stars!", false, "at most 5"},
      {"@d1", "12/1/15", true, "78500"},
      {"@d1", "12/01/2015", true, "78500"},
      {"@d1", " 12-01-15 ", true, "78500"},
      {"@d1", "12.1.2015", true, "78500"},
      {"@d1", "2/29/2024", true, "81512"},
      {"@d1", "1/1/1801", true, "4"},
      {"@d1", "12/31/9999", true, "2994626"},
      {"@d1", "", true, ""},
      {"@d1", "13/45/99", false, "month"},
      {"@d1", "2/29/2015", false, "February 2015"},
      {"@d1", "4/31/15", false, "no day 31"},
      {"@d1", "0/10/15", false, "month"},
      {"@d1", "12/31/1800", false, "1801"},
      {"@d1", "12/1/015", false, "four digits"},
      {"@d1", "12/1", false, "month/day/year"},
      {"@d1", "12/1/15/1", false, "month/day/year"},
      {"@d1", "12x", false, "month/day/year"},
      {"@d1", "78500", false, "month/day/year"},
      {"@d1", "2015-12-01", true, "78500"},  // year first, as the CSV export writes it
      {"@d1", " 2015/12/1 ", true, "78500"},
      {"@d1", "2015-13-01", false, "13 is not a month"},
      {"@d1", "2015-02-29", false, "February 2015 has no day 29"},
      {"@d1", "1800-12-31", false, "1801"},
      {"@d1", "2015-001-01", false, "year-month-day"},
      {"@t1", "0:00", true, "1"},
      {"@t1", "12:30", true, "4500001"},
      {"@t1", "23:59:59", true, "8639901"},
      {"@t1", "24:00", false, "does not exist"},
      {"@t1", "9:5", false, "hours:minutes"},
      {"@t1", "noon", false, "hours:minutes"},
      {"@N$9.2B", "", true, ""},
      {"@N$9.2B", "   ", true, ""},
      {"@N$9.2B", "-$3.25", false, "cannot be negative"},
      {"@N$9.2B", "$-3.25", false, "cannot be negative"},
      {"@N$9.2B", "-0.01", false, "cannot be negative"},
      {"@N$9.2B", "12.345", false, "2 decimals"},
      {"@N$9.2B", "100000", false, "too large"},
      {"@N$9.2B", "12x", false, "amount"},
      {"@N$9.2B", "1,23.00", false, "separators"},
      {"@N$9.2B", "12,34", false, "separators"},
      {"@N$9.2B", "1.2.3", false, "amount"},
      {"@N$9.2B", "$", false, "amount"},
      {"@N$9.2B", "-", false, "amount"},
      {"@N$9.2B", "1e3", false, "amount"},
      {"@n5", "12345", true, "12345"},
      {"@n5", "5.0", true, "5"},
      {"@n5", "123456", false, "too large"},
      {"@n5", "2.5", false, "whole number"},
      {"@n5", "$5", false, "whole number"},
      {"@x1", "anything", false, "cannot"},
  };
  for (const auto& c : cases) {
    const Deformatted d = Picture::parse(c.picture).deformat(c.typed);
    EXPECT_EQ(d.ok, c.ok) << c.picture << " ‹" << c.typed << "› " << d.reason;
    if (c.ok) {
      EXPECT_EQ(d.value, c.stored) << c.picture << " ‹" << c.typed << "›";
    } else {
      EXPECT_TRUE(d.value.empty()) << c.picture << " ‹" << c.typed << "›";
      EXPECT_NE(d.reason.find(c.stored), std::string::npos) << c.picture << " ‹" << c.typed << "› " << d.reason;
    }
  }
}

// Amounts are stored with two decimals, right-aligned in the field, whatever
// form they were typed in; so the text order of stored amounts (a text key
// over them) is their numeric order.
TEST(Picture, AmountsAreStoredRightAlignedWithTwoDecimals) {
  const struct { const char* typed; const char* plain; } cases[] = {
      {"$1,234.50", "1234.50"}, {"1234.5", "1234.50"}, {" 15.50 ", "15.50"}, {"0015", "15.00"},
      {".5", "0.50"},           {"12.500", "12.50"},   {"99,999.99", "99999.99"}, {"0", "0.00"},
      {"-0", "0.00"},
  };
  const Picture money = Picture::parse("@N$9.2B");
  for (const auto& c : cases) {
    const Deformatted d = money.deformat(c.typed);
    ASSERT_TRUE(d.ok) << c.typed << " " << d.reason;
    EXPECT_EQ(d.value, std::string(AMOUNT_STORED_WIDTH - std::string(c.plain).size(), ' ') + c.plain) << c.typed;
    EXPECT_EQ(money.format(d.value), money.format(c.plain)) << c.typed;  // shows as the plain form did
  }
  // Stored forms sort as the amounts do, unlike the plain forms ("100" < "15.5").
  const char* ascending[] = {"0.5", "9.99", "10", "15.5", "100", "1,000", "99999.99"};
  std::string previous;
  for (const char* typed : ascending) {
    const std::string stored = money.deformat(typed).value;
    EXPECT_LT(previous, stored) << typed;
    previous = stored;
  }
}

// Sums read amounts in any number form; text that is no number is not one.
TEST(Picture, ReadsAmountsInAnyNumberForm) {
  const struct { const char* text; std::optional<std::int64_t> millionths; } cases[] = {
      {"               15.50", 15500000}, {"15.5", 15500000},   {"100", 100000000},
      {" $1,234.5 ", 1234500000},         {"-3.25", -3250000},   {"$-3.25", -3250000},
      {".5", 500000},                     {"0.0000005", 1},      {"999999999999", 999999999999000000},
      {"", std::nullopt},                 {"abc", std::nullopt}, {"12 ornaments", std::nullopt},
      {"1.2.3", std::nullopt},            {"$", std::nullopt},   {"1e3", std::nullopt},
      {",5", std::nullopt},               {"1000000000000", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(readAmountMillionths(c.text), c.millionths) << "‹" << c.text << "›";
  const struct { std::int64_t millionths; const char* text; } back[] = {
      {25500000, "25.5"}, {0, "0"}, {-3250000, "-3.25"}, {1, "0.000001"}, {100000000, "100"}};
  for (const auto& c : back) EXPECT_EQ(millionthsText(c.millionths), c.text);
}

TEST(Picture, TwoDigitYearsFallInAHundredYearWindowAroundToday) {
  EXPECT_EQ(expandTwoDigitYear(45, 2026), 2045);
  EXPECT_EQ(expandTwoDigitYear(46, 2026), 1946);
  EXPECT_EQ(expandTwoDigitYear(99, 2026), 1999);
  EXPECT_EQ(expandTwoDigitYear(0, 2026), 2000);
  EXPECT_EQ(expandTwoDigitYear(5, 2090), 2105);
  EXPECT_EQ(expandTwoDigitYear(10, 2090), 2010);
  EXPECT_EQ(expandTwoDigitYear(9, 2090), 2109);
  // What is typed with two digits shows again as typed.
  const Picture d1 = Picture::parse("@d1");
  const int year = daysToDate(today()).year;
  for (int yy : {0, 15, 50, 99}) {
    char typed[16];
    std::snprintf(typed, sizeof typed, "03/07/%02d", yy);
    const Deformatted d = d1.deformat(typed);
    ASSERT_TRUE(d.ok) << typed;
    EXPECT_EQ(d1.format(d.value), typed);
    const int full = daysToDate(std::stoi(d.value)).year;
    EXPECT_GE(full, year - 80);
    EXPECT_LE(full, year + 19);
  }
}

}  // namespace
}  // namespace glimra::collection
