// SPDX-License-Identifier: GPL-3.0-or-later
#include "collection/csv_import.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "collection/csv_export.h"
#include "collection/glimra_file.h"
#include "collection/ornament_identity.h"
#include "collection/ornament_photos.h"
#include "collection/sort_keys.h"
#include "datafile/file_errors.h"
#include "text/cp1252.h"
#include "text/picture.h"
#include "text/std_date.h"

namespace glimra::collection {
namespace {

constexpr std::string_view UTF8_BOM = "\xEF\xBB\xBF";

std::string lowered(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

const CsvColumn* columnOf(int field) {
  for (const CsvColumn& column : csvColumns())
    if (column.field == field) return &column;
  return nullptr;
}

// Why the bytes are no text for a spreadsheet reader, or "".
std::string notTextReason(std::string_view bytes) {
  if (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF"))
    return "The file is written in UTF-16, which is not read here: save it as CSV in UTF-8 and import that.";
  std::size_t controls = 0;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    if (b == 0)
      return "The file does not hold text (it has a zero byte at byte " + std::to_string(i + 1) +
             "): choose a CSV file.";
    if (b < 0x20 && b != '\t' && b != '\r' && b != '\n' && b != '\f') ++controls;
  }
  if (controls * 20 > bytes.size()) return "The file does not hold text: choose a CSV file.";
  return "";
}

// The text of the file in UTF-8, or a message in *error.
std::optional<std::string> decoded(std::string_view bytes, CsvEncoding encoding, std::string* error) {
  switch (encoding) {
    case CsvEncoding::Utf8:
      if (const auto bad = firstInvalidUtf8(bytes)) {
        *error = "The file is not UTF-8 text (byte " + std::to_string(*bad + 1) +
                 " is no UTF-8 character): choose Windows-1252 or ISO 8859-15.";
        return std::nullopt;
      }
      return std::string(bytes);
    case CsvEncoding::Windows1252: return cp1252ToUtf8(bytes);
    case CsvEncoding::Iso8859_15: return iso8859_15ToUtf8(bytes);
  }
  return std::nullopt;
}

struct CellValue {
  bool ok = false;
  std::string stored;  // Windows-1252, the field's stored form
  std::string reason;
};

CellValue refusedCell(std::string reason) { return CellValue{false, {}, std::move(reason)}; }

bool allDigits(std::string_view text) {
  return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

// An amount a spreadsheet of a decimal-comma country wrote ("12,50",
// "1.234,5", "$7,5") in the decimal-point form the amount picture reads;
// the text as it is when its commas are no decimal comma ("1,234.50",
// "1,234,567"). A single comma before three digits ("1,250") could be either:
// refused (nullopt) with what to write in *refusal.
std::optional<std::string> withDecimalPoint(std::string_view amount, std::string* refusal) {
  const std::size_t comma = amount.rfind(',');
  if (comma == std::string_view::npos || amount.find('.', comma) != std::string_view::npos ||
      amount.find(',') != comma)
    return std::string(amount);
  const std::string_view whole = amount.substr(0, comma);
  const std::string_view fraction = amount.substr(comma + 1);
  std::string_view digits = whole;
  while (!digits.empty() && (digits.front() == '$' || digits.front() == '-')) digits.remove_prefix(1);
  // The whole part: digits, points between groups of three allowed.
  std::string wholeDigits;
  for (std::size_t start = 0;;) {
    const std::size_t point = digits.find('.', start);
    const std::string_view group = digits.substr(start, point == std::string_view::npos ? point : point - start);
    if (!allDigits(group) || (start > 0 && group.size() != 3)) return std::string(amount);
    wholeDigits += group;
    if (point == std::string_view::npos) break;
    start = point + 1;
  }
  if (!allDigits(fraction)) return std::string(amount);
  const std::string sign(whole.substr(0, whole.size() - digits.size()));
  if (fraction.size() == 3 && wholeDigits.size() == digits.size()) {
    const auto asDecimals = readAmountMillionths(wholeDigits + "." + std::string(fraction));
    *refusal = "could be " + wholeDigits + std::string(fraction) + ".00 or " +
               millionthsText(asDecimals.value_or(0)) +
               ": write the amount with a decimal point and no thousands separator.";
    return std::nullopt;
  }
  return sign + wholeDigits + "." + std::string(fraction);
}

// The stored value of one cell for `field`, read as the form reads it.
CellValue cellValue(int field, const Picture& picture, std::string_view utf8) {
  const auto& declared = glimraDeclaration().fields.at(static_cast<std::size_t>(field));
  const bool multiLine = field == GlField::DESCRIPTION;
  if (!multiLine && utf8.find_first_of("\r\n") != std::string_view::npos)
    return refusedCell("The text holds a line break; this field holds one line.");
  const Cp1252Conversion text = utf8ToCp1252(multiLine ? withStoredLineBreaks(utf8) : std::string(utf8));
  if (!text.ok) return refusedCell(text.reason);
  const CsvColumn* column = columnOf(field);
  switch (csvKind(*column)) {
    case CsvKind::Text: {
      const std::string_view value = clipTrailingBlanks(text.text);
      if (value.size() > declared.size)
        return refusedCell("The text is " + std::to_string(value.size()) + " characters long; the field holds " +
                           std::to_string(declared.size) + ".");
      return CellValue{true, std::string(value), {}};
    }
    case CsvKind::Date: {
      const std::string_view value = trimmed(text.text);
      if (value.empty()) return CellValue{true, {}, {}};
      const Deformatted read = picture.deformat(value);
      if (!read.ok) return refusedCell("\"" + cp1252ToUtf8(value) + "\": " + read.reason);
      return CellValue{true, read.value, {}};
    }
    case CsvKind::Amount: {
      const std::string_view value = trimmed(text.text);
      if (value.empty()) return CellValue{true, {}, {}};
      std::string refusal;
      const auto plain = withDecimalPoint(value, &refusal);
      if (!plain) return refusedCell("\"" + cp1252ToUtf8(value) + "\" " + refusal);
      const Deformatted read = picture.deformat(*plain);
      if (!read.ok) return refusedCell("\"" + cp1252ToUtf8(value) + "\": " + read.reason);
      return CellValue{true, read.value, {}};
    }
  }
  return refusedCell("");
}

}  // namespace

const char* encodingName(CsvEncoding encoding) {
  switch (encoding) {
    case CsvEncoding::Utf8: return "UTF-8";
    case CsvEncoding::Windows1252: return "Windows-1252";
    case CsvEncoding::Iso8859_15: return "ISO 8859-15";
  }
  return "";
}

std::optional<CsvEncoding> encodingNamed(std::string_view name) {
  std::string key;
  for (char c : lowered(trimmed(name)))
    if (c != '-' && c != '_' && c != ' ') key += c;
  if (key == "utf8") return CsvEncoding::Utf8;
  if (key == "windows1252" || key == "cp1252" || key == "ansi") return CsvEncoding::Windows1252;
  if (key == "iso885915" || key == "latin9") return CsvEncoding::Iso8859_15;
  return std::nullopt;
}

const char* delimiterName(char delimiter) {
  switch (delimiter) {
    case ',': return "comma";
    case ';': return "semicolon";
    case '\t': return "tab";
    default: return "";
  }
}

std::optional<char> delimiterNamed(std::string_view name) {
  if (name == "," || name == ";" || name == "\t") return name.front();
  const std::string key = lowered(trimmed(name));
  for (char d : CSV_DELIMITERS)
    if (key == delimiterName(d)) return d;
  if (key == "\\t") return '\t';
  return std::nullopt;
}

CsvEncoding detectEncoding(std::string_view bytes) {
  if (bytes.starts_with(UTF8_BOM) || !firstInvalidUtf8(bytes)) return CsvEncoding::Utf8;
  return CsvEncoding::Windows1252;
}

char detectDelimiter(std::string_view text) {
  // Delimiters counted outside quotes in each of the first lines.
  constexpr std::size_t LINES = 20;
  std::array<std::vector<int>, std::size(CSV_DELIMITERS)> counts;
  std::array<int, std::size(CSV_DELIMITERS)> line{};
  bool quoted = false;
  std::size_t lines = 0;
  for (std::size_t i = 0; i < text.size() && lines < LINES; ++i) {
    const char c = text[i];
    if (c == '"') quoted = !quoted;
    if (quoted) continue;
    if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      for (std::size_t d = 0; d < counts.size(); ++d) counts[d].push_back(line[d]);
      line.fill(0);
      ++lines;
      continue;
    }
    for (std::size_t d = 0; d < counts.size(); ++d)
      if (c == CSV_DELIMITERS[d]) ++line[d];
  }
  if (lines < LINES)
    for (std::size_t d = 0; d < counts.size(); ++d) counts[d].push_back(line[d]);
  char best = ',';
  std::pair<std::size_t, int> bestScore{0, 0};  // lines splitting like the first, cells of the first
  for (std::size_t d = 0; d < counts.size(); ++d) {
    const int first = counts[d].empty() ? 0 : counts[d].front();
    if (first == 0) continue;
    const auto alike = static_cast<std::size_t>(std::count(counts[d].begin(), counts[d].end(), first));
    const std::pair<std::size_t, int> score{alike, first};
    if (score > bestScore) {
      bestScore = score;
      best = CSV_DELIMITERS[d];
    }
  }
  return best;
}

CsvTable readCsv(std::string_view bytes, CsvEncoding encoding, char delimiter) {
  CsvTable table;
  if (bytes.starts_with(UTF8_BOM)) bytes.remove_prefix(UTF8_BOM.size());
  if (trimmed(clipTrailingBlanks(bytes)).find_first_not_of("\r\n\t ") == std::string_view::npos) {
    table.error = "The file is empty: there is nothing to import.";
    return table;
  }
  if (std::string reason = notTextReason(bytes); !reason.empty()) {
    table.error = std::move(reason);
    return table;
  }
  const auto text = decoded(bytes, encoding, &table.error);
  if (!text) return table;

  std::vector<std::string> row;
  std::string cell;
  bool inQuotes = false;
  bool cellQuoted = false;
  std::size_t quoteRow = 0;  // the row a quoted cell opened in
  auto endCell = [&] {
    row.push_back(unguardCsvText(cell));
    cell.clear();
    cellQuoted = false;
  };
  auto endRow = [&] {
    endCell();
    table.columns = std::max(table.columns, row.size());
    table.rows.push_back(std::move(row));
    row.clear();
  };
  const std::string& t = *text;
  for (std::size_t i = 0; i < t.size(); ++i) {
    const char c = t[i];
    if (inQuotes) {
      if (c != '"') {
        cell += c;
      } else if (i + 1 < t.size() && t[i + 1] == '"') {
        cell += '"';
        ++i;
      } else {
        inQuotes = false;
      }
    } else if (c == '"' && cell.empty() && !cellQuoted) {
      inQuotes = cellQuoted = true;
      quoteRow = table.rows.size() + 1;
    } else if (c == delimiter) {
      endCell();
    } else if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < t.size() && t[i + 1] == '\n') ++i;
      endRow();
    } else {
      cell += c;
    }
  }
  if (inQuotes) {
    table.rows.clear();
    table.error = "The quoted cell that starts in row " + std::to_string(quoteRow) +
                  " is never closed: the file is cut short or not a CSV file.";
    return table;
  }
  if (!cell.empty() || cellQuoted || !row.empty()) endRow();
  // Blank lines at the end are no rows.
  auto blank = [](const std::vector<std::string>& r) {
    return std::all_of(r.begin(), r.end(), [](const std::string& c) { return trimmed(c).empty(); });
  };
  while (!table.rows.empty() && blank(table.rows.back())) table.rows.pop_back();
  table.ok = true;
  return table;
}

