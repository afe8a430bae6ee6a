// SPDX-License-Identifier: GPL-3.0-or-later
#include "runtime/field_value.h"

#include <algorithm>

#include "collection/cp1252.h"
#include "collection/fixed_text.h"

namespace glimra::runtime {

namespace {

std::string_view trimLeadingBlanks(std::string_view text) {
  const auto first = text.find_first_not_of(' ');
  return first == std::string_view::npos ? std::string_view() : text.substr(first);
}

bool isWholeNumber(std::string_view text) {
  text = collection::clipTrailingBlanks(trimLeadingBlanks(text));
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) text.remove_prefix(1);
  return !text.empty() && text.size() <= 10 &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

FieldValue::FieldValue(Binding use, std::string_view picture) : use_(use) {
  if (!collection::clipTrailingBlanks(picture).empty()) {
    picture_ = collection::Picture::parse(picture);
    hasPicture_ = true;
  }
}

int FieldValue::maxLength() const {
  if (hasPicture_ && picture_.kind() != 0) return picture_.entryWidth();
  if (use_.kind() == Binding::Kind::Text) return static_cast<int>(use_.length());
  return 11;  // a signed 32-bit number
}

std::string FieldValue::shown() const {
  if (!use_.bound()) return {};
  std::string stored = use_.read();
  if (use_.kind() == Binding::Kind::Text) stored = std::string(collection::clipTrailingBlanks(stored));
  if (!hasPicture_) return stored;
  const char kind = picture_.kind();
  // A zero date or time held in a number means "none".
  if ((kind == 'd' || kind == 't') && use_.kind() == Binding::Kind::Integer && use_.number() == 0) stored.clear();
  std::string text = picture_.format(stored);
  std::string_view view = collection::clipTrailingBlanks(text);
  if (kind == 'n' || kind == 'd' || kind == 't') view = trimLeadingBlanks(view);
  return std::string(view);
}

StoreResult FieldValue::store(std::string_view typedUtf8) const {
  StoreResult result;
  const auto converted = collection::utf8ToCp1252(typedUtf8);
  if (!converted.ok) {
    result.reason = converted.reason;
    return result;
  }
  std::string value = converted.text;
  if (hasPicture_) {
    const auto read = picture_.deformat(value);
    if (!read.ok) {
      result.reason = read.reason;
      return result;
    }
    value = read.value;
  }
  if (use_.kind() == Binding::Kind::Text) {
    if (collection::clipTrailingBlanks(value).size() > use_.length()) {
      result.reason = "This field holds at most " + std::to_string(use_.length()) + " characters.";
      return result;
    }
  } else if (use_.kind() == Binding::Kind::Integer) {
    if (!collection::clipTrailingBlanks(value).empty() && !isWholeNumber(value)) {
      result.reason = "Please type a whole number.";
      return result;
    }
  }
  const std::string before = use_.read();
  use_.write(value);
  result.ok = true;
  result.changed = use_.read() != before;
  return result;
}

}  // namespace glimra::runtime
