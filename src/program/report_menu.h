// SPDX-License-Identifier: GPL-3.0-or-later
// ReportMenu: how the main window reaches the reports without knowing them.
//
// The main window shows a Reports menu with one item per report, in the order
// given, and runs the chosen one; the program's entry wires it to the report
// procedures. The main window reopens the collection file after each run,
// since a report may have closed it. Without a ReportMenu, or with no items,
// the window shows no Reports menu.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "collection/gl_record.h"
#include "collection/valuations.h"

namespace glimra::program {

struct ReportMenuItem {
  std::string text;             // the item's caption, Windows-1252, '&' marks the mnemonic
  bool separatorAfter = false;  // a line stands after the item
};

class ReportMenu {
 public:
  virtual ~ReportMenu() = default;
  // At most sixteen items.
  virtual std::vector<ReportMenuItem> items() const = 0;
  // Runs report `index` (0-based into items()) modally; returns when the
  // user has left it.
  virtual void run(int index) = 0;

  // Windows about the whole collection (what it is worth, its series), shown
  // in the Reports menu below the reports after a line, with control numbers
  // of their own. They read the open collection beside the main window and
  // leave its record buffer alone, so the main window need not reopen it.
  virtual std::vector<ReportMenuItem> overviewItems() const { return {}; }
  virtual void runOverview(int /*index*/) {}

  // The value history window of the ornament shown; false when this menu
  // has none (the main window then offers no value history).
  virtual bool offersValueHistory() const { return false; }
  virtual void showValueHistory(const struct ValueHistoryAccess& /*ornament*/) {}
};

// What the value history window works on: the ornament shown, read afresh
// after each change, and the save that changes its history (an ordinary save
// of the ornament: one operation of the undo history; false when it failed,
// the user told).
struct ValueHistoryAccess {
  std::string heading;  // the entry of the ornament in the list, Windows-1252
  std::function<collection::GlRecord()> record;
  std::function<std::vector<collection::Valuation>()> valuations;
  std::function<bool(std::vector<collection::Valuation>)> save;
};

}  // namespace glimra::program