std::optional<std::string> readCsvFile(const std::string& path, std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *error = "Cannot open " + path + ".";
    return std::nullopt;
  }
  std::ostringstream bytes;
  bytes << in.rdbuf();
  if (in.bad()) {
    *error = "Cannot read " + path + ".";
    return std::nullopt;
  }
  return bytes.str();
}

std::optional<int> fieldNamed(std::string_view name) {
  std::string_view key = trimmed(name);
  if (key.ends_with(':')) key = trimmed(key.substr(0, key.size() - 1));
  const std::string wanted = lowered(key);
  if (wanted.empty()) return std::nullopt;
  if (wanted == lowered(PHOTOS_TITLE)) return PHOTOS_FIELD;
  const auto& fields = glimraDeclaration().fields;
  // Titles first: the title "Custom1" is the field GL:CUSTOM2.
  for (const CsvColumn& column : csvColumns())
    if (wanted == lowered(column.title)) return column.field;
  for (const CsvColumn& column : csvColumns()) {
    const std::string declared = lowered(fields.at(static_cast<std::size_t>(column.field)).name);  // "gl:name"
    if (wanted == declared || "gl:" + wanted == declared) return column.field;
  }
  return std::nullopt;
}

const char* fieldTitle(int field) {
  if (field == PHOTOS_FIELD) return PHOTOS_TITLE;
  const CsvColumn* column = columnOf(field);
  return column ? column->title : "";
}

