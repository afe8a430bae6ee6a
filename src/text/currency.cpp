// SPDX-License-Identifier: GPL-3.0-or-later
#include "text/currency.h"

namespace glimra::collection {
namespace {

std::string& sign() {
  static std::string shown = "$";
  return shown;
}

}  // namespace

const std::string& currencySign() { return sign(); }

void setCurrencySign(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  sign() = text.empty() || text.size() > CURRENCY_SIGN_LENGTH ? "$" : std::string(text);
}

std::size_t leadingCurrencySign(std::string_view text) {
  const std::string& shown = sign();
  if (!shown.empty() && text.substr(0, shown.size()) == shown) return shown.size();
  return !text.empty() && text.front() == '$' ? 1 : 0;
}

}  // namespace glimra::collection
