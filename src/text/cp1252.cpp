// SPDX-License-Identifier: GPL-3.0-or-later
#include "text/cp1252.h"

#include <cstdint>
#include <cstdio>

namespace glimra::collection {
namespace {

// Code points of the bytes 0x80..0x9F; the rest of Windows-1252 equals
// Latin-1. The undefined bytes map to the control character of the same value.
constexpr char32_t HIGH_CONTROLS[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

void appendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// The Windows-1252 byte of a code point, or -1.
int cp1252Byte(char32_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<int>(c);
  for (int i = 0; i < 32; ++i)
    if (HIGH_CONTROLS[i] == c) return 0x80 + i;
  return -1;
}

// Decodes one UTF-8 sequence at text[pos]; returns its length, 0 if malformed.
std::size_t decodeUtf8(std::string_view text, std::size_t pos, char32_t& c) {
  const auto b0 = static_cast<unsigned char>(text[pos]);
  std::size_t len;
  char32_t min;
  if (b0 < 0x80) { c = b0; return 1; }
  if ((b0 & 0xE0) == 0xC0) { len = 2; c = b0 & 0x1F; min = 0x80; }
  else if ((b0 & 0xF0) == 0xE0) { len = 3; c = b0 & 0x0F; min = 0x800; }
  else if ((b0 & 0xF8) == 0xF0) { len = 4; c = b0 & 0x07; min = 0x10000; }
  else return 0;
  if (pos + len > text.size()) return 0;
  for (std::size_t i = 1; i < len; ++i) {
    const auto b = static_cast<unsigned char>(text[pos + i]);
    if ((b & 0xC0) != 0x80) return 0;
    c = (c << 6) | (b & 0x3F);
  }
  if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0;
  return len;
}

std::string codePointName(char32_t c) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "U+%04X", static_cast<unsigned>(c));
  return buf;
}

}  // namespace

std::string cp1252ToUtf8(std::string_view cp1252) {
  std::string out;
  out.reserve(cp1252.size());
  for (char ch : cp1252) {
    const auto b = static_cast<unsigned char>(ch);
    appendUtf8(out, b >= 0x80 && b < 0xA0 ? HIGH_CONTROLS[b - 0x80] : char32_t{b});
  }
  return out;
}

Cp1252Conversion utf8ToCp1252(std::string_view utf8) {
  Cp1252Conversion result;
  std::string out;
  out.reserve(utf8.size());
  std::size_t pos = 0;
  for (std::size_t index = 0; pos < utf8.size(); ++index) {
    char32_t c = 0;
    const std::size_t len = decodeUtf8(utf8, pos, c);
    if (len == 0) {
      result.position = index;
      result.reason = "The text is not valid UTF-8 at character " + std::to_string(index + 1) + ".";
      return result;
    }
    const int byte = cp1252Byte(c);
    if (byte < 0) {
      result.refused = std::string(utf8.substr(pos, len));
      result.position = index;
      result.reason = "The character \"" + result.refused + "\" (" + codePointName(c) +
                      ") cannot be stored in a collection file.";
      return result;
    }
    out += static_cast<char>(byte);
    pos += len;
  }
  result.ok = true;
  result.text = std::move(out);
  return result;
}

std::string utf8ToCp1252ForDisplay(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  std::size_t pos = 0;
  while (pos < utf8.size()) {
    char32_t c = 0;
    const std::size_t len = decodeUtf8(utf8, pos, c);
    const int byte = len == 0 ? -1 : cp1252Byte(c);
    out += byte < 0 ? '?' : static_cast<char>(byte);
    pos += len == 0 ? 1 : len;
  }
  return out;
}

std::string iso8859_15ToUtf8(std::string_view latin9) {
  std::string out;
  out.reserve(latin9.size());
  for (char ch : latin9) {
    const auto b = static_cast<unsigned char>(ch);
    char32_t c = b;
    switch (b) {
      case 0xA4: c = 0x20AC; break;  // euro sign
      case 0xA6: c = 0x0160; break;
      case 0xA8: c = 0x0161; break;
      case 0xB4: c = 0x017D; break;
      case 0xB8: c = 0x017E; break;
      case 0xBC: c = 0x0152; break;
      case 0xBD: c = 0x0153; break;
      case 0xBE: c = 0x0178; break;
      default: break;
    }
    appendUtf8(out, c);
  }
  return out;
}

std::optional<std::size_t> firstInvalidUtf8(std::string_view text) {
  for (std::size_t pos = 0; pos < text.size();) {
    char32_t c = 0;
    const std::size_t len = decodeUtf8(text, pos, c);
    if (len == 0) return pos;
    pos += len;
  }
  return std::nullopt;
}

std::string withStoredLineBreaks(std::string_view text) {
  std::string stored;
  stored.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      stored += "\r\n";
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else if (text[i] == '\n') {
      stored += "\r\n";
    } else {
      stored += text[i];
    }
  }
  return stored;
}

}  // namespace glimra::collection
