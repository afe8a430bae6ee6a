// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's declared layout at its design width of 429 units, and
// R_RESOLUTION, which enlarges the sheet's controls in proportion when the
// window opens wider than that and lays them out again whenever the user
// resizes or maximises the window. Both read the design rectangles from one
// table.
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "catalogue/display_glimra.h"
#include "catalogue/main_window_controls.h"
#include "catalogue/start_up.h"

namespace glimra::catalogue {

using runtime::Binding;
using runtime::ControlDeclaration;
using runtime::ControlKind;
using runtime::Rect;
using namespace control;

namespace {

ControlDeclaration menu(int number, const char* text) { return {number, ControlKind::Menu, text}; }

ControlDeclaration item(int number, const char* text, int parent, unsigned flags = 0) {
  ControlDeclaration control{number, ControlKind::MenuItem, text};
  control.parent = parent;
  control.flags = flags;
  return control;
}

// A toolbar button that gives the command of menu item `command`.
ControlDeclaration toolbarButton(int number, const char* tip, const char* icon, int command) {
  ControlDeclaration control{number, ControlKind::ToolbarButton, tip};
  control.tip = tip;
  control.icon = std::string(":/icons/") + icon + ".svg";
  control.command = command;
  return control;
}

ControlDeclaration separator(int number, int parent) {
  ControlDeclaration control{number, ControlKind::Separator};
  control.parent = parent;
  return control;
}

// One prompt and its field of the form (the prompt is numbered field - 1).
struct FormField {
  int field;
  const char* prompt;
  Binding use;
  const char* picture;
};

// A control's rectangle at the design width; -1 leaves a value to the control.
struct DesignPlace {
  int control;
  Rect at;
};

// The controls of the sheet with their design rectangles, in the order
// R_RESOLUTION moves them.
const std::vector<DesignPlace>& designPlaces() {
  static const std::vector<DesignPlace> places = [] {
    std::vector<DesignPlace> p;
    p.push_back({control::SHEET, {3, 3, 418, 249}});
    for (int n = 1; n <= 26; ++n) p.push_back({A + n - 1, {19 + 13 * (n - 1), 235, -1, -1}});
    p.push_back({NEW, {205, 22, -1, -1}});
    const int toolX[] = {25, 50, 75, 100, 125, 150, 175};
    for (int i = 0; i < 7; ++i) p.push_back({DUPLICATE + i, {toolX[i], 22, -1, -1}});
    const int pictureX[] = {207, 232, 257, 282, 307, 332, 357, 379};
    for (int i = 0; i < 8; ++i) p.push_back({ADDPIC + i, {pictureX[i], 45, -1, -1}});
    p.push_back({GLMLIST, {9, 21, 175, 193}});
    p.push_back({PANELUSE, {187, 57, 230, 158}});
    p.push_back({control::LISTBYSERIES, {60, 217, -1, -1}});
    // The ornament's first photo stands in the top right corner of the form,
    // beside the name and category; the note of the find tab wraps to its left.
    p.push_back({PHOTOFRAME, {350, 21, 64, 72}});
    p.push_back({FINDTABNOTE, {190, 33, 156, 20}});
    p.push_back({GL_NAME - 1, {190, 64, -1, 12}});
    p.push_back({GL_NAME, {246, 62, 100, 12}});
    p.push_back({GL_CATEGORY - 1, {190, 81, -1, 12}});
    p.push_back({GL_CATEGORY, {246, 79, 100, 12}});
    // Rows 3-9 of the form: a left prompt and field, a right prompt and field.
    for (int row = 3; row <= 9; ++row) {
      const int first = GL_SERIES - 1 + 4 * (row - 3);
      const int y = 98 + 17 * (row - 3);
      p.push_back({first, {190, y, -1, 12}});
      p.push_back({first + 1, {246, y - 2, 70, 12}});
      p.push_back({first + 2, {324, y, -1, 12}});
      // The Value field makes room for its value history button.
      p.push_back({first + 3, {361, y - 2, first + 3 == GL_VALUE ? 38 : 50, 12}});
      if (first + 3 == GL_VALUE) p.push_back({VALUEHISTORY, {400, y - 2, 12, 12}});
    }
    return p;
  }();
  return places;
}

Rect designRect(int control) {
  for (const DesignPlace& place : designPlaces())
    if (place.control == control) return place.at;
  return {};
}

// The letter buttons show a 13-unit square icon.
constexpr int LETTER_SIZE = 13;

}  // namespace

runtime::WindowDeclaration DisplayGlimra::mainWindowDeclaration() {
  runtime::WindowDeclaration window;
  window.title = MAIN_WINDOW_TITLE;
  window.at = {-1, -1, DESIGN_WIDTH, DESIGN_HEIGHT};
  // Opened at the size chosen for the screen (window_placement.h); the user
  // may change it, and the next start lays the window out for that size.
  window.flags = runtime::CentreOnScreen | runtime::Resizable;
  window.statusZones = {DESIGN_WIDTH};  // what the day's backup is doing
  auto& c = window.controls;

  // The File, Ornament and Help menus and the editing buttons of the toolbar.
  // The Reports menu stands between them when the program has reports.
  c.push_back(menu(FILE, "&File"));
  c.push_back(item(FILENEW, "&Create New File...", FILE));
  c.push_back(item(FILEOPEN, "&Open Existing File ...", FILE));
  c.push_back(item(FILESAVEAS, "&Save File As ...", FILE));
  c.push_back(item(FILEEXPORTCSV, "&Export to CSV...", FILE));
  c.push_back(item(FILEIMPORTCSV, "&Import from CSV...", FILE));
  c.push_back(item(FILERESTORE, "&Restore from Backup...", FILE));
  c.push_back(item(FILEEXPORTARCHIVE, "Export &Archive...", FILE));
  c.push_back(separator(FILEEXITSEPARATOR, FILE));
  c.push_back(item(FILEEXIT, "E&xit", FILE));
  c.push_back(menu(ORNAMENT, "&Ornament"));
  c.push_back(item(GLMNEW, "&Add", ORNAMENT));
  c.back().shortcut = "Ctrl+A";
  c.push_back(item(GLMDUPLICATE, "&Copy", ORNAMENT));
  c.push_back(item(GLMDELETE, "&Delete", ORNAMENT));
  c.back().shortcut = "Ctrl+D";
  c.push_back(item(GLMSAVE, "&Save", ORNAMENT));
  c.push_back(item(GLMUNDO, "&Undo", ORNAMENT));
  c.push_back(item(GLMFIND, "&Find", ORNAMENT));
  c.back().shortcut = "Ctrl+F";
  if (reports && reports->offersValueHistory()) c.push_back(item(GLMVALUEHISTORY, "Va&lue History...", ORNAMENT));
  if (photoWindows) {
    c.push_back(separator(PHOTOSEPARATOR, ORNAMENT));
    c.push_back(item(GLMADDPHOTOS, "Add &Photos...", ORNAMENT));
    c.push_back(item(GLMPASTEPHOTO, "Paste P&hoto", ORNAMENT));
    c.back().shortcut = "Ctrl+Shift+V";
    c.push_back(item(GLMVIEWPHOTOS, "&View Photos...", ORNAMENT));
  }
  if (reports) {
    const auto items = reports->items();
    if (!items.empty()) c.push_back(menu(REPORTS, "&Reports"));
    for (int i = 0; i < static_cast<int>(items.size()) && FIRSTREPORT + i <= LASTREPORT; ++i) {
      c.push_back(item(FIRSTREPORT + i, items[i].text.c_str(), REPORTS));
      if (items[i].separatorAfter) c.push_back(separator(FIRSTREPORTSEPARATOR + i, REPORTS));
    }
    const auto overviews = reports->overviewItems();
    if (!items.empty() && !overviews.empty()) c.push_back(separator(OVERVIEWSEPARATOR, REPORTS));
    for (int i = 0; i < static_cast<int>(overviews.size()) && FIRSTOVERVIEW + i <= LASTOVERVIEW; ++i)
      c.push_back(item(FIRSTOVERVIEW + i, overviews[i].text.c_str(), REPORTS));
  }
  c.push_back(menu(HELP, "&Help"));
  c.push_back(item(HELPCONTENTS, "&How to Use Glimra ...", HELP, runtime::HelpContents));
  c.push_back(item(HELPSEARCH, "&Search Glimra Help...", HELP, runtime::HelpSearch));
  c.push_back(separator(HELPABOUTSEPARATOR, HELP));
  c.push_back(item(HELPABOUT, "&About Glimra ...", HELP));

  c.push_back(toolbarButton(NEW, "Add New Ornament", "add", GLMNEW));
  c.push_back(toolbarButton(DUPLICATE, "Create Duplicate Ornament", "copy", GLMDUPLICATE));
  c.push_back(toolbarButton(control::DELETE, "Delete Ornament", "delete", GLMDELETE));
  c.push_back(toolbarButton(SAVE, "Save Ornament Contents", "save", GLMSAVE));
  c.push_back(toolbarButton(UNDO, "Undo Last Operation", "undo", GLMUNDO));
  c.push_back(toolbarButton(FIND, "Find Matching Ornaments", "find", GLMFIND));
  c.push_back(toolbarButton(control::DESCRIPTION, "Description of Ornament", "description", 0));
  c.push_back(toolbarButton(LIBRARIAN, "Librarian", "librarian", 0));

  c.push_back({control::SHEET, ControlKind::Sheet, "", designRect(control::SHEET), Binding::to(SHEET)});
  ControlDeclaration allTab{ALL, ControlKind::Tab, "ALL"};
  allTab.parent = control::SHEET;
  c.push_back(allTab);

  c.push_back({control::LETTER, ControlKind::OptionGroup, "", {}, Binding::to(LETTER)});
  for (int n = 1; n <= 26; ++n) {
    const char letter = static_cast<char>('A' + n - 1);
    Rect at = designRect(A + n - 1);
    at.width = at.height = LETTER_SIZE;
    ControlDeclaration radio{A + n - 1, ControlKind::Radio, std::string(1, letter), at};
    radio.icon = std::string(":/icons/letter_") + letter + ".svg";
    radio.tip = std::string("Go to the first entry at ") + letter;
    radio.parent = control::LETTER;
    c.push_back(radio);
  }

  c.push_back({GLMLIST, ControlKind::List, "", designRect(GLMLIST)});
  c.push_back({PANELUSE, ControlKind::Panel, "", designRect(PANELUSE)});
  c.push_back({control::LISTBYSERIES, ControlKind::Check, "Sort by Series:", designRect(control::LISTBYSERIES),
               Binding::to(LISTBYSERIES)});

  ControlDeclaration findTabNote{FINDTABNOTE, ControlKind::Text, "Read-only here: choose ALL or a category tab to edit.",
                                 designRect(FINDTABNOTE)};
  findTabNote.flags = runtime::Hidden | runtime::Bold | runtime::Wrapped;
  c.push_back(findTabNote);
  // The photo side fills this frame with the picture of the ornament shown.
  if (photoWindows) c.push_back({PHOTOFRAME, ControlKind::Panel, "", designRect(PHOTOFRAME)});

  const FormField fields[] = {
      {GL_NAME, "Name:", Binding::to(GL.NAME), "s45"},
      {GL_CATEGORY, "Category:", Binding::to(GL.CATEGORY), "s30"},
      {GL_SERIES, "Series:", Binding::to(GL.SERIES), "s35"},
      {GL_SERIESNUM, "Series #:", Binding::to(GL.SERIESNUM), "s5"},
      {GL_MANUF, "Manufacturer:", Binding::to(GL.MANUF), "s35"},
      {GL_CONDITION, "Condition:", Binding::to(GL.CONDITION), "s18"},
      {GL_ARTIST, "Artist:", Binding::to(GL.ARTIST), "s30"},
      {GL_VALUE, "Value:", Binding::to(GL.VALUE), "N$9.2B"},
      {GL_YEAR, "Year Made:", Binding::to(GL.YEAR), "s20"},
      {GL_LOCATION, "Location:", Binding::to(GL.LOCATION), "s18"},
      {GL_PURDATE, "Purchase Date:", Binding::to(GL.PURDATE), "d1"},
      {GL_CUSTOM1, "Stock #:", Binding::to(GL.CUSTOM1), "s35"},
      {GL_PURFROM, "Purchased From:", Binding::to(GL.PURFROM), "s35"},
      {GL_CUSTOM2, "Custom1:", Binding::to(GL.CUSTOM2), "s35"},
      {GL_PURPRICE, "Purchase Price:", Binding::to(GL.PURPRICE), "N$9.2B"},
      {GL_CUSTOM3, "Custom2:", Binding::to(GL.CUSTOM3), "s35"},
  };
  for (const FormField& f : fields) {
    c.push_back({f.field - 1, ControlKind::Prompt, f.prompt, designRect(f.field - 1)});
    c.push_back({f.field, f.field == GL_CATEGORY ? ControlKind::Combo : ControlKind::Entry, "", designRect(f.field),
                 f.use, f.picture});
  }
  ControlDeclaration valueHistory{VALUEHISTORY, ControlKind::Button, "...", designRect(VALUEHISTORY)};
  valueHistory.tip = "Value History";
  valueHistory.flags = runtime::Disabled;
  c.push_back(valueHistory);
  return window;
}

double DisplayGlimra::layoutFactor(const Rect& client) {
  // The largest factor at which the whole design fits the client area, kept
  // to three decimals; never below the design itself, which the window's
  // minimum size keeps room for.
  const double fits = std::min(static_cast<double>(client.width) / DESIGN_WIDTH,
                               static_cast<double>(client.height) / DESIGN_HEIGHT);
  return std::max(1.0, std::floor(fits * 1000.0) / 1000.0);
}

void DisplayGlimra::R_RESOLUTION() {
  runtime::Window& w = *window_;
  const Rect client = w.geometry(0);
  K = layoutFactor(client);
  auto scaled = [&](int value) { return value < 0 ? -1 : static_cast<int>(std::lround(value * K)); };
  // A window wider than its height needs stands the layout in the middle of
  // the room left over, rather than leaving it all on the right.
  const int left = std::max(0, (client.width - scaled(DESIGN_WIDTH)) / 2);
  auto move = [&](int control, Rect at) {
    w.setGeometry(control, {at.x < 0 ? -1 : left + scaled(at.x), scaled(at.y), scaled(at.width), scaled(at.height)});
  };
  for (const DesignPlace& place : designPlaces()) move(place.control, place.at);
}

}  // namespace glimra::catalogue
