// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalogue/csv_import_window.h"

#include <algorithm>
#include <map>

#include "collection/settings.h"
#include "text/cp1252.h"

namespace glimra::catalogue {

using runtime::Binding;
using runtime::ControlDeclaration;
using runtime::ControlKind;
using runtime::EventKind;

namespace {

constexpr std::size_t PREVIEW_ROWS = 8;
constexpr std::size_t PREVIEW_CELL = 28;  // characters of a cell shown in the preview
constexpr int SLOTS_PER_HALF = IMPORT_SLOTS / 2;
constexpr const char* IGNORE_CHOICE = "(ignore)";

// UTF-8 text as the window's controls show it (Windows-1252): a character
// they cannot show becomes '?', a line break '¶', and a long text is cut.
std::string screenText(std::string utf8, std::size_t limit = std::string::npos) {
  for (;;) {
    const collection::Cp1252Conversion converted = collection::utf8ToCp1252(utf8);
    if (converted.ok) {
      std::string text;
      for (std::size_t i = 0; i < converted.text.size(); ++i) {
        const char c = converted.text[i];
        if (c == '\r' && i + 1 < converted.text.size() && converted.text[i + 1] == '\n') continue;
        text += c == '\r' || c == '\n' ? '\xB6' : c;
      }
      if (text.size() > limit) text = text.substr(0, limit - 1) + '\x85';  // an ellipsis
      return text;
    }
    if (converted.refused.empty()) return "?";  // malformed: cannot happen for decoded text
    const std::size_t at = utf8.find(converted.refused);
    utf8.replace(at, converted.refused.size(), "?");
  }
}

// The remembered mapping: "key=field" pairs separated by '|', the key a
// column's title, or "#N" for column N of a file without titles; '%', '|',
// '=' and line breaks in a title are written %XX.
std::string escaped(std::string_view text) {
  static const char* HEX = "0123456789ABCDEF";
  std::string out;
  for (char c : text) {
    if (c == '%' || c == '|' || c == '=' || c == '\r' || c == '\n') {
      out += '%';
      out += HEX[static_cast<unsigned char>(c) >> 4];
      out += HEX[c & 0x0F];
    } else {
      out += c;
    }
  }
  return out;
}

std::string unescaped(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size()) {
      const std::string hex(text.substr(i + 1, 2));
      char* end = nullptr;
      const long value = std::strtol(hex.c_str(), &end, 16);
      if (end == hex.c_str() + 2) {
        out += static_cast<char>(value);
        i += 2;
        continue;
      }
    }
    out += text[i];
  }
  return out;
}

std::map<std::string, std::string> rememberedMapping() {
  std::map<std::string, std::string> mapping;
  const std::string text = collection::readSetting(IMPORT_SETTINGS_SECTION, IMPORT_SETTINGS_MAPPING, "");
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('|', start);
    if (end == std::string::npos) end = text.size();
    const std::string_view pair = std::string_view(text).substr(start, end - start);
    if (const std::size_t eq = pair.find('='); eq != std::string_view::npos)
      mapping[unescaped(pair.substr(0, eq))] = unescaped(pair.substr(eq + 1));
    start = end + 1;
  }
  return mapping;
}

std::string columnKey(const collection::CsvTable& table, bool titles, std::size_t column) {
  if (titles && !table.rows.empty() && column < table.rows.front().size()) return table.rows.front()[column];
  return "#" + std::to_string(column + 1);
}

template <class T, std::size_t N>
int choiceOf(const T (&options)[N], T value) {
  const auto at = std::find(std::begin(options), std::end(options), value);
  return at == std::end(options) ? 1 : static_cast<int>(at - std::begin(options)) + 1;
}

}  // namespace

CsvImportWindow::CsvImportWindow(runtime::Runtime& runtime, std::string name, std::string bytes)
    : runtime_(runtime), name_(std::move(name)), bytes_(std::move(bytes)) {
  std::vector<std::string> choices{IGNORE_CHOICE};
  for (int field : collection::importableFields()) choices.push_back(collection::fieldTitle(field));
  fieldChoices_ = std::make_shared<runtime::TextRows>(std::move(choices));
  DELIMITER = choiceOf(collection::CSV_DELIMITERS, collection::detectDelimiter(bytes_));
  ENCODING = choiceOf(collection::CSV_ENCODINGS, collection::detectEncoding(bytes_));
  readTable();
  TITLES = table_.ok && !table_.rows.empty() && collection::holdsTitles(table_.rows.front()) ? 1 : 0;
  guessMapping();
}

