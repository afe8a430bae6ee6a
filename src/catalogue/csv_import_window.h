// SPDX-License-Identifier: GPL-3.0-or-later
// The mapping window of Import from CSV: a preview of the file's first rows,
// the delimiter and the character set (detected, and changed by the user),
// whether the first row holds titles, and per column a drop list of the
// fields it may fill ("(ignore)" for none), guessed from the titles and from
// the mapping the user chose last time (kept in Glimra.INI).
//
// run() returns the checked rows once the user presses Import and the mapping
// names a Name column; Cancel or the close box give nothing. It writes
// nothing to the collection; it remembers the chosen mapping.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "collection/csv_import.h"
#include "runtime/runtime.h"

namespace glimra::catalogue {

inline constexpr const char* IMPORT_WINDOW_TITLE = "Import from CSV";

enum ImportWindowControl : int {
  IMPORT_FILE = 1,
  IMPORT_DELIMITER,  // option group: comma, semicolon, tab
  IMPORT_COMMA,
  IMPORT_SEMICOLON,
  IMPORT_TAB,
  IMPORT_ENCODING,  // option group: UTF-8, Windows-1252, ISO 8859-15
  IMPORT_UTF8,
  IMPORT_WINDOWS1252,
  IMPORT_ISO8859_15,
  IMPORT_TITLES,  // check box: the first row holds titles
  IMPORT_PREVIEW_PROMPT,
  IMPORT_PREVIEW,  // list: the first rows
  IMPORT_COLUMNS_PROMPT,
  IMPORT_NOTE,  // what the file holds, or what it lacks
  IMPORT_OK,
  IMPORT_CANCEL,
  // Per column slot s (0-based): its title, its field's drop list, its first value.
  IMPORT_FIRST_SLOT = 100,
};
inline constexpr int IMPORT_SLOTS = 24;
constexpr int slotTitle(int slot) { return IMPORT_FIRST_SLOT + 3 * slot; }
constexpr int slotField(int slot) { return IMPORT_FIRST_SLOT + 3 * slot + 1; }
constexpr int slotSample(int slot) { return IMPORT_FIRST_SLOT + 3 * slot + 2; }

// Settings of the remembered mapping: section and key in Glimra.INI.
inline constexpr const char* IMPORT_SETTINGS_SECTION = "CsvImport";
inline constexpr const char* IMPORT_SETTINGS_MAPPING = "Mapping";

class CsvImportWindow {
 public:
  // `bytes` are the file's contents, `name` its path (UTF-8), shown.
  CsvImportWindow(runtime::Runtime& runtime, std::string name, std::string bytes);
  // Why the file cannot be read with the detected delimiter and character
  // set (an empty file, not text, a quote left open); "" when it can. No
  // choice in the window mends these, so the window is not opened for them.
  std::string problem() const { return table_.ok ? std::string() : table_.error; }
  std::optional<collection::ImportPlan> run();

 private:
  // Reads the table again with the chosen delimiter and character set.
  void readTable();
  // The mapping guessed from the titles and the remembered choices.
  void guessMapping();
  // Puts the table and the mapping into the controls.
  void show(runtime::Window& w);
  std::vector<int> mapping() const;
  void rememberMapping() const;

  runtime::Runtime& runtime_;
  std::string name_;
  std::string bytes_;
  collection::CsvTable table_;
  std::int32_t DELIMITER = 1;  // the option chosen, 1-based, as CSV_DELIMITERS
  std::int32_t ENCODING = 1;   // as CSV_ENCODINGS
  std::uint8_t TITLES = 1;
  std::array<std::int32_t, IMPORT_SLOTS> FIELDS{};  // per slot: 1 "(ignore)", k + 1 field k of importableFields()
  std::shared_ptr<runtime::ListSource> fieldChoices_;
  std::shared_ptr<runtime::ListSource> preview_;
};

}  // namespace glimra::catalogue
