// SPDX-License-Identifier: GPL-3.0-or-later
#include "text/picture.h"

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <optional>

#include "text/currency.h"
#include "text/std_date.h"

namespace glimra::collection {
namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool allDigits(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s)
    if (!isDigit(c)) return false;
  return true;
}

std::string_view trimBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

int toInt(std::string_view digits) {
  int n = 0;
  for (char c : digits) n = n * 10 + (c - '0');
  return n;
}

// A small digit count read as a whole number; nullopt when not digits or too
// long to be one of the values a picture stores.
std::optional<std::int64_t> readWhole(std::string_view s) {
  if (!allDigits(s) || s.size() > 12) return std::nullopt;
  std::int64_t n = 0;
  for (char c : s) n = n * 10 + (c - '0');
  return n;
}

Deformatted refuse(std::string reason) { return Deformatted{false, {}, std::move(reason)}; }
Deformatted accept(std::string value) { return Deformatted{true, std::move(value), {}}; }

// A decimal number as sign, integer digits (no leading zeros, "0" for none)
// and fraction digits (no trailing zeros).
struct Decimal {
  bool negative = false;
  std::string whole = "0";
  std::string fraction;

  bool isZero() const { return whole == "0" && fraction.empty(); }

  void normalise() {
    const std::size_t firstNonZero = whole.find_first_not_of('0');
    whole = firstNonZero == std::string::npos ? "0" : whole.substr(firstNonZero);
    while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
    if (isZero()) negative = false;
  }

  // Rounds half away from zero to the given number of decimals.
  void round(int decimals) {
    const auto keep = static_cast<std::size_t>(decimals);
    if (fraction.size() <= keep) return;
    const bool up = fraction[keep] >= '5';
    std::string digits = whole + fraction.substr(0, keep);
    if (up) {
      std::size_t i = digits.size();
      while (i > 0) {
        --i;
        if (digits[i] == '9') {
          digits[i] = '0';
        } else {
          ++digits[i];
          break;
        }
        if (i == 0) digits.insert(digits.begin(), '1');
      }
    }
    whole = digits.substr(0, digits.size() - keep);
    fraction = digits.substr(digits.size() - keep);
    normalise();
  }

  std::string stored() const {
    std::string s = negative ? "-" : "";
    s += whole;
    if (!fraction.empty()) s += "." + fraction;
    return s;
  }
};

// Reads the stored form of a number: [-]digits[.digits] or [-].digits.
std::optional<Decimal> readStoredNumber(std::string_view s) {
  Decimal d;
  if (!s.empty() && s.front() == '-') {
    d.negative = true;
    s.remove_prefix(1);
  }
  const std::size_t point = s.find('.');
  std::string_view whole = s.substr(0, point);
  std::string_view fraction = point == std::string_view::npos ? std::string_view{} : s.substr(point + 1);
  if (whole.empty() && fraction.empty()) return std::nullopt;
  if ((!whole.empty() && !allDigits(whole)) || (!fraction.empty() && !allDigits(fraction)))
    return std::nullopt;
  d.whole = whole.empty() ? "0" : std::string(whole);
  d.fraction = std::string(fraction);
  d.normalise();
  return d;
}

