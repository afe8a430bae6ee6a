// SPDX-License-Identifier: GPL-3.0-or-later
// Find over a collection file: the live ornaments whose record holds a text,
// in the order the find tab lists them.
//
// The records are searched inside the storage engine (datafile/text_search.h)
// and the result is exactly that of the plain whole-record test of
// record_search.h applied to every record after the header record (the first
// in record order, never searched), retired records left out: the text without
// its trailing blanks, anywhere in the record's bytes; with ignoreCase, case
// folded by the Windows-1252 rules the file's case-insensitive keys use.
//
// Each match is then read by its pointer (GET, so the file's record buffer and
// current record change, as a search that read every record would leave them)
// for the keys the find tab orders and shows it by. The order is ascending by
// (sort key, name) in the order the lists show them (compareSortKeys: case
// and accents aside first, trailing blanks ignored); equal entries keep
// record order.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "datafile/datafile.h"
#include "text/fixed_text.h"

namespace glimra::collection {

// One entry of the find tab (the TAB: fields Find fills).
struct FoundOrnament {
  std::int32_t pointer = 0;
  FixedText<80> sortKey;  // the name key; the series key when the name key is blank
  FixedText<80> nameKey;
  FixedText<80> seriesKey;
  FixedText<45> name;
  std::uint8_t keyType = 1;  // 1: ordered by the name key, 2: by the series key
};

// Fills *found (emptied first). file is an open collection file, declared with
// the collection record. Returns the file's error code (0 also when nothing
// matches or the file holds no records).
int findOrnaments(datafile::DataFile& file, std::string_view findText, bool ignoreCase,
                  std::vector<FoundOrnament>* found);

}  // namespace glimra::collection
