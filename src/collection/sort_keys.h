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
// The lists order by these keys as the file's keys do: letters compared in
// Windows-1252 upper case (so "angel" sorts with "Angel", "église" beside
// "Église"), trailing blanks ignored.
#pragma once

#include <compare>
#include <string_view>

#include "collection/gl_record.h"

namespace glimra::collection {

// Sets NAMEKEY and SERIESKEY of the record from its NAME and SERIES.
void buildKeys(GlRecord& record);

// The order of two sort keys (or names) in the lists.
std::weak_ordering compareSortKeys(std::string_view a, std::string_view b);

}  // namespace glimra::collection
