// The main window's declared layout at its design width of 429 units, and
// R_RESOLUTION, which enlarges the sheet's controls in proportion when the
// window opens wider than that.
#include <cmath>
#include <string>

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

ControlDeclaration toolbarButton(int number, const char* tip, const char* icon) {
  ControlDeclaration control{number, ControlKind::ToolbarButton, tip};
  control.tip = tip;
  control.icon = std::string(":/icons/") + icon + ".svg";
  return control;
}

ControlDeclaration separator(int number, int parent) {
  ControlDeclaration control{number, ControlKind::Separator};
  control.parent = parent;
  return control;
}

// One prompt and its field of the form, with their design positions.
struct FormField {
  int field;
  const char* prompt;
  Binding use;
  const char* picture;
  Rect promptAt;
  Rect fieldAt;
};

// Rows 3-9 of the form: a left prompt and field, a right prompt and field.
Rect rowPrompt(int row, bool right) { return {right ? 324 : 190, 98 + 17 * (row - 3), -1, 12}; }
Rect rowField(int row, bool right) { return {right ? 361 : 246, 96 + 17 * (row - 3), right ? 50 : 70, 12}; }

}  // namespace

runtime::WindowDeclaration DisplayGlimra::mainWindowDeclaration() {
  runtime::WindowDeclaration window;
  window.title = MAIN_WINDOW_TITLE;
  window.at = {-1, -1, DESIGN_WIDTH, DESIGN_HEIGHT};
  auto& c = window.controls;

  // The File, Ornament and Help menus and the editing buttons of the toolbar.
  // The Reports menu stands between them when the program has reports. Find
  // (12, 564) and the description and lending buttons (565, 566) join them as
  // their commands are built; their numbers are kept free.
  c.push_back(menu(FILE, "&File"));
  c.push_back(item(FILENEW, "&Create New File...", FILE));
  c.push_back(item(FILEOPEN, "&Open Existing File ...", FILE));
  c.push_back(item(FILESAVEAS, "&Save File As ...", FILE));
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
  if (reports) {
    const auto items = reports->items();
    if (!items.empty()) c.push_back(menu(REPORTS, "&Reports"));
    for (int i = 0; i < static_cast<int>(items.size()) && FIRSTREPORT + i <= LASTREPORT; ++i) {
      c.push_back(item(FIRSTREPORT + i, items[i].text.c_str(), REPORTS));
      if (items[i].separatorAfter) c.push_back(separator(FIRSTREPORTSEPARATOR + i, REPORTS));
    }
  }
  c.push_back(menu(HELP, "&Help"));
  c.push_back(item(HELPCONTENTS, "&How to Use Glimra ...", HELP, runtime::HelpContents));
  c.push_back(item(HELPSEARCH, "&Search Glimra Help...", HELP, runtime::HelpSearch));
  c.push_back(separator(HELPABOUTSEPARATOR, HELP));
  c.push_back(item(HELPABOUT, "&About Glimra ...", HELP));

  c.push_back(toolbarButton(NEW, "Add New Ornament", "add"));
  c.push_back(toolbarButton(DUPLICATE, "Create Duplicate Ornament", "copy"));
  c.push_back(toolbarButton(control::DELETE, "Delete Ornament", "delete"));
  c.push_back(toolbarButton(SAVE, "Save Ornament Contents", "save"));
  c.push_back(toolbarButton(UNDO, "Undo Last Operation", "undo"));

  c.push_back({control::SHEET, ControlKind::Sheet, "", {3, 3, 418, 249}, Binding::to(SHEET)});
  ControlDeclaration allTab{ALL, ControlKind::Tab, "ALL"};
  allTab.parent = control::SHEET;
  c.push_back(allTab);

  c.push_back({control::LETTER, ControlKind::OptionGroup, "", {}, Binding::to(LETTER)});
  for (int n = 1; n <= 26; ++n) {
    const char letter = static_cast<char>('A' + n - 1);
    ControlDeclaration radio{A + n - 1, ControlKind::Radio, std::string(1, letter), {19 + 13 * (n - 1), 235, 13, 13}};
    radio.icon = std::string(":/icons/letter_") + letter + ".svg";
    radio.tip = std::string("Go to the first entry at ") + letter;
    radio.parent = control::LETTER;
    c.push_back(radio);
  }

  c.push_back({GLMLIST, ControlKind::List, "", {9, 21, 175, 193}});
  c.push_back({PANELUSE, ControlKind::Panel, "", {187, 57, 230, 158}});
  c.push_back({control::LISTBYSERIES, ControlKind::Check, "Sort by Series:", {60, 217, -1, -1}, Binding::to(LISTBYSERIES)});

  const FormField fields[] = {
      {GL_NAME, "Name:", Binding::to(GL.NAME), "s45", {190, 64, -1, 12}, {246, 62, 150, 12}},
      {GL_CATEGORY, "Category:", Binding::to(GL.CATEGORY), "s30", {190, 81, -1, 12}, {246, 79, 100, 12}},
      {GL_SERIES, "Series:", Binding::to(GL.SERIES), "s35", rowPrompt(3, false), rowField(3, false)},
      {GL_SERIESNUM, "Series #:", Binding::to(GL.SERIESNUM), "s5", rowPrompt(3, true), rowField(3, true)},
      {GL_MANUF, "Manufacturer:", Binding::to(GL.MANUF), "s35", rowPrompt(4, false), rowField(4, false)},
      {GL_CONDITION, "Condition:", Binding::to(GL.CONDITION), "s18", rowPrompt(4, true), rowField(4, true)},
      {GL_ARTIST, "Artist:", Binding::to(GL.ARTIST), "s30", rowPrompt(5, false), rowField(5, false)},
      {GL_VALUE, "Value:", Binding::to(GL.VALUE), "N$9.2B", rowPrompt(5, true), rowField(5, true)},
      {GL_YEAR, "Year Made:", Binding::to(GL.YEAR), "s20", rowPrompt(6, false), rowField(6, false)},
      {GL_LOCATION, "Location:", Binding::to(GL.LOCATION), "s18", rowPrompt(6, true), rowField(6, true)},
      {GL_PURDATE, "Purchase Date:", Binding::to(GL.PURDATE), "d1", rowPrompt(7, false), rowField(7, false)},
      {GL_CUSTOM1, "Stock #:", Binding::to(GL.CUSTOM1), "s35", rowPrompt(7, true), rowField(7, true)},
      {GL_PURFROM, "Purchased From:", Binding::to(GL.PURFROM), "s35", rowPrompt(8, false), rowField(8, false)},
      {GL_CUSTOM2, "Custom1:", Binding::to(GL.CUSTOM2), "s35", rowPrompt(8, true), rowField(8, true)},
      {GL_PURPRICE, "Purchase Price:", Binding::to(GL.PURPRICE), "N$9.2B", rowPrompt(9, false), rowField(9, false)},
      {GL_CUSTOM3, "Custom2:", Binding::to(GL.CUSTOM3), "s35", rowPrompt(9, true), rowField(9, true)},
  };
  for (const FormField& f : fields) {
    c.push_back({f.field - 1, ControlKind::Prompt, f.prompt, f.promptAt});
    c.push_back({f.field, f.field == GL_CATEGORY ? ControlKind::Combo : ControlKind::Entry, "", f.fieldAt, f.use,
                 f.picture});
  }
  return window;
}

