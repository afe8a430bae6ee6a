// SPDX-License-Identifier: GPL-3.0-or-later
// The derived sort keys of a record: NAMEKEY (the name, then the series in
// parentheses) and SERIESKEY (the series, then the name in parentheses). The
// list of the main window shows and sorts by them.
//
// Invariants: the name and series lose their trailing blanks but keep their
// leading blanks and letter case; a blank series gives NAMEKEY = name and
// SERIESKEY = " (name)", so entries without a series sort first by series;
// both keys are cut after 80 characters and padded with blanks.
//
// The lists show these keys in the order a reader expects of a sorted list,
// which is not the byte order the file's keys keep (the reports read by
// those): first by letters without case and accents (Ä, á and a are A, É is
// E, Æ is AE, ß is SS), then, between texts that differ only in accents, the
// plain letter first; trailing blanks carry nothing.
#pragma once

#include <compare>
#include <cstddef>
#include <string_view>

#include "collection/gl_record.h"

namespace glimra::collection {

// Sets NAMEKEY and SERIESKEY of the record from its NAME and SERIES.
void buildKeys(GlRecord& record);

// The order of two sort keys (or names) in the lists.
std::weak_ordering compareSortKeys(std::string_view a, std::string_view b);

// The same order as bytes: writes 2 × width bytes to out, whose byte order
// between two texts given the same width is compareSortKeys's order (the
// text's base letters, blank-padded or cut to width, then its upper case).
void writeDisplayOrderKey(std::string_view text, std::size_t width, unsigned char* out);

// The letter a character is listed under: its base letter in upper case
// ('A' for 'ä', 'Æ' and 'a'); any other character as its upper case.
unsigned char baseLetter(unsigned char c);

}  // namespace glimra::collection
