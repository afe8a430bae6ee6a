// SPDX-License-Identifier: GPL-3.0-or-later
// Conversion between Windows-1252, the character set of the text stored in
// collection records, and UTF-8, the character set of the screen.
//
// Invariants: cp1252ToUtf8 never fails (the five byte values that Windows-1252
// leaves undefined, 0x81 0x8D 0x8F 0x90 0x9D, pass through as the control
// characters U+0081 … so that every stored byte survives a round trip);
// utf8ToCp1252 either converts the whole text or converts nothing and names
// the first character that Windows-1252 cannot hold.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace glimra::collection {

std::string cp1252ToUtf8(std::string_view cp1252);

struct Cp1252Conversion {
  bool ok = false;
  std::string text;          // the Windows-1252 bytes when ok
  std::string refused;       // when not ok: the refused character as typed (UTF-8)
  std::size_t position = 0;  // when not ok: its position, in characters, from 0
  std::string reason;        // when not ok: a message for the user
};

// Refuses a character that Windows-1252 cannot hold, and malformed UTF-8.
Cp1252Conversion utf8ToCp1252(std::string_view utf8);

// For showing a file's name in a window (whose texts are Windows-1252): the
// text with every character Windows-1252 cannot hold, or malformed UTF-8,
// shown as "?". Never fails.
std::string utf8ToCp1252ForDisplay(std::string_view utf8);

// ISO 8859-15 text (Latin-1 with the euro sign and the eight letters it
// replaced) as UTF-8; never fails.
std::string iso8859_15ToUtf8(std::string_view latin9);

// The byte offset of the first malformed UTF-8 sequence; nullopt when the
// whole text is well-formed.
std::optional<std::size_t> firstInvalidUtf8(std::string_view text);

// Text with its line breaks (CR LF, lone LF or lone CR) as record text keeps
// them: CR LF.
std::string withStoredLineBreaks(std::string_view text);

}  // namespace glimra::collection
