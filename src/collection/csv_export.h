// SPDX-License-Identifier: GPL-3.0-or-later
// A collection taken out as a spreadsheet file: every live ornament one row,
// every field a user fills one column, headed by the labels the form shows.
//
// The file is UTF-8 with a byte-order mark (so spreadsheets read accented
// letters right), rows end in CR LF, a cell that a spreadsheet would take for
// a formula gets a leading apostrophe (guardCsvText), and a cell holding a
// comma, a double quote or a line break is quoted, its quotes doubled. Dates are written
// YYYY-MM-DD and amounts as plain decimal numbers ("1234.50"), so that a
// spreadsheet can sort and sum them; a stored value that is neither a date nor
// an amount in any form is written as it is stored, never lost. The header
// record and retired versions are left out.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

#include "collection/gl_record.h"

namespace glimra::collection {

// A column of the spreadsheet form: its title (the label the form shows, without
// the colon) and the record field it holds (its GlField position). Export
// writes them in this order; import maps columns onto them.
struct CsvColumn {
  const char* title;
  int field;
};
std::span<const CsvColumn> csvColumns();

// How a column's cells are written and read: dates as YYYY-MM-DD, amounts as
// plain numbers, anything else as text. Taken from the field's display
// picture, so a cell reads as the form's field does.
enum class CsvKind { Text, Date, Amount };
CsvKind csvKind(const CsvColumn& column);

// The "Photos" column: written after the fields when the collection has
// photos (a collection without them exports as it always did). A cell names
// the ornament's photos in order, as paths relative to the CSV file,
// separated by "; ". Import reads it back through this pseudo field number.
inline constexpr int PHOTOS_FIELD = 1000;
inline constexpr const char* PHOTOS_TITLE = "Photos";
inline constexpr std::string_view PHOTO_PATH_SEPARATOR = "; ";

// The header row and one ornament's row, each ending in CR LF; with
// photos, the Photos column and the ornament's cell of it.
std::string csvHeaderRow(bool photos = false);
std::string csvRow(const GlRecord& record, const std::string* photos = nullptr);
// One cell of a row: guarded against formulas (below), then quoted when it
// must be.
std::string csvCell(std::string_view text);

// Spreadsheet programs take a cell that begins with =, +, -, @, a tab or a
// carriage return as a formula. The guard writes such a text with an
// apostrophe in front, which a spreadsheet shows as text; a plain number
// ("-3.25") is left as it is. A text that already begins with apostrophes
// followed by such a character gets one apostrophe more, so that removing
// exactly one on reading gives back what was written ("'=1" is written
// "''=1"); any other apostrophe ("'Twas the Night") is written as it is.
// guardCsvText is what the export writes; unguardCsvText, its inverse, is
// what the import reads a cell as.
std::string guardCsvText(std::string_view text);
std::string unguardCsvText(std::string_view cell);

struct CsvExport {
  bool ok = false;
  std::size_t ornaments = 0;  // rows written after the header row
  std::size_t photos = 0;     // photos named in the Photos column
  std::string photoFolder;    // with copyPhotos: the folder they were copied to
  std::string error;          // when not ok: a message for the user
};

// Writes the live ornaments of the collection file at collectionPath to
// outPath, through a temporary file renamed over it: on failure an earlier
// file at outPath is left as it was. The collection is only read. The
// Photos column names the photos where the collection keeps them; with
// copyPhotos they are first copied into the folder "STEM photos" beside the
// CSV file, named after their ornament ("Angel 1.jpg"), and named there.
CsvExport exportCollectionCsv(const std::string& collectionPath, const std::string& outPath, bool copyPhotos = false);

// The folder copyPhotos copies into: "wish list photos" beside "wish list.csv".
std::string csvPhotoFolderOf(const std::string& csvPath);

}  // namespace glimra::collection