void CsvImportWindow::readTable() {
  table_ = collection::readCsv(bytes_, collection::CSV_ENCODINGS[ENCODING - 1],
                               collection::CSV_DELIMITERS[DELIMITER - 1]);
  std::vector<std::string> rows;
  if (table_.ok) {
    for (std::size_t r = 0; r < table_.rows.size() && r < PREVIEW_ROWS; ++r) {
      std::string line;
      for (const std::string& cell : table_.rows[r]) {
        if (!line.empty()) line += "  |  ";
        line += screenText(cell, PREVIEW_CELL);
      }
      rows.push_back(line);
    }
  }
  preview_ = std::make_shared<runtime::TextRows>(std::move(rows));
}

void CsvImportWindow::guessMapping() {
  const auto remembered = rememberedMapping();
  const std::vector<int> fields = collection::importableFields();
  std::vector<int> guessed = TITLES && !table_.rows.empty()
                                 ? collection::guessMapping(table_.rows.front(), table_.columns)
                                 : std::vector<int>(table_.columns, collection::IGNORED_COLUMN);
  for (std::size_t c = 0; c < guessed.size(); ++c) {
    const auto it = remembered.find(columnKey(table_, TITLES, c));
    if (it != remembered.end()) guessed[c] = collection::fieldNamed(it->second).value_or(collection::IGNORED_COLUMN);
  }
  FIELDS.fill(1);
  std::vector<int> taken;
  for (std::size_t c = 0; c < guessed.size() && c < FIELDS.size(); ++c) {
    if (guessed[c] == collection::IGNORED_COLUMN) continue;
    if (std::find(taken.begin(), taken.end(), guessed[c]) != taken.end()) continue;  // one column per field
    taken.push_back(guessed[c]);
    FIELDS[c] = static_cast<std::int32_t>(std::find(fields.begin(), fields.end(), guessed[c]) - fields.begin()) + 2;
  }
}

std::vector<int> CsvImportWindow::mapping() const {
  const std::vector<int> fields = collection::importableFields();
  std::vector<int> chosen(table_.columns, collection::IGNORED_COLUMN);
  for (std::size_t c = 0; c < chosen.size() && c < FIELDS.size(); ++c)
    if (FIELDS[c] >= 2) chosen[c] = fields.at(static_cast<std::size_t>(FIELDS[c] - 2));
  return chosen;
}

void CsvImportWindow::rememberMapping() const {
  // The mapping of this file replaces the one remembered before.
  std::map<std::string, std::string> remembered;
  const std::vector<int> chosen = mapping();
  for (std::size_t c = 0; c < chosen.size(); ++c)
    remembered[columnKey(table_, TITLES, c)] =
        chosen[c] == collection::IGNORED_COLUMN ? "ignore" : collection::fieldTitle(chosen[c]);
  std::string text;
  for (const auto& [key, field] : remembered) {
    if (!text.empty()) text += '|';
    text += escaped(key) + '=' + escaped(field);
  }
  collection::writeSetting(IMPORT_SETTINGS_SECTION, IMPORT_SETTINGS_MAPPING, text);
}

void CsvImportWindow::show(runtime::Window& w) {
  w.setListSource(IMPORT_PREVIEW, preview_);
  const std::size_t firstData = TITLES ? 1 : 0;
  for (int s = 0; s < IMPORT_SLOTS; ++s) {
    const auto column = static_cast<std::size_t>(s);
    if (!table_.ok || column >= table_.columns) {
      w.hide(slotTitle(s), slotSample(s));
      continue;
    }
    std::string title = std::to_string(s + 1) + ". ";
    title += TITLES && column < table_.rows.front().size() && !table_.rows.front()[column].empty()
                 ? screenText(table_.rows.front()[column], 24)
                 : "Column " + std::to_string(s + 1);
    w.setText(slotTitle(s), title);
    std::string sample;
    if (firstData < table_.rows.size() && column < table_.rows[firstData].size())
      sample = screenText(table_.rows[firstData][column], 24);
    w.setText(slotSample(s), sample);
    w.show(slotTitle(s), slotSample(s));
  }
  std::string note;
  if (!table_.ok) {
    note = screenText(table_.error);
  } else {
    const std::size_t rows = table_.rows.size() - firstData;
    note = std::to_string(rows) + (rows == 1 ? " row, " : " rows, ") + std::to_string(table_.columns) +
           (table_.columns == 1 ? " column." : " columns.");
    if (table_.columns > IMPORT_SLOTS)
      note += " Columns after " + std::to_string(IMPORT_SLOTS) + " are left out.";
  }
  w.setText(IMPORT_NOTE, note);
  if (table_.ok)
    w.enable(IMPORT_OK);
  else
    w.disable(IMPORT_OK);
  w.display();
}

