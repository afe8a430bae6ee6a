// SPDX-License-Identifier: GPL-3.0-or-later
#include "collection/csv_export.h"

#include <charconv>
#include <cstdio>

#include "collection/cp1252.h"
#include "collection/glimra_file.h"
#include "collection/picture.h"
#include "collection/replace_file.h"
#include "collection/std_date.h"
#include "datafile/datafile.h"
#include "datafile/file_errors.h"

namespace glimra::collection {
namespace {

enum class Kind { Text, Date, Amount };

struct Column {
  const char* title;
  Kind kind;
  std::string_view (*value)(const GlRecord&);
};

#define GLIMRA_COLUMN(title, kind, field) \
  Column { title, Kind::kind, [](const GlRecord& r) { return r.field.raw(); } }

// The user's fields in the order a collector reads them, titled as the form
// and the description and lending windows label them.
const Column COLUMNS[] = {
    GLIMRA_COLUMN("Name", Text, NAME),
    GLIMRA_COLUMN("Category", Text, CATEGORY),
    GLIMRA_COLUMN("Series", Text, SERIES),
    GLIMRA_COLUMN("Series #", Text, SERIESNUM),
    GLIMRA_COLUMN("Manufacturer", Text, MANUF),
    GLIMRA_COLUMN("Artist", Text, ARTIST),
    GLIMRA_COLUMN("Year Made", Text, YEAR),
    GLIMRA_COLUMN("Purchase Date", Date, PURDATE),
    GLIMRA_COLUMN("Value", Amount, VALUE),
    GLIMRA_COLUMN("Location", Text, LOCATION),
    GLIMRA_COLUMN("Purchased From", Text, PURFROM),
    GLIMRA_COLUMN("Purchase Price", Amount, PURPRICE),
    GLIMRA_COLUMN("Condition", Text, CONDITION),
    GLIMRA_COLUMN("Stock #", Text, CUSTOM1),
    GLIMRA_COLUMN("Custom1", Text, CUSTOM2),
    GLIMRA_COLUMN("Custom2", Text, CUSTOM3),
    GLIMRA_COLUMN("Description", Text, DESCRIPTION),
    GLIMRA_COLUMN("Lent to", Text, LENTTO),
    GLIMRA_COLUMN("Date Lent", Date, DATELENT),
    GLIMRA_COLUMN("Given to", Text, GIVENTO),
    GLIMRA_COLUMN("Date Given", Date, DATEGIVEN),
};

#undef GLIMRA_COLUMN

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

std::string cellOf(const Column& column, const GlRecord& record) {
  const std::string_view stored = clipTrailingBlanks(column.value(record));
  if (stored.empty()) return "";
  switch (column.kind) {
    case Kind::Date: return dateCell(withoutLeadingBlanks(stored));
    case Kind::Amount: return amountCell(withoutLeadingBlanks(stored));
    case Kind::Text: break;
  }
  return cp1252ToUtf8(stored);
}

}  // namespace

std::string csvCell(std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + '"';
}

std::string csvHeaderRow() {
  std::string row;
  for (const Column& column : COLUMNS) {
    if (!row.empty()) row += ',';
    row += csvCell(column.title);
  }
  return row + "\r\n";
}

std::string csvRow(const GlRecord& record) {
  std::string row;
  bool first = true;
  for (const Column& column : COLUMNS) {
    if (!first) row += ',';
    first = false;
    row += csvCell(cellOf(column, record));
  }
  return row + "\r\n";
}

CsvExport exportCollectionCsv(const std::string& collectionPath, const std::string& outPath) {
  CsvExport result;
  GlRecord buffer;
  datafile::DataFile file;
  file.declare(glimraDeclaration(), &buffer);
  file.setName(collectionPath);
  if (file.open(datafile::READ_ONLY_DENY_NONE) != 0) {
    result.error = "Cannot open " + collectionPath + ": " + datafile::describeError(file);
    return result;
  }
  std::string text = "\xEF\xBB\xBF" + csvHeaderRow();
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
    text += csvRow(buffer);
    ++result.ornaments;
  }
  if (file.errorCode() != datafile::FileError::RECORD_NOT_AVAILABLE) {
    result.error = "Cannot read " + collectionPath + ": " + datafile::describeError(file);
    return result;
  }
  file.close();
  if (!replaceFile(outPath, text, &result.error)) return result;
  result.ok = true;
  return result;
}

}  // namespace glimra::collection
