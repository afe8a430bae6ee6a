// SPDX-License-Identifier: GPL-3.0-or-later
// Display pictures: how an entry control or a report shows a stored value and
// how it reads a typed value back into its stored form. One place for all of
// them, so a value formats and deformats the same way on every screen and in
// every report.
//
// Pictures (the leading '@' is optional, letters in either case):
//   sN        text of N characters. Stored form: the text itself.
//   d1        date as mm/dd/yy. Stored form: the standard day number in decimal
//             ("78500" for 12/01/15).
//   t1        time as hh:mm (24-hour). Stored form: the standard time number in
//             decimal (midnight is "1").
//   nW / NW   whole number right-aligned in W positions ("N3": 5 shows "  5").
//   N$W.DB    amount: '$' shows a currency sign in front of the W positions,
//             .D gives D decimals with thousands separated by commas, B shows
//             blank when the value is zero. A '-' after the letter is accepted
//             and ignored: a minus sign is always shown when needed.
// A stored empty value (blank) always shows blank and an empty typed value
// deformats to blank. The stored form of an amount (a picture with decimals or
// a currency sign) is the number with exactly the picture's decimals,
// right-aligned in AMOUNT_STORED_WIDTH characters ("               15.50"), so
// that the text order of stored amounts (the order of a text key over them) is
// their numeric order; a negative amount is refused on entry, since its text
// would sort among the positive ones. Reading a stored amount accepts any
// plain decimal form as well ("15.5", "100", "-3.25": files written before
// amounts were aligned, or edited by hand). The stored form of a whole number
// is its decimal digits.
//
// Text is record text (Windows-1252): the screen converts what is typed before
// it deformats and converts what format() gives before it shows it.
//
// Dates typed with a two-digit year take the year within a sliding window of
// a hundred years around today: from 80 years before this year to 19 years
// after it (in 2026: 1946 … 2045). Four-digit years are taken as typed, from
// 1801 to 9999; such a date outside the window shows with the same two
// digits as one inside it, so a screen deformats only text the user changed,
// never the shown text of a field left alone. Accepted date forms: m/d/yy, mm/dd/yy, m/d/yyyy, and
// yyyy-mm-dd (a four-digit first part is the year), with '/', '-' or '.' between the parts.
//
// Amounts typed may carry the currency sign, thousands commas (in groups of
// three), a leading minus and trailing zeros beyond the decimals ("12.500");
// more significant decimals than the picture shows, or more positions than it
// has, are refused. A value whose text would be wider than the picture is
// refused on entry; format() never hides digits of a stored value, so it may
// return a text wider than width() for a stored value no entry would accept
// (a report total, a value stored by another program).
//
// Invariants: deformat either reads the whole text or refuses it (ok = false,
// value empty, reason a sentence for the user); format(deformat(x).value)
// shows what was typed in the picture's normal form; a stored value that is
// not in the picture's stored form is shown as it is stored, never as zero.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace glimra::collection {

struct Deformatted {
  bool ok = false;
  std::string value;   // the stored form when ok
  std::string reason;  // why it was refused when not ok
};

class Picture {
 public:
  // An unknown picture gives kind() 0: it formats a value as it is and
  // refuses every typed value.
  static Picture parse(std::string_view text);

  std::string format(std::string_view stored) const;
  Deformatted deformat(std::string_view typed) const;

  // Characters the picture shows (currency sign included).
  int width() const;
  // Characters an entry takes: the shown width, but room for every form
  // deformat() reads (a date with a four-digit year, a time with seconds).
  int entryWidth() const;
  // 's', 'd', 't' or 'n'; 0 for an unknown picture.
  char kind() const { return kind_; }

 private:
  char kind_ = 0;
  int positions_ = 0;  // sN: N; nW: W
  int decimals_ = 0;
  bool currency_ = false;
  bool blankWhenZero_ = false;
};

// The width in which amounts are stored right-aligned: the size of the
// record's amount fields (GL:VALUE, GL:PURPRICE).
inline constexpr std::size_t AMOUNT_STORED_WIDTH = 20;

// A plain decimal amount ("15.50") in its stored form: right-aligned in
// AMOUNT_STORED_WIDTH characters (a longer text is returned as it is).
std::string alignStoredAmount(std::string_view plain);

// An amount as a whole number of millionths, read from any number form a
// collector may have stored or typed: blanks around it, a leading minus, a
// currency sign, thousands commas, any number of decimals (beyond six they
// are rounded half away from zero). nullopt for text that is not a number, or
// one with more than twelve whole digits.
std::optional<std::int64_t> readAmountMillionths(std::string_view text);
// Millionths back as a plain decimal text without needless zeros ("25.5").
std::string millionthsText(std::int64_t millionths);

// The four-digit year of a two-digit year typed in currentYear (0 … 99).
int expandTwoDigitYear(int twoDigitYear, int currentYear);

}  // namespace glimra::collection
