// SPDX-License-Identifier: GPL-3.0-or-later
// The "Series" window: every series of the collection with the numbers owned,
// the numbers missing between 1 and its size, and how complete it is; the
// collector enters a series' size here (kept in the collection file, see
// collection/series_sizes.h) and prints the wanted list of every series, or
// of the series marked for it.
//
// The window reads the collection beside the main window (its own read-only
// open) and writes sizes through the file's open, so the main window's record
// buffer and lists stay as they were. A size that cannot be saved is reported
// and the table keeps its earlier sizes.
#pragma once

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "collection/series_completeness.h"
#include "collection/series_sizes.h"
#include "program/program.h"
#include "reports/report_procedure.h"
#include "reports/text_measure.h"
#include "reports/text_rows.h"

namespace glimra::reports {

// Control numbers of the Series window.
namespace series {
enum : int {
  SERIESLIST = 1,
  OWNEDTEXT,
  MISSINGTEXT,
  NOTESTEXT,
  COMPLETEBAR,
  SIZEPROMPT,
  SIZE,
  SETSIZE,
  MARK,
  WANTED,
  CLOSE,
  HEADINGS,
};
}  // namespace series

inline constexpr const char* SERIES_WINDOW_TITLE = "Series";

// One list row of a series: its mark, name, owned of size, completeness and a
// bar of ten cells.
std::string seriesRow(const collection::SeriesCompleteness& s, bool marked);

class SeriesWindow {
 public:
  SeriesWindow(program::Program& program, const TextMeasure& measure, PageOutput& output);
  void run();

  // The window's state, for tests.
  std::vector<collection::SeriesCompleteness> SERIES;
  std::set<std::string> MARKED;  // folded names of the series marked for the wanted list
  std::int32_t ENTEREDSIZE = 0;
  std::uint8_t COMPLETE = 0;

 private:
  runtime::WindowDeclaration declaration();
  bool load();
  void refresh(int row);
  void showChosen();
  void enterSize();
  void printWanted();
  const collection::SeriesCompleteness* chosen() const;

  program::Program& program_;
  const TextMeasure& measure_;
  PageOutput& output_;
  collection::SeriesTally tally_;
  collection::SeriesSizes sizes_;
  std::shared_ptr<TextRows> rows_ = std::make_shared<TextRows>();
  runtime::Window* window_ = nullptr;
};

// The wanted list of every series of the open collection, through the page
// output; says so when nothing is missing.
void printWantedList(program::Program& program, const TextMeasure& measure, PageOutput& output);

}  // namespace glimra::reports