std::vector<int> importableFields() {
  std::vector<int> fields;
  for (const CsvColumn& column : csvColumns()) fields.push_back(column.field);
  fields.push_back(PHOTOS_FIELD);
  return fields;
}

std::vector<int> guessMapping(const std::vector<std::string>& titles, std::size_t columns) {
  std::vector<int> mapping(columns, IGNORED_COLUMN);
  for (std::size_t c = 0; c < columns && c < titles.size(); ++c) {
    const auto field = fieldNamed(titles[c]);
    if (field && std::find(mapping.begin(), mapping.end(), *field) == mapping.end()) mapping[c] = *field;
  }
  return mapping;
}

bool holdsTitles(const std::vector<std::string>& row) {
  return std::any_of(row.begin(), row.end(), [](const std::string& cell) { return fieldNamed(cell).has_value(); });
}

ImportPlan planImport(const CsvTable& table, const std::vector<int>& mapping, bool firstRowTitles) {
  ImportPlan plan;
  const auto& fields = glimraDeclaration().fields;
  std::size_t nameColumn = mapping.size();
  for (std::size_t c = 0; c < mapping.size(); ++c) {
    if (mapping[c] == IGNORED_COLUMN) continue;
    for (std::size_t earlier = 0; earlier < c; ++earlier)
      if (mapping[earlier] == mapping[c]) {
        plan.error = std::string("The field ") + fieldTitle(mapping[c]) + " is chosen for columns " +
                     std::to_string(earlier + 1) + " and " + std::to_string(c + 1) + ": choose it for one column only.";
        return plan;
      }
    if (mapping[c] == GlField::NAME) nameColumn = c;
  }
  if (nameColumn == mapping.size()) {
    plan.error = "No column is taken as the Name: every ornament needs a name.";
    return plan;
  }
  std::vector<Picture> pictures;
  for (int field : mapping)
    pictures.push_back(field == IGNORED_COLUMN || field == PHOTOS_FIELD
                           ? Picture{}
                           : Picture::parse(fields.at(static_cast<std::size_t>(field)).picture));

  for (std::size_t r = firstRowTitles ? 1 : 0; r < table.rows.size(); ++r) {
    const auto& row = table.rows[r];
    auto cellAt = [&](std::size_t c) -> std::string_view { return c < row.size() ? row[c] : std::string_view{}; };
    bool empty = true;
    for (std::size_t c = 0; c < mapping.size() && empty; ++c)
      if (mapping[c] != IGNORED_COLUMN && !trimmed(cellAt(c)).empty()) empty = false;
    if (empty) {
      ++plan.emptyRows;
      continue;
    }
    ImportRow imported;
    bool refused = false;
    for (std::size_t c = 0; c < mapping.size(); ++c) {
      if (mapping[c] == IGNORED_COLUMN) continue;
      if (mapping[c] == PHOTOS_FIELD) {
        // Paths separated by ";"; whether each is a photo is seen when it is
        // taken in, before anything is imported.
        std::string_view cell = cellAt(c);
        while (!cell.empty()) {
          const std::size_t end = std::min(cell.find(';'), cell.size());
          const std::string_view one = trimmed(cell.substr(0, end));
          if (!one.empty()) imported.photoFiles.emplace_back(one);
          cell.remove_prefix(std::min(end + 1, cell.size()));
        }
        continue;
      }
      CellValue value = cellValue(mapping[c], pictures[c], cellAt(c));
      if (value.ok && c == nameColumn && trimmed(value.stored).empty())
        value = refusedCell("empty; every ornament needs a name.");
      if (!value.ok) {
        plan.refused.push_back(
            RefusedCell{r + 1, c + 1, std::string(fieldTitle(mapping[c])) + ": " + value.reason});
        refused = true;
        continue;
      }
      if (!value.stored.empty()) imported.fields.emplace_back(mapping[c], std::move(value.stored));
    }
    if (refused)
      ++plan.refusedRows;
    else
      plan.rows.push_back(std::move(imported));
  }
  return plan;
}

