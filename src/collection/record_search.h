// SPDX-License-Identifier: GPL-3.0-or-later
// The whole-record search of Find: does an ornament's record contain a text?
//
// The record is searched as one string of bytes (every text field, the derived
// keys, the description and the lending notes, in their stored order, blank
// padding included), so a text may also match across a field's padding. With
// ignoreCase the record is compared as if upper-cased by the Windows-1252
// rules, and the find text is expected already upper-cased (as the catalogue
// upper-cases FINDSTRING in place); without it bytes must match exactly.
//
// Invariants: pure (no state, no allocation); trailing blanks of the find text
// are not significant, leading blanks are; a find text that is empty or all
// blanks matches nothing.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "collection/gl_record.h"

namespace glimra::collection {

// Windows-1252 upper case of one byte / of a text (for preparing the find text).
unsigned char upperCp1252(unsigned char c);
// The same as a table (byte -> its upper case), for loops over many bytes.
const std::array<std::uint8_t, 256>& upperCp1252Table();
std::string upperCp1252(std::string_view text);

// True when find (without its trailing blanks) occurs in the bytes.
bool textContains(std::string_view bytes, std::string_view find, bool ignoreCase);

// True when find (without its trailing blanks) occurs in the record.
bool recordContains(const GlRecord& record, std::string_view find, bool ignoreCase);

}  // namespace glimra::collection
