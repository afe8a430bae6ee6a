// SPDX-License-Identifier: GPL-3.0-or-later
// A spreadsheet file taken into a collection: every row one new ornament.
//
// The steps, each usable alone (the import window runs them one by one, the
// command-line tool in a row):
//   1. readCsvFile / readCsv: the file's bytes as rows of cells, in UTF-8.
//      The character set (UTF-8, Windows-1252, ISO 8859-15) and the delimiter
//      (comma, semicolon, tab) are given or detected; cells are quoted as the
//      export writes them (quotes doubled, line breaks inside quotes). An empty
//      file, a file that is not text and a quote left open are refused with a
//      message for the user.
//   2. guessMapping: which field each column fills, from the first row's
//      titles (the export's own titles map themselves; the record's field
//      names are taken too); columns that name no field are ignored.
//   3. planImport: every row checked before anything is written. Dates are
//      read as YYYY-MM-DD or through the form's date picture, amounts through
//      the form's amount picture; text must fit its field and be text the
//      collection file can hold (Windows-1252). Each refused cell is listed
//      with its row and column; the good rows are kept as the stored values
//      of the fields they fill (a few hundred bytes a row, not a whole record).
//   4. OrnamentImport: the rows added to the open collection file in one
//      transaction, in batches a progress bar can follow; cancelling or a
//      failure rolls all of it back, and a crash leaves the file as it was.
//      Each new ornament gets the created and changed stamps and the sort keys
//      a save gives it; the created stamps are distinct (one hundredth of a
//      second apart), as each is an ornament's identity.
// importOrnaments runs step 4 on a collection file named by its path.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "collection/gl_record.h"
#include "collection/ornament_identity.h"
#include "collection/photo_images.h"
#include "collection/photo_index.h"
#include "collection/photo_store.h"
#include "datafile/datafile.h"
#include "datafile/os_file.h"

namespace glimra::collection {

enum class CsvEncoding { Utf8, Windows1252, Iso8859_15 };
inline constexpr CsvEncoding CSV_ENCODINGS[] = {CsvEncoding::Utf8, CsvEncoding::Windows1252,
                                                CsvEncoding::Iso8859_15};
// "UTF-8", "Windows-1252", "ISO 8859-15".
const char* encodingName(CsvEncoding encoding);
// The encoding a name means ("utf-8", "utf8", "windows-1252", "cp1252",
// "iso-8859-15", "latin9" …, in any letter case).
std::optional<CsvEncoding> encodingNamed(std::string_view name);

inline constexpr char CSV_DELIMITERS[] = {',', ';', '\t'};
// "comma", "semicolon", "tab".
const char* delimiterName(char delimiter);
// The delimiter a name or the character itself means.
std::optional<char> delimiterNamed(std::string_view name);

// UTF-8 when the file starts with its byte-order mark or is well-formed
// UTF-8, else Windows-1252.
CsvEncoding detectEncoding(std::string_view bytes);
// The delimiter that splits the first rows of `text` into the same number of
// cells most often; comma when none splits them.
char detectDelimiter(std::string_view text);

struct CsvTable {
  bool ok = false;
  std::string error;                           // when not ok: a message for the user
  std::vector<std::vector<std::string>> rows;  // cells in UTF-8, rows as they stand in the file
  std::size_t columns = 0;                     // the most cells in a row
};

// The file's bytes as rows of cells. A row ends at a line break outside
// quotes (CR LF, LF or CR); a blank line at the end is no row.
CsvTable readCsv(std::string_view bytes, CsvEncoding encoding, char delimiter);

// A whole file's bytes; nullopt with a message in *error when it cannot be read.
std::optional<std::string> readCsvFile(const std::string& path, std::string* error);

// The field (a GlField position) a column title or a field's name names:
// the export's title ("Purchase Date", "Series #") or the record's field name
// ("PURDATE", "GL:PURDATE"), in any letter case, blanks and a trailing colon
// aside. nullopt when it names none of the importable fields.
std::optional<int> fieldNamed(std::string_view name);
// The title of an importable field, as the export writes it.
const char* fieldTitle(int field);
// The fields a column may fill, in the export's order.
std::vector<int> importableFields();

inline constexpr int IGNORED_COLUMN = -1;
// A field per column (IGNORED_COLUMN for none): the fields the titles name;
// a field named twice goes to its first column.
std::vector<int> guessMapping(const std::vector<std::string>& titles, std::size_t columns);
// Whether a row reads as a title row: one of its cells names a field.
bool holdsTitles(const std::vector<std::string>& row);

struct RefusedCell {
  std::size_t row = 0;     // 1-based, as the file's rows are numbered (a title row is row 1)
  std::size_t column = 0;  // 1-based
  std::string reason;      // a sentence for the user, naming the field
};

// A checked row: the stored value (Windows-1252) of each field it fills.
struct ImportRow {
  std::vector<std::pair<int, std::string>> fields;  // GlField position, stored value
  // Its Photos cell: the paths as written (relative to the CSV file, or
  // absolute), and once taken in (takeInImportPhotos) the stored photos.
  std::vector<std::string> photoFiles;
  std::vector<PhotoEntry> photos;