std::string describeRefusals(const ImportPlan& plan, std::size_t limit) {
  std::string text;
  std::size_t shown = 0;
  for (const RefusedCell& cell : plan.refused) {
    if (shown == limit) break;
    text += "Row " + std::to_string(cell.row) + ", column " + std::to_string(cell.column) + " (" + cell.reason + ")\n";
    ++shown;
  }
  if (plan.refused.size() > shown)
    text += "… and " + std::to_string(plan.refused.size() - shown) + " more refused cells.\n";
  return text;
}

void ImportRow::fill(GlRecord& record) const {
  record.clear();
  for (const auto& [field, value] : fields) setFieldText(record, field, value);
}

ImportRow importRowOf(const GlRecord& record) {
  ImportRow row;
  for (const CsvColumn& column : csvColumns()) {
    const std::string_view value = clipTrailingBlanks(fieldText(record, column.field));
    if (!value.empty()) row.fields.emplace_back(column.field, std::string(value));
  }
  return row;
}

// ---------------------------------------------------------------- writing

bool rowsHavePhotos(const std::vector<ImportRow>& rows) {
  return std::any_of(rows.begin(), rows.end(), [](const ImportRow& r) { return !r.photoFiles.empty(); });
}

std::string takeInImportPhotos(PhotoStore& store, ImageInspector& images, const std::string& csvPath,
                               std::vector<ImportRow>& rows) {
  const std::filesystem::path folder = std::filesystem::path(csvPath).parent_path();
  std::vector<std::string> files;
  for (ImportRow& row : rows)
    for (const std::string& file : row.photoFiles) {
      const std::filesystem::path path(file);
      files.push_back((path.is_absolute() ? path : folder / path).lexically_normal().string());
    }
  PhotoIntake intake = takeInPhotos(store, images, files);
  if (!intake.ok) return intake.error;
  std::size_t next = 0;
  for (ImportRow& row : rows) {
    std::vector<PhotoEntry> taken(intake.photos.begin() + static_cast<std::ptrdiff_t>(next),
                                  intake.photos.begin() + static_cast<std::ptrdiff_t>(next + row.photoFiles.size()));
    next += row.photoFiles.size();
    row.photos = withPhotosAdded({}, taken);
  }
  return {};
}

