// SPDX-License-Identifier: GPL-3.0-or-later
#include "collection/csv_export.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <map>
#include <set>
#include <system_error>

#include "collection/glimra_file.h"
#include "collection/photo_index.h"
#include "collection/photo_store.h"
#include "collection/replace_file.h"
#include "datafile/datafile.h"
#include "datafile/file_errors.h"
#include "text/cp1252.h"
#include "text/picture.h"
#include "text/std_date.h"

namespace glimra::collection {
namespace {

// The user's fields in the order a collector reads them, titled as the form
// and the description and lending windows label them.
constexpr CsvColumn COLUMNS[] = {
    {"Name", GlField::NAME},
    {"Category", GlField::CATEGORY},
    {"Series", GlField::SERIES},
    {"Series #", GlField::SERIESNUM},
    {"Manufacturer", GlField::MANUF},
    {"Artist", GlField::ARTIST},
    {"Year Made", GlField::YEAR},
    {"Purchase Date", GlField::PURDATE},
    {"Value", GlField::VALUE},
    {"Location", GlField::LOCATION},
    {"Purchased From", GlField::PURFROM},
    {"Purchase Price", GlField::PURPRICE},
    {"Condition", GlField::CONDITION},
    {"Stock #", GlField::CUSTOM1},
    {"Custom1", GlField::CUSTOM2},
    {"Custom2", GlField::CUSTOM3},
    {"Description", GlField::DESCRIPTION},
    {"Lent to", GlField::LENTTO},
    {"Date Lent", GlField::DATELENT},
    {"Given to", GlField::GIVENTO},
    {"Date Given", GlField::DATEGIVEN},
};

std::string_view withoutLeadingBlanks(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  return s;
}

// A stored day number as YYYY-MM-DD; 0 is no date. Anything else stays as stored.
std::string dateCell(std::string_view stored) {
  long days = 0;
  const auto [end, ec] = std::from_chars(stored.data(), stored.data() + stored.size(), days);
  if (ec != std::errc() || end != stored.data() + stored.size()) return std::string(stored);
  if (days == 0) return "";
  // Day 4 is January 1, 1801; beyond year 9999 there is no four-digit form.
  if (days < 4 || days > 2'989'000) return std::string(stored);
  const CalendarDate d = daysToDate(static_cast<std::int32_t>(days));
  char text[16];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", d.year, d.month, d.day);
  return text;
}

// An amount in any stored form as a plain number with at least two decimals.
std::string amountCell(std::string_view stored) {
  const auto millionths = readAmountMillionths(stored);
  if (!millionths) return std::string(stored);
  std::string text = millionthsText(*millionths);
  const std::size_t point = text.find('.');
  if (point == std::string::npos) text += ".00";
  else if (text.size() - point < 3) text += '0';
  return text;
}

std::string cellOf(const CsvColumn& column, const GlRecord& record) {
  const std::string_view stored = clipTrailingBlanks(fieldText(record, column.field));
  if (stored.empty()) return "";
  switch (csvKind(column)) {
    case CsvKind::Date: return dateCell(withoutLeadingBlanks(stored));
    case CsvKind::Amount: return amountCell(withoutLeadingBlanks(stored));
    case CsvKind::Text: break;
  }
  return cp1252ToUtf8(stored);
}

// The Photos column's cells: the ornaments' photos as paths relative to the
// CSV file, in the collection's photo folder or, when copied, in the folder
// beside the CSV file (each photo copied once, named after the first
// ornament that shows it).
class CsvPhotoCells {
 public:
  CsvPhotoCells(const std::string& collectionPath, const std::string& csvPath, bool copy)
      : collectionPath_(collectionPath), csvFolder_(absoluteFolderOf(csvPath)), copy_(copy),
        copyFolder_(csvPhotoFolderOf(csvPath)) {}