void DisplayGlimra::R_RESOLUTION() {
  runtime::Window& w = *window_;
  K = std::floor(static_cast<double>(w.geometry(0).width) / DESIGN_WIDTH * 1000.0) / 1000.0;
  auto scaled = [&](int value) { return value < 0 ? -1 : static_cast<int>(std::lround(value * K)); };
  auto move = [&](int control, Rect at) {
    w.setGeometry(control, {scaled(at.x), scaled(at.y), scaled(at.width), scaled(at.height)});
  };
  move(control::SHEET, {3, 3, 418, 249});
  for (int n = 1; n <= 26; ++n) move(A + n - 1, {19 + 13 * (n - 1), 235, -1, -1});
  move(NEW, {205, 22, -1, -1});
  const int toolX[] = {25, 50, 75, 100, 125, 150, 175};
  for (int i = 0; i < 7; ++i) move(DUPLICATE + i, {toolX[i], 22, -1, -1});
  const int pictureX[] = {207, 232, 257, 282, 307, 332, 357, 379};
  for (int i = 0; i < 8; ++i) move(ADDPIC + i, {pictureX[i], 45, -1, -1});
  move(GLMLIST, {9, 21, 175, 193});
  move(PANELUSE, {187, 57, 230, 158});
  move(control::LISTBYSERIES, {60, 217, -1, -1});
  move(GL_NAME - 1, {190, 64, -1, 12});
  move(GL_NAME, {246, 62, 150, 12});
  move(GL_CATEGORY - 1, {190, 81, -1, 12});
  move(GL_CATEGORY, {246, 79, 100, 12});
  for (int row = 3; row <= 9; ++row) {
    const int first = GL_SERIES - 1 + 4 * (row - 3);
    move(first, rowPrompt(row, false));
    move(first + 1, rowField(row, false));
    move(first + 2, rowPrompt(row, true));
    move(first + 3, rowField(row, true));
  }
}

}  // namespace glimra::catalogue