OrnamentImport::OrnamentImport(datafile::DataFile& file, GlRecord& buffer, std::vector<ImportRow> rows,
                               PhotoIndex* photos)
    : file_(file), buffer_(buffer), rows_(std::move(rows)), photos_(photos) {}

OrnamentImport::~OrnamentImport() { cancel(); }

int OrnamentImport::begin() {
  added_ = 0;
  // Each row gets a created stamp of its own, the first today and now (or
  // after the latest stamp of the file): the stamp is the ornament's identity.
  if (freshIdentity(file_, buffer_, {today(), now()}, &next_) != 0) return file_.errorCode();
  if (file_.logout() != 0) return file_.errorCode();
  open_ = true;
  return 0;
}

int OrnamentImport::addNext(std::size_t count) {
  for (std::size_t n = 0; n < count && added_ < rows_.size(); ++n) {
    rows_[added_].fill(buffer_);
    // Stamped and keyed as a save stamps and keys a new ornament.
    buffer_.DELETED = 0;
    setIdentity(buffer_, next_);
    next_ = nextStamp(next_);
    buffer_.CHANGED = buffer_.CREATED;
    buildKeys(buffer_);
    if (file_.add() != 0) return failed();
    if (!rows_[added_].photos.empty()) {
      const int code = photos_ ? photos_->replace(identityOf(buffer_), rows_[added_].photos)
                               : datafile::FileError::FILE_NOT_FOUND;
      if (code != 0) {
        error_ = photos_ ? "the photo index: " + datafile::describeError(photos_->file()) : "no photo index";
        cancel();
        return code;
      }
    }
    ++added_;
  }
  return 0;
}