  bool read(std::string* error) {
    PhotoIndex index;
    std::vector<OrnamentPhotoList> lists;
    if (index.open(collectionPath_, datafile::READ_ONLY_DENY_NONE) != 0 || index.all(&lists) != 0) {
      *error = "Cannot read the photos of " + collectionPath_ + ": " + datafile::describeError(index.file());
      return false;
    }
    for (OrnamentPhotoList& list : lists) photos_[list.ornament] = std::move(list.photos);
    return true;
  }
  bool any() const { return !photos_.empty(); }
  std::size_t named() const { return named_; }

  bool cellOf(const GlRecord& record, std::string* cell, std::string* error) {
    cell->clear();
    const auto found = photos_.find(identityOf(record));
    if (found == photos_.end()) return true;
    const PhotoStore store(collectionPath_);
    int n = 0;
    for (const PhotoEntry& photo : found->second) {
      std::filesystem::path path = store.pathOf(photo.fileName());
      if (copy_ && !copyOut(record, photo, ++n, &path, error)) return false;
      if (!cell->empty()) *cell += PHOTO_PATH_SEPARATOR;
      std::error_code ec;
      *cell += std::filesystem::absolute(path, ec).lexically_normal().lexically_relative(csvFolder_).generic_string();
      ++named_;
    }
    return true;
  }

 private:
  static std::filesystem::path absoluteFolderOf(const std::string& path) {
    std::error_code ec;
    return std::filesystem::absolute(std::filesystem::path(path), ec).lexically_normal().parent_path();
  }

  // A name from the ornament's: what a file name and the column cannot hold
  // becomes "-".
  static std::string nameFor(const GlRecord& record) {
    std::string name = cp1252ToUtf8(record.NAME.clipped());
    for (char& c : name)
      if (c == '/' || c == ';' || c == '\\' || static_cast<unsigned char>(c) < 0x20) c = '-';
    while (!name.empty() && (name.front() == '.' || name.front() == ' ')) name.erase(name.begin());
    return name.empty() ? "ornament" : cutUtf8(name, 80);
  }

  bool copyOut(const GlRecord& record, const PhotoEntry& photo, int n, std::filesystem::path* path,
               std::string* error) {
    auto [it, fresh] = copied_.try_emplace(photo.fileName());
    if (fresh) {
      std::string name = nameFor(record) + " " + std::to_string(n);
      for (int k = 2; taken_.contains(name + "." + photo.type); ++k)
        name = nameFor(record) + " " + std::to_string(n) + " (" + std::to_string(k) + ")";
      taken_.insert(name + "." + photo.type);
      it->second = std::filesystem::path(copyFolder_) / (name + "." + photo.type);
      std::error_code ec;
      std::filesystem::create_directories(copyFolder_, ec);
      if (copied_.size() == 1) removePhotoTemporaries(copyFolder_);
      const std::string source = PhotoStore(collectionPath_).pathOf(photo.fileName());
      if (const int failed = ec ? ec.value() : copyPhotoFile(source, it->second.string()); failed != 0) {
        *error = "Cannot copy the photo " + source + " to " + copyFolder_ + ": " + datafile::osErrorText(failed);
        return false;
      }
    }
    *path = it->second;
    return true;
  }