std::optional<collection::ImportPlan> CsvImportWindow::run() {
  runtime::WindowDeclaration d;
  d.title = IMPORT_WINDOW_TITLE;
  d.at = {-1, -1, 480, 342};
  auto& c = d.controls;
  c.push_back({IMPORT_FILE, ControlKind::Text, "File: " + screenText(name_, 110), {8, 6, 464, 10}});
  c.push_back({IMPORT_DELIMITER, ControlKind::OptionGroup, "Delimiter", {8, 18, 158, 26}, Binding::to(DELIMITER)});
  auto radio = [&](int number, const char* text, runtime::Rect at, int group) {
    ControlDeclaration r{number, ControlKind::Radio, text, at};
    r.parent = group;
    c.push_back(r);
  };
  radio(IMPORT_COMMA, "&Comma", {16, 30, 44, 10}, IMPORT_DELIMITER);
  radio(IMPORT_SEMICOLON, "&Semicolon", {62, 30, 54, 10}, IMPORT_DELIMITER);
  radio(IMPORT_TAB, "&Tab", {120, 30, 40, 10}, IMPORT_DELIMITER);
  c.push_back({IMPORT_ENCODING, ControlKind::OptionGroup, "Character set", {172, 18, 204, 26}, Binding::to(ENCODING)});
  radio(IMPORT_UTF8, "&UTF-8", {180, 30, 40, 10}, IMPORT_ENCODING);
  radio(IMPORT_WINDOWS1252, "&Windows-1252", {222, 30, 70, 10}, IMPORT_ENCODING);
  radio(IMPORT_ISO8859_15, "IS&O 8859-15", {296, 30, 76, 10}, IMPORT_ENCODING);
  c.push_back({IMPORT_TITLES, ControlKind::Check, "&First row holds titles", {382, 30, 94, 10}, Binding::to(TITLES)});
  c.push_back({IMPORT_PREVIEW_PROMPT, ControlKind::Prompt, "First rows of the file:", {8, 50, 200, 10}});
  c.push_back({IMPORT_PREVIEW, ControlKind::List, "", {8, 60, 464, 62}});
  c.push_back({IMPORT_COLUMNS_PROMPT, ControlKind::Prompt, "Each column fills the field chosen beside it:",
               {8, 128, 300, 10}});
  for (int s = 0; s < IMPORT_SLOTS; ++s) {
    const int x = 8 + (s / SLOTS_PER_HALF) * 238;
    const int y = 140 + (s % SLOTS_PER_HALF) * 14;
    c.push_back({slotTitle(s), ControlKind::Text, "", {x, y + 2, 70, 10}});
    c.push_back({slotField(s), ControlKind::DropList, "", {x + 72, y, 76, 12},
                 Binding::to(FIELDS[static_cast<std::size_t>(s)])});
    c.push_back({slotSample(s), ControlKind::Text, "", {x + 152, y + 2, 80, 10}});
  }
  c.push_back({IMPORT_NOTE, ControlKind::Text, "", {8, 312, 340, 10}});
  ControlDeclaration ok{IMPORT_OK, ControlKind::Button, "&Import", {366, 322, 50, 14}};
  ok.flags = runtime::DefaultButton;
  c.push_back(ok);
  c.push_back({IMPORT_CANCEL, ControlKind::Button, "Cancel", {422, 322, 50, 14}});

  auto window = runtime_.open(d);
  runtime::Window& w = *window;
  for (int s = 0; s < IMPORT_SLOTS; ++s) w.setListSource(slotField(s), fieldChoices_);
  show(w);
  std::optional<collection::ImportPlan> plan;
  for (;;) {
    const runtime::Event event = w.accept();
    if (event.closes()) break;
    if (event.kind == EventKind::OpenWindow) {
      w.select(IMPORT_OK);
    } else if (event.is(IMPORT_DELIMITER, EventKind::Accepted) || event.is(IMPORT_ENCODING, EventKind::Accepted)) {
      readTable();
      guessMapping();
      show(w);
    } else if (event.is(IMPORT_TITLES, EventKind::Accepted)) {
      guessMapping();
      show(w);
    } else if (event.is(IMPORT_OK, EventKind::Accepted)) {
      collection::ImportPlan checked = collection::planImport(table_, mapping(), TITLES != 0);
      if (!checked.error.empty()) {
        runtime_.message(runtime::MessageBox{checked.error, IMPORT_WINDOW_TITLE, runtime::MessageIcon::Exclamation,
                                             runtime::Ok, runtime::Ok});
        continue;
      }
      rememberMapping();
      plan = std::move(checked);
      w.close();
    } else if (event.is(IMPORT_CANCEL, EventKind::Accepted)) {
      w.close();
    }
  }
  return plan;
}

}  // namespace glimra::catalogue
