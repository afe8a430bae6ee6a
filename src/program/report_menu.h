// SPDX-License-Identifier: GPL-3.0-or-later
// ReportMenu: how the main window reaches the reports without knowing them.
//
// The main window shows a Reports menu with one item per report, in the order
// given, and runs the chosen one; the program's entry wires it to the report
// procedures. The main window reopens the collection file after each run,
// since a report may have closed it. Without a ReportMenu, or with no items,
// the window shows no Reports menu.
#pragma once

#include <string>
#include <vector>

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
};

}  // namespace glimra::program