  // A cleared record with these fields set.
  void fill(GlRecord& record) const;
};
// The importable fields of a record as a row.
ImportRow importRowOf(const GlRecord& record);

struct ImportPlan {
  std::string error;                 // the import cannot run at all (no name column …)
  std::vector<ImportRow> rows;       // the rows without a refused cell
  std::vector<RefusedCell> refused;  // in order of row, then column
  std::size_t refusedRows = 0;
  std::size_t emptyRows = 0;         // rows with nothing in a mapped column: skipped
};

// Checks every row against the mapping (a GlField position or
// IGNORED_COLUMN per column). A row with an empty name is refused (a
// collection keeps no ornament without a name).
ImportPlan planImport(const CsvTable& table, const std::vector<int>& mapping, bool firstRowTitles);

// "Row 3, column 2 (Purchase Date): …" lines, the first `limit` of them and a
// closing line that counts the rest.
std::string describeRefusals(const ImportPlan& plan, std::size_t limit);

// Takes the photos the rows name into the collection's photo store (paths
// relative to the CSV file at csvPath), all of them or none: "" when done,
// else a message naming the file that was refused and its row.
std::string takeInImportPhotos(PhotoStore& store, ImageInspector& images, const std::string& csvPath,
                               std::vector<ImportRow>& rows);
bool rowsHavePhotos(const std::vector<ImportRow>& rows);

// Adds rows as new ornaments to an open collection file (bound to `buffer`)
// in one transaction. begin() starts it, addNext() adds the next batch,
// commit() ends it; cancel() or a failure in any step rolls everything back,
// so the file holds all the rows or none of them. Rows with photos (taken in
// before) get their index entries in the same transaction, through
// `photos`: the collection's photo index, opened beside the file, its table
// made (ensureTable) before begin().
class OrnamentImport {
 public:
  OrnamentImport(datafile::DataFile& file, GlRecord& buffer, std::vector<ImportRow> rows,
                 PhotoIndex* photos = nullptr);
  ~OrnamentImport();
  OrnamentImport(const OrnamentImport&) = delete;
  OrnamentImport& operator=(const OrnamentImport&) = delete;

  // Each returns 0 or the file's error code (its text in the file).
  int begin();
  int addNext(std::size_t count);
  int commit();
  void cancel();

  bool allAdded() const { return added_ == rows_.size(); }
  std::size_t added() const { return added_; }
  std::size_t total() const { return rows_.size(); }
  // The file's error text of the step that failed (the file's own error is
  // then the rollback's).
  const std::string& error() const { return error_; }

 private:
  int failed();

  datafile::DataFile& file_;
  GlRecord& buffer_;
  std::vector<ImportRow> rows_;
  PhotoIndex* photos_;
  std::size_t added_ = 0;
  OrnamentId next_;  // the created stamp of the next row
  bool open_ = false;  // the transaction is running
  std::string error_;
};

struct ImportResult {
  bool ok = false;
  std::size_t added = 0;
  std::string error;  // when not ok: a message for the user
};

// Opens the collection file at path, adds the rows in one transaction and
// closes it. progress(added, total) is called after every batch and may
// return false to cancel (nothing is then added). Rows with photos need
// `images` (else nothing is imported) and the CSV file's path, which their
// paths are relative to.
ImportResult importOrnaments(const std::string& path, std::vector<ImportRow> rows,
                             const std::function<bool(std::size_t, std::size_t)>& progress = {},
                             datafile::FileSystem& fileSystem = datafile::posixFileSystem(),
                             ImageInspector* images = nullptr, const std::string& csvPath = {});

}  // namespace glimra::collection
