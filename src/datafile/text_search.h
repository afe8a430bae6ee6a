// SPDX-License-Identifier: GPL-3.0-or-later
// The text search of a table: the data records whose image holds a text
// anywhere, found inside the engine instead of reading record by record.
//
// The search reads the stored pages in file order, many pages per read, and
// tests the text on each page's record stream as it lies there, without
// building a record image: literal bytes are tested as they are, and a run of
// one repeated byte stands in the test for at most as many bytes as the text
// is long (a match holds no more of a longer run than one of its two ends, or
// the text itself when the text is nothing but that byte). A page too small to
// hold a data record of the table is passed over on its header alone; so is an
// inner page. When the file holds uncommitted changes or an unfinished write,
// or stores its text in the OEM character set, the search steps through the
// table's data records in the tree instead, with the same result.
//
// The result is exactly that of testing every record image as one string of
// bytes: the text without its trailing blanks (leading blanks count) occurs in
// the image, across field boundaries and padding as well. With ignoreCase both
// are compared through the file's case folding (each lower-case letter to its
// upper-case letter, as the file's case-insensitive keys fold). A text that is
// empty or all blanks matches nothing. Matches come in record-number order.
//
// Errors are those of a reading operation (the file's errorCode(); 90 with the
// internal number on damage, as NEXT would meet it). The file's current record
// and its cursors are left as they were.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace glimra::datafile {

class DataFile;

struct TextSearch {
  std::string_view text;
  bool ignoreCase = false;
  // Records whose image has a byte other than 0 at this offset (a retired
  // flag) are left out.
  std::optional<std::size_t> skipWhenSetAt;
  // Only records numbered above this one are searched.
  std::uint32_t after = 0;
};

// Fills *matches with the numbers of the matching records (emptied first).
// Returns the file's error code (0 = success).
int findText(DataFile& file, const TextSearch& search, std::vector<std::uint32_t>* matches);

}  // namespace glimra::datafile