int OrnamentImport::commit() {
  if (file_.commit() != 0) return failed();
  open_ = false;
  return 0;
}

void OrnamentImport::cancel() {
  if (!open_) return;
  open_ = false;
  added_ = 0;
  file_.rollback();
}

int OrnamentImport::failed() {
  const int code = file_.errorCode();
  error_ = datafile::describeError(file_);
  cancel();
  return code;
}

ImportResult importOrnaments(const std::string& path, std::vector<ImportRow> rows,
                             const std::function<bool(std::size_t, std::size_t)>& progress,
                             datafile::FileSystem& fileSystem, ImageInspector* images, const std::string& csvPath) {
  ImportResult result;
  GlRecord buffer;
  datafile::DataFile file(fileSystem);
  file.declare(glimraDeclaration(), &buffer);
  file.setName(path);
  if (file.open(datafile::READ_WRITE_DENY_WRITE) != 0) {
    result.error = "Cannot open " + path + ": " + datafile::describeError(file);
    return result;
  }
  PhotoIndex photos(fileSystem);
  if (rowsHavePhotos(rows)) {
    if (!images) {
      result.error = "Nothing was imported: the rows name photos, and this build reads no images.";
      return result;
    }
    PhotoStore store(path, fileSystem);
    store.removeTemporaries();
    if (const std::string refused = takeInImportPhotos(store, *images, csvPath, rows); !refused.empty()) {
      result.error = refused;
      return result;
    }
    if (photos.open(path, datafile::READ_WRITE_DENY_WRITE) != 0 || photos.ensureTable() != 0) {
      result.error = "Nothing was imported: the photo index of " + path + ": " + datafile::describeError(photos.file());
      return result;
    }
  }
  OrnamentImport run(file, buffer, std::move(rows), &photos);
  constexpr std::size_t BATCH = 500;
  if (run.begin() != 0) {
    result.error = "Cannot start the import in " + path + ": " + datafile::describeError(file);
    return result;
  }
  while (!run.allAdded()) {
    if (run.addNext(BATCH) != 0) {
      result.error = "Nothing was imported: " + run.error();
      return result;
    }
    if (progress && !progress(run.added(), run.total())) {
      run.cancel();
      result.error = "The import was cancelled: nothing was imported.";
      return result;
    }
  }
  if (run.commit() != 0) {
    result.error = "Nothing was imported: " + run.error();
    return result;
  }
  result.added = run.total();
  file.close();
  result.ok = true;
  return result;
}

}  // namespace glimra::collection