  std::string collectionPath_;
  std::filesystem::path csvFolder_;
  bool copy_;
  std::string copyFolder_;
  std::map<OrnamentId, std::vector<PhotoEntry>> photos_;
  std::map<std::string, std::filesystem::path> copied_;  // store name -> its copy
  std::set<std::string> taken_;
  std::size_t named_ = 0;
};

}  // namespace

std::span<const CsvColumn> csvColumns() { return COLUMNS; }

CsvKind csvKind(const CsvColumn& column) {
  switch (Picture::parse(glimraDeclaration().fields.at(column.field).picture).kind()) {
    case 'd': return CsvKind::Date;
    case 'n': return CsvKind::Amount;
    default: return CsvKind::Text;
  }
}

namespace {

// -?digits, optionally followed by a point and digits: what a spreadsheet
// reads as a number, never as a formula.
bool isPlainNumber(std::string_view text) {
  if (text.starts_with('-')) text.remove_prefix(1);
  const std::size_t point = text.find('.');
  const std::string_view whole = text.substr(0, point);
  const std::string_view fraction = point == std::string_view::npos ? std::string_view("0") : text.substr(point + 1);
  auto digits = [](std::string_view part) {
    return !part.empty() && part.find_first_not_of("0123456789") == std::string_view::npos;
  };
  return digits(whole) && digits(fraction);
}

// Whether a spreadsheet would take the text for a formula.
bool readAsFormula(std::string_view text) {
  return !text.empty() && std::string_view("=+-@\t\r").find(text.front()) != std::string_view::npos &&
         !isPlainNumber(text);
}

// Whether the text, after its leading apostrophes, would be read as a formula.
bool formulaAfterApostrophes(std::string_view text) {
  const std::size_t start = std::min(text.find_first_not_of('\''), text.size());
  return readAsFormula(text.substr(start));
}

}  // namespace

std::string guardCsvText(std::string_view text) {
  return formulaAfterApostrophes(text) ? "'" + std::string(text) : std::string(text);
}

std::string unguardCsvText(std::string_view cell) {
  if (cell.starts_with('\'') && formulaAfterApostrophes(cell)) cell.remove_prefix(1);
  return std::string(cell);
}

std::string csvCell(std::string_view text) {
  const std::string guarded = guardCsvText(text);
  if (guarded.find_first_of(",\"\r\n") == std::string::npos) return guarded;
  std::string out = "\"";
  for (char c : guarded) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + '"';
}

std::string csvHeaderRow(bool photos) {
  std::string row;
  for (const CsvColumn& column : COLUMNS) {
    if (!row.empty()) row += ',';
    row += csvCell(column.title);
  }
  if (photos) row += std::string(",") + PHOTOS_TITLE;
  return row + "\r\n";
}

std::string csvRow(const GlRecord& record, const std::string* photos) {
  std::string row;
  bool first = true;
  for (const CsvColumn& column : COLUMNS) {
    if (!first) row += ',';
    first = false;
    row += csvCell(cellOf(column, record));
  }
  if (photos) row += "," + csvCell(*photos);
  return row + "\r\n";
}

std::string csvPhotoFolderOf(const std::string& csvPath) {
  std::filesystem::path path(csvPath);
  return (path.parent_path() / (path.stem().string() + " photos")).string();
}

CsvExport exportCollectionCsv(const std::string& collectionPath, const std::string& outPath, bool copyPhotos) {
  CsvExport result;
  CsvPhotoCells photos(collectionPath, outPath, copyPhotos);
  if (!photos.read(&result.error)) return result;
  GlRecord buffer;
  datafile::DataFile file;
  file.declare(glimraDeclaration(), &buffer);
  file.setName(collectionPath);
  if (file.open(datafile::READ_ONLY_DENY_NONE) != 0) {
    result.error = "Cannot open " + collectionPath + ": " + datafile::describeError(file);
    return result;
  }
  std::string text = "\xEF\xBB\xBF" + csvHeaderRow(photos.any());
  if (file.setFile() != 0) {
    result.error = "Cannot read " + collectionPath + ": " + datafile::describeError(file);
    return result;
  }
  bool header = true;  // the first record in record order holds the file's settings
  while (file.next() == 0) {
    if (header) {
      header = false;
      continue;
    }
    if (buffer.DELETED != 0) continue;
    if (photos.any()) {
      std::string cell;
      if (!photos.cellOf(buffer, &cell, &result.error)) return result;
      text += csvRow(buffer, &cell);
    } else {
      text += csvRow(buffer);
    }
    ++result.ornaments;
  }
  if (file.errorCode() != datafile::FileError::RECORD_NOT_AVAILABLE) {
    result.error = "Cannot read " + collectionPath + ": " + datafile::describeError(file);
    return result;
  }
  file.close();
  if (!replaceFile(outPath, text, &result.error)) return result;
  result.photos = photos.named();
  if (copyPhotos && photos.named()) result.photoFolder = csvPhotoFolderOf(outPath);
  result.ok = true;
  return result;
}

}  // namespace glimra::collection
