// SPDX-License-Identifier: GPL-3.0-or-later
#include "runtime/field_value.h"

#include <algorithm>

#include "text/cp1252.h"
#include "text/fixed_text.h"

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

// Walks a typed text character by character (a line break, whether CR LF,
// LF or CR, as one), calling step(start, length, cost) with the stored
// characters each takes; stops when step returns false.
template <class Step>
void forEachStoredCharacter(std::string_view text, Step&& step) {
  std::size_t i = 0;
  while (i < text.size()) {
    std::size_t length = 1;
    std::size_t cost = 1;
    if (text[i] == '\r' || text[i] == '\n') {
      cost = 2;
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') length = 2;
    } else {
      // A UTF-8 character: its lead byte and the continuation bytes after it.
      while (i + length < text.size() && (static_cast<unsigned char>(text[i + length]) & 0xC0) == 0x80) ++length;
    }
    if (!step(i, length, cost)) return;
    i += length;
  }
}

std::string withThousands(std::size_t n) {
  std::string digits = std::to_string(n);
  for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3) digits.insert(static_cast<std::size_t>(at), ",");
  return digits;
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

std::size_t FieldValue::storedLength(std::string_view typedUtf8) const {
  std::size_t total = 0;
  forEachStoredCharacter(typedUtf8, [&](std::size_t, std::size_t, std::size_t cost) {
    total += cost;
    return true;
  });
  return total;
}

std::string FieldValue::fittingStart(std::string_view typedUtf8, std::size_t used) const {
  const auto limit = static_cast<std::size_t>(maxLength());
  std::size_t total = used;
  std::size_t end = 0;
  forEachStoredCharacter(typedUtf8, [&](std::size_t start, std::size_t length, std::size_t cost) {
    if (total + cost > limit) return false;
    total += cost;
    end = start + length;
    return true;
  });
  return std::string(typedUtf8.substr(0, end));
}

std::string FieldValue::usedCharacters(std::string_view typedUtf8) const {
  return withThousands(storedLength(typedUtf8)) + " of " + withThousands(static_cast<std::size_t>(maxLength())) +
         " characters used";
}

}  // namespace glimra::runtime
