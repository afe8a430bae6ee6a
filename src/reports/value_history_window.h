// SPDX-License-Identifier: GPL-3.0-or-later
// The "Value History" window of the ornament shown: its valuations as a
// table (date, kind, amount, source, note; the purchase first, shown but not
// stored), Add..., Edit... and Delete to change them, and beside the table the
// line chart of its value over time, drawn from the same report page that
// Print (through the preview) produces. Each change is one ordinary save of
// the ornament (its Value becomes the latest valuation's amount), one
// operation of the undo history.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "program/program.h"
#include "program/report_menu.h"
#include "reports/print_preview.h"
#include "reports/report_procedure.h"
#include "reports/text_measure.h"
#include "reports/text_rows.h"

namespace glimra::reports {

namespace value_history {
enum : int {
  HEADING = 1,
  TITLES,
  VALUATIONLIST,
  ADD,
  EDIT,
  REMOVE,
  CHART,
  PRINT,
  CLOSE,
  // The editor of one valuation.
  DATEPROMPT,
  DATE,
  AMOUNTPROMPT,
  AMOUNT,
  KINDPROMPT,
  KIND,
  SOURCEPROMPT,
  SOURCE,
  NOTEPROMPT,
  NOTE,
  OK,
  CANCEL,
};
}  // namespace value_history

inline constexpr const char* VALUE_HISTORY_WINDOW_TITLE = "Value History";
inline constexpr const char* VALUATION_WINDOW_TITLE = "Valuation";

// The chart of an ornament's history as a report page.
PageList valueHistoryPages(const std::string& heading, const collection::GlRecord& record,
                           const std::vector<collection::Valuation>& valuations, const TextMeasure& measure);

class ValueHistoryWindow {
 public:
  ValueHistoryWindow(program::Program& program, const TextMeasure& measure, PageOutput& output,
                     PreviewDevices* devices, const program::ValueHistoryAccess& ornament);
  void run();

  // What the window shows, for tests.
  std::vector<collection::Valuation> valuations;
  collection::GlRecord record;

 private:
  runtime::WindowDeclaration declaration();
  void refresh();
  // The valuation of the row chosen (rows count the purchase first when shown);
  // -1 for none or the purchase.
  int chosenValuation() const;
  // Edits a valuation in the editor; false when cancelled.
  bool editValuation(collection::Valuation& valuation, const std::string& title);
  void change(std::vector<collection::Valuation> changed);

  program::Program& program_;
  const TextMeasure& measure_;
  PageOutput& output_;
  PreviewDevices* devices_;
  const program::ValueHistoryAccess& ornament_;
  std::shared_ptr<TextRows> rows_ = std::make_shared<TextRows>();
  bool purchaseShown_ = false;
  PageList pages_;
  std::shared_ptr<const runtime::PageImages> images_;
  runtime::Window* window_ = nullptr;
};

}  // namespace glimra::reports