std::string groupThousands(const std::string& digits) {
  std::string out;
  const std::size_t n = digits.size();
  for (std::size_t i = 0; i < n; ++i) {
    if (i > 0 && (n - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

std::string padLeft(std::string s, int width) {
  if (static_cast<int>(s.size()) < width) s.insert(0, static_cast<std::size_t>(width) - s.size(), ' ');
  return s;
}

std::string twoDigits(int n) {
  char buf[4];
  std::snprintf(buf, sizeof buf, "%02d", n % 100);
  return buf;
}

std::int32_t lastStandardDate() { return dateToDays({9999, 12, 31}); }

const char* const MONTH_NAMES[12] = {"January", "February", "March",     "April",   "May",      "June",
                                     "July",    "August",   "September", "October", "November", "December"};

}  // namespace

std::string alignStoredAmount(std::string_view plain) {
  return padLeft(std::string(plain), static_cast<int>(AMOUNT_STORED_WIDTH));
}

std::optional<std::int64_t> readAmountMillionths(std::string_view text) {
  text = trimBlanks(text);
  bool negative = false;
  for (int i = 0; i < 2 && !text.empty(); ++i) {
    if (text.front() == '-' && !negative) text.remove_prefix(1), negative = true;
    else if (const std::size_t sign = leadingCurrencySign(text); sign > 0) text.remove_prefix(sign);
    else break;
  }
  const std::size_t point = text.find('.');
  const std::string_view whole = text.substr(0, point);
  const std::string_view fraction = point == std::string_view::npos ? std::string_view{} : text.substr(point + 1);
  std::string digits;
  for (char c : whole) {
    if (isDigit(c)) digits += c;
    else if (c != ',' || digits.empty()) return std::nullopt;
  }
  if (!fraction.empty() && !allDigits(fraction)) return std::nullopt;
  if (digits.empty() && fraction.empty()) return std::nullopt;
  Decimal d;
  d.whole = digits.empty() ? "0" : digits;
  d.fraction = std::string(fraction);
  d.normalise();
  d.round(6);
  if (d.whole.size() > 12) return std::nullopt;
  std::int64_t value = 0;
  for (char c : d.whole) value = value * 10 + (c - '0');
  std::string micro = d.fraction;
  micro.append(6 - micro.size(), '0');
  for (char c : micro) value = value * 10 + (c - '0');
  return negative ? -value : value;
}

std::string millionthsText(std::int64_t millionths) {
  Decimal d;
  d.negative = millionths < 0;
  const std::uint64_t magnitude =
      d.negative ? 0 - static_cast<std::uint64_t>(millionths) : static_cast<std::uint64_t>(millionths);
  d.whole = std::to_string(magnitude / 1000000);
  std::string fraction = std::to_string(magnitude % 1000000);
  d.fraction = std::string(6 - fraction.size(), '0') + fraction;
  d.normalise();
  return d.stored();
}

int expandTwoDigitYear(int twoDigitYear, int currentYear) {
  int year = currentYear - currentYear % 100 + twoDigitYear;
  if (year > currentYear + 19) year -= 100;
  else if (year < currentYear - 80) year += 100;
  return year;
}

Picture Picture::parse(std::string_view text) {
  Picture p;
  if (!text.empty() && text.front() == '@') text.remove_prefix(1);
  if (text.empty()) return p;
  const char letter = static_cast<char>(std::tolower(static_cast<unsigned char>(text.front())));
  std::string_view rest = text.substr(1);
  switch (letter) {
    case 's':
      if (allDigits(rest) && rest.size() <= 5 && toInt(rest) > 0) {
        p.kind_ = 's';
        p.positions_ = toInt(rest);
      }
      return p;
    case 'd':
    case 't':
      if (rest == "1") p.kind_ = letter;
      return p;
    case 'n': {
      if (!rest.empty() && rest.front() == '$') {
        p.currency_ = true;
        rest.remove_prefix(1);
      }
      if (!rest.empty() && rest.front() == '-') rest.remove_prefix(1);
      if (!rest.empty() && (rest.back() == 'B' || rest.back() == 'b')) {
        p.blankWhenZero_ = true;
        rest.remove_suffix(1);
      }
      const std::size_t point = rest.find('.');
      const std::string_view width = rest.substr(0, point);
      if (!allDigits(width) || width.size() > 2) return Picture{};
      p.positions_ = toInt(width);
      if (point != std::string_view::npos) {
        const std::string_view decimals = rest.substr(point + 1);
        if (!allDigits(decimals) || decimals.size() > 1) return Picture{};
        p.decimals_ = toInt(decimals);
      }
      if (p.positions_ == 0 || p.decimals_ >= p.positions_) return Picture{};
      p.kind_ = 'n';
      return p;
    }
    default:
      return p;
  }
}

int Picture::width() const {
  switch (kind_) {
    case 's': return positions_;
    case 'd': return 8;
    case 't': return 5;
    case 'n': return positions_ + (currency_ ? static_cast<int>(currencySign().size()) : 0);
    default: return 0;
  }
}

int Picture::entryWidth() const {
  switch (kind_) {
    case 'd': return 10;  // mm/dd/yyyy
    case 't': return 8;   // hh:mm:ss
    default: return width();
  }
}

std::string Picture::format(std::string_view stored) const {
  const std::string_view value = trimBlanks(stored);
  if (value.empty()) return {};
  switch (kind_) {
    case 's': {
      std::string_view shown = stored.substr(0, static_cast<std::size_t>(positions_));
      while (!shown.empty() && shown.back() == ' ') shown.remove_suffix(1);
      return std::string(shown);
    }
    case 'd': {
      const auto days = readWhole(value);
      if (!days) break;
      if (*days == 0) return {};
      if (*days > lastStandardDate()) break;
      const CalendarDate date = daysToDate(static_cast<std::int32_t>(*days));
      return twoDigits(date.month) + "/" + twoDigits(date.day) + "/" + twoDigits(date.year);
    }
    case 't': {
      const auto number = readWhole(value);
      if (!number) break;
      if (*number == 0) return {};
      if (*number > LAST_STANDARD_TIME) break;
      const TimeOfDay time = *numberToTime(static_cast<std::int32_t>(*number));
      return twoDigits(time.hour) + ":" + twoDigits(time.minute);
    }
    case 'n': {
      auto number = readStoredNumber(value);
      if (!number) break;
      number->round(decimals_);
      if (number->isZero() && blankWhenZero_) return {};
      const bool grouped = decimals_ > 0 || currency_;
      std::string text = number->negative ? "-" : "";
      if (currency_) text += currencySign();
      text += grouped ? groupThousands(number->whole) : number->whole;
      if (decimals_ > 0) {
        text += '.';
        text += number->fraction;
        text.append(static_cast<std::size_t>(decimals_) - number->fraction.size(), '0');
      }
      return padLeft(std::move(text), width());
    }
    default:
      break;
  }
  // Not in the picture's stored form: shown as it is rather than as nothing.
  return std::string(value);
}

Deformatted Picture::deformat(std::string_view typed) const {
  switch (kind_) {
    case 's': {
      // Trailing blanks carry nothing: the field pads with blanks anyway.
      while (!typed.empty() && typed.back() == ' ') typed.remove_suffix(1);
      if (typed.size() > static_cast<std::size_t>(positions_))
        return refuse("The text is too long: this field holds at most " + std::to_string(positions_) +
                      " characters.");
      return accept(std::string(typed));
    }
    case 'd': {
      const std::string_view text = trimBlanks(typed);
      if (text.empty()) return accept({});
      std::string_view parts[3];
      std::size_t count = 0;
      std::size_t start = 0;
      for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == '/' || text[i] == '-' || text[i] == '.') {
          if (count == 3) { count = 4; break; }
          parts[count++] = text.substr(start, i - start);
          start = i + 1;
        }
      }
      const char* form = "Type the date as month/day/year, for example 12/01/15, or as year-month-day, "
                         "for example 2015-12-01.";
      if (count != 3) return refuse(form);
      for (const auto& part : parts)
        if (!allDigits(part)) return refuse(form);
      // A first part of four digits is a year: year-month-day, the order the
      // CSV export writes and other programs often use.
      const bool yearFirst = parts[0].size() == 4;
      const std::string_view monthPart = yearFirst ? parts[1] : parts[0];
      const std::string_view dayPart = yearFirst ? parts[2] : parts[1];
      const std::string_view yearPart = yearFirst ? parts[0] : parts[2];
      if (monthPart.size() > 2 || dayPart.size() > 2) return refuse(form);
      if (yearPart.size() == 3 || yearPart.size() > 4)
        return refuse("Type the year with two or four digits.");
      const int month = toInt(monthPart);
      const int day = toInt(dayPart);
      int year = toInt(yearPart);
      if (yearPart.size() <= 2) year = expandTwoDigitYear(year, daysToDate(today()).year);
      if (month < 1 || month > 12)
        return refuse(std::string(monthPart) + " is not a month: type a month from 1 to 12.");
      if (year < 1801) return refuse("The date is too early: dates begin on 01/01/1801.");
      if (!isValidCalendarDate(year, month, day))
        return refuse(MONTH_NAMES[month - 1] + std::string(" ") + std::to_string(year) + " has no day " +
                      std::string(dayPart) + ".");
      return accept(std::to_string(dateToDays({year, month, day})));
    }
    case 't': {
      const std::string_view text = trimBlanks(typed);
      if (text.empty()) return accept({});
      const char* form = "Type the time as hours:minutes, for example 09:30 or 17:05.";
      const std::size_t colon = text.find(':');
      if (colon == std::string_view::npos) return refuse(form);
      const std::string_view hours = text.substr(0, colon);
      std::string_view minutes = text.substr(colon + 1);
      std::string_view seconds;
      if (const std::size_t second = minutes.find(':'); second != std::string_view::npos) {
        seconds = minutes.substr(second + 1);
        minutes = minutes.substr(0, second);
        if (!allDigits(seconds) || seconds.size() != 2) return refuse(form);
      }
      if (!allDigits(hours) || hours.size() > 2 || !allDigits(minutes) || minutes.size() != 2)
        return refuse(form);
      const auto number = timeToNumber({toInt(hours), toInt(minutes), seconds.empty() ? 0 : toInt(seconds), 0});
      if (!number) return refuse("The time " + std::string(text) + " does not exist: hours run from 0 to 23, "
                                 "minutes and seconds from 0 to 59.");
      return accept(std::to_string(*number));
    }
    case 'n': {
      std::string_view text = trimBlanks(typed);
      if (text.empty()) return accept({});
      const bool amount = decimals_ > 0 || currency_;
      const char* notNumber = amount ? "Type an amount, for example 1234.50." : "Type a whole number.";
      Decimal number;
      if (!text.empty() && text.front() == '-') {
        number.negative = true;
        text.remove_prefix(1);
      }
      if (currency_) text.remove_prefix(leadingCurrencySign(text));
      if (!number.negative && !text.empty() && text.front() == '-') {
        number.negative = true;
        text.remove_prefix(1);
      }
      const std::size_t point = text.find('.');
      std::string_view whole = text.substr(0, point);
      const std::string_view fraction =
          point == std::string_view::npos ? std::string_view{} : text.substr(point + 1);
      if (whole.empty() && fraction.empty()) return refuse(notNumber);
      if (!fraction.empty() && !allDigits(fraction)) return refuse(notNumber);
      std::string digits;
      if (whole.find(',') != std::string_view::npos) {
        // Thousands commas must separate groups of three digits.
        std::size_t groupStart = 0;
        bool first = true;
        while (true) {
          const std::size_t comma = whole.find(',', groupStart);
          const std::string_view group = whole.substr(groupStart, comma - groupStart);
          if (!allDigits(group) || (first ? group.size() > 3 : group.size() != 3))
            return refuse(allDigits(group) || group.empty() ? "The thousands separators are misplaced: "
                                                              "type commas between groups of three digits."
                                                            : notNumber);
          digits += group;
          first = false;
          if (comma == std::string_view::npos) break;
          groupStart = comma + 1;
        }
      } else {
        if (!whole.empty() && !allDigits(whole)) return refuse(notNumber);
        digits = std::string(whole);
      }
      number.whole = digits.empty() ? "0" : digits;
      number.fraction = std::string(fraction);
      number.normalise();
      if (static_cast<int>(number.fraction.size()) > decimals_)
        return refuse(decimals_ == 0 ? std::string("Type a whole number, without decimals.")
                                     : "Type at most " + std::to_string(decimals_) + " decimals.");
      // The number as the picture shows it, without the currency sign, must fit.
      std::size_t shown = (number.negative ? 1 : 0) + (amount ? groupThousands(number.whole) : number.whole).size() +
                          (decimals_ > 0 ? static_cast<std::size_t>(decimals_) + 1 : 0);
      if (shown > static_cast<std::size_t>(positions_))
        return refuse("The number is too large: this field shows at most " + std::to_string(positions_) +
                      " positions.");
      if (!amount) return accept(number.stored());
      if (number.negative) return refuse("An amount cannot be negative: type 0 or more.");
      std::string plain = number.whole;
      if (decimals_ > 0)
        plain += "." + number.fraction +
                 std::string(static_cast<std::size_t>(decimals_) - number.fraction.size(), '0');
      return accept(alignStoredAmount(plain));
    }
    default:
      return refuse("This field cannot take a value.");
  }
}

}  // namespace glimra::collection
