// SPDX-License-Identifier: GPL-3.0-or-later
// The currency sign shown before amounts by every picture with a currency
// sign (the form's amount fields, the reports, the statistics), "$" until a
// program sets it from its settings when it starts (readCurrencySetting). Amounts typed or stored may carry the sign
// set here or '$'; the stored form of an amount never holds a sign.
#pragma once

#include <string>
#include <string_view>

namespace glimra::collection {

inline constexpr std::size_t CURRENCY_SIGN_LENGTH = 4;

// The sign shown (Windows-1252 text, as record text).
const std::string& currencySign();
// Sets it: blanks around it are dropped; an empty sign or one longer than
// CURRENCY_SIGN_LENGTH characters gives "$".
void setCurrencySign(std::string_view sign);
// The length of the sign `text` starts with ('$' or the sign set); 0 when it
// starts with neither.
std::size_t leadingCurrencySign(std::string_view text);

}  // namespace glimra::collection
