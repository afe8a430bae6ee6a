// SPDX-License-Identifier: GPL-3.0-or-later
// import: the rows of a spreadsheet file as new ornaments of a collection file.
#include <chrono>
#include <cstdlib>
#include <iostream>

#include "collection/backups.h"
#include "collection/csv_import.h"
#include "datafile/os_file.h"
#include "tools/commands.h"

namespace glimra::tools {
namespace {

// COLUMN: a 1-based number, or a title of the first row.
std::optional<std::size_t> columnNamed(const std::string& name, const collection::CsvTable& table) {
  if (!name.empty() && name.find_first_not_of("0123456789") == std::string::npos) {
    const unsigned long n = std::strtoul(name.c_str(), nullptr, 10);
    if (n >= 1 && n <= table.columns) return n - 1;
    return std::nullopt;
  }
  if (table.rows.empty()) return std::nullopt;
  const auto& titles = table.rows.front();
  for (std::size_t c = 0; c < titles.size(); ++c)
    if (titles[c] == name) return c;
  return std::nullopt;
}

}  // namespace

int importCommand(const Arguments& args) {
  const char* usage =
      "usage: glimra-file import FILE --csv IN [--map COLUMN=FIELD ...] [--encoding E] [--delimiter C]\n"
      "                          [--titles yes|no] [--skip-refused] [--no-backup]";
  std::string path, in;
  std::vector<std::string> maps;
  std::optional<collection::CsvEncoding> encoding;
  std::optional<char> delimiter;
  std::optional<bool> titles;
  bool skipRefused = false;
  bool backUp = true;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool hasValue = i + 1 < args.size();
    if (a == "--csv" && hasValue && in.empty()) {
      in = args[++i];
    } else if (a == "--map" && hasValue) {
      maps.push_back(args[++i]);
    } else if (a == "--encoding" && hasValue && !encoding) {
      encoding = collection::encodingNamed(args[++i]);
      if (!encoding) return fail(EXIT_USAGE, "unknown encoding '" + args[i] + "' (UTF-8, Windows-1252, ISO-8859-15)");
    } else if (a == "--delimiter" && hasValue && !delimiter) {
      delimiter = collection::delimiterNamed(args[++i]);
      if (!delimiter) return fail(EXIT_USAGE, "unknown delimiter '" + args[i] + "' (comma, semicolon, tab)");
    } else if (a == "--titles" && hasValue && !titles && (args[i + 1] == "yes" || args[i + 1] == "no")) {
      titles = args[++i] == "yes";
    } else if (a == "--skip-refused") {
      skipRefused = true;
    } else if (a == "--no-backup") {
      backUp = false;
    } else if (path.empty() && a.rfind("--", 0) != 0) {
      path = a;
    } else {
      return fail(EXIT_USAGE, usage);
    }
  }
  if (path.empty() || in.empty()) return fail(EXIT_USAGE, usage);

  std::string error;
  const auto bytes = collection::readCsvFile(in, &error);
  if (!bytes) return fail(EXIT_FAILED, error);
  const auto table = collection::readCsv(*bytes, encoding.value_or(collection::detectEncoding(*bytes)),
                                         delimiter.value_or(collection::detectDelimiter(*bytes)));
  if (!table.ok) return fail(EXIT_FAILED, in + ": " + table.error);

  const bool firstRowTitles = titles.value_or(collection::holdsTitles(table.rows.front()));
  std::vector<int> mapping = firstRowTitles ? collection::guessMapping(table.rows.front(), table.columns)
                                            : std::vector<int>(table.columns, collection::IGNORED_COLUMN);
  for (const std::string& map : maps) {
    const std::size_t eq = map.rfind('=');
    if (eq == std::string::npos) return fail(EXIT_USAGE, "--map takes COLUMN=FIELD, not '" + map + "'");
    const auto column = columnNamed(map.substr(0, eq), table);
    if (!column) return fail(EXIT_USAGE, "--map " + map + ": the file has no column " + map.substr(0, eq));
    const std::string fieldName = map.substr(eq + 1);
    const auto field = collection::fieldNamed(fieldName);
    if (!field && fieldName != "ignore")
      return fail(EXIT_USAGE, "--map " + map + ": no field is called " + fieldName);
    mapping[*column] = field.value_or(collection::IGNORED_COLUMN);
  }

  collection::ImportPlan plan = collection::planImport(table, mapping, firstRowTitles);
  if (!plan.error.empty()) return fail(EXIT_FAILED, in + ": " + plan.error);
  if (!plan.refused.empty()) {
    std::cerr << collection::describeRefusals(plan, 50);
    if (!skipRefused || plan.rows.empty())
      return fail(EXIT_FAILED, "nothing was imported: " + std::to_string(plan.refusedRows) +
                                   (plan.refusedRows == 1 ? " row holds" : " rows hold") + " refused cells" +
                                   (plan.rows.empty() ? std::string()
                                                         : "; --skip-refused imports the other " +
                                                               std::to_string(plan.rows.size()) +
                                                               (plan.rows.size() == 1 ? " row" : " rows")));
  }
  if (plan.rows.empty()) return fail(EXIT_FAILED, "nothing was imported: " + in + " holds no ornament");

  // The import adds to the whole file: a backup first, or nothing happens.
  if (backUp && datafile::posixFileSystem().exists(path)) {
    const collection::BackupResult backup = collection::backUpCollection(path);
    if (!backup.ok)
      return fail(EXIT_FAILED, path + ": nothing was imported: no backup could be taken: " + backup.error +
                                   " (--no-backup goes on without one)");
    if (!backup.path.empty()) std::cerr << "glimra-file: " << path << ": backup " << backup.path << "\n";
  }
  const auto started = std::chrono::steady_clock::now();
  const std::size_t count = plan.rows.size();
  // Photos named in the rows are read with the image readers, made only then.
  collection::ImageInspector* images = collection::rowsHavePhotos(plan.rows) ? toolImageInspector() : nullptr;
  const collection::ImportResult result =
      collection::importOrnaments(path, std::move(plan.rows), {}, datafile::posixFileSystem(), images, in);
  if (!result.ok) return fail(EXIT_FAILED, result.error);
  const auto ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started).count();
  std::cout << path << ": " << count << (count == 1 ? " ornament" : " ornaments") << " imported from " << in;
  if (plan.refusedRows) std::cout << ", " << plan.refusedRows << " rows refused";
  if (plan.emptyRows) std::cout << ", " << plan.emptyRows << " empty rows skipped";
  std::cout << " (" << ms << " ms)\n";
  return EXIT_OK;
}

}  // namespace glimra::tools
