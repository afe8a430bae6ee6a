// SPDX-License-Identifier: GPL-3.0-or-later
// The declared layout of a window: its title, size, font, wallpaper and its
// controls in declaration order.
//
// Positions and sizes are in dialog units of the window's font (x in quarters
// of the average character width, y in eighths of the character height); -1
// leaves a value to the control's natural size. Every control has a number,
// unique within its window; menus, menu items, tabs and radio buttons name
// their parent (a menu, the sheet, the option group) by number. All texts are
// Windows-1252, like the program's data.
#pragma once

#include <string>
#include <vector>

#include "runtime/binding.h"

namespace glimra::runtime {

enum class ControlKind {
  Menu,           // a menu on the menu bar (parent 0) or a submenu (parent: a menu)
  MenuItem,       // an item of the parent menu
  Separator,      // a line in the parent menu
  ToolbarButton,  // an icon button on the window's toolbar; text is its tip
  Button,
  Sheet,          // a tab sheet; bound variable: the chosen tab, 1-based
  Tab,            // a tab of the parent sheet
  List,           // a one-column list box fed by a ListSource
  Prompt,         // a label; '&' marks the mnemonic that focuses the next control
  Entry,          // a one-line field with a display picture
  Combo,          // an entry field with a drop list fed by a ListSource
  DropList,       // a drop list to choose one of a ListSource's rows, nothing typed; bound
                  // variable: the chosen row, 1-based (0: none)
  TextBox,        // a multi-line text field
  Check,          // a check box; bound variable: 1 when checked, 0 when not
  OptionGroup,    // a group of radio buttons; bound variable: the chosen button, 1-based
  Radio,          // a radio button of the parent group; with an icon it shows only the icon
  Panel,          // a sunken frame
  Box,            // a plain rectangle with a black border and white fill
  Image,
  Text,           // plain read-only text, from its own text or its bound variable
  Progress,       // a progress bar; bound variable: the value shown
  SpinBox,        // a number field with arrows and a range; bound variable: the value
};

// Control flags (bitwise or).
enum ControlFlag : unsigned {
  Hidden = 1u << 0,
  Disabled = 1u << 1,
  ReadOnly = 1u << 2,
  Checkable = 1u << 3,       // a menu item with a check mark, bound to a byte
  DefaultButton = 1u << 4,   // pressed by Enter
  Centred = 1u << 5,         // text centred
  Clickable = 1u << 6,       // an image or box reports a left click as Accepted
  ScrollBars = 1u << 7,      // an image shown at its own size inside scroll bars
  HelpContents = 1u << 8,    // a menu item that shows the help contents by itself
  HelpSearch = 1u << 9,      // a menu item that opens the help search by itself
  Bold = 1u << 10,
  Wrapped = 1u << 11,        // a text wraps at its width, from the top
};

struct Rect {
  int x = -1;
  int y = -1;
  int width = -1;
  int height = -1;
  bool operator==(const Rect&) const = default;
};

struct ControlDeclaration {
  int number = 0;
  ControlKind kind = ControlKind::Text;
  std::string text;
  Rect at;
  Binding use;          // the program variable shown and edited
  std::string picture;  // display picture of an entry, combo, text or spin box
  std::string tip;
  std::string icon;     // an image path or a resource (":/icons/add.svg")
  std::string shortcut; // "Ctrl+A"
  int parent = 0;
  unsigned flags = 0;
  int low = 0;          // range of a progress bar or spin box
  int high = 100;
  // A toolbar button: the number of the menu item whose command it gives.
  // The two are one command: enabling or disabling the item does the same to
  // the button, and pressing the button raises the item's Accepted event.
  int command = 0;
  // A text box: the number of a Text control that shows how many of the
  // field's characters are used ("1,234 of 3,000 characters used").
  int counter = 0;
};

struct FontDeclaration {
  std::string family;  // empty: the platform's dialog font
  int points = 9;
};

// Window flags (bitwise or).
enum WindowFlag : unsigned {
  CentreOnScreen = 1u << 0,
  Resizable = 1u << 1,
  Maximized = 1u << 2,
  Toolbar = 1u << 3,  // the window has a toolbar (implied by a ToolbarButton)
};

struct WindowDeclaration {
  std::string title;
  Rect at;  // client area: position and size in dialog units
  FontDeclaration font;
  std::string wallpaper;         // tiled behind the controls; empty for none
  std::vector<int> statusZones;  // widths of the status bar's zones in dialog units; empty: no status bar
  unsigned flags = CentreOnScreen;
  std::vector<ControlDeclaration> controls;
};

}  // namespace glimra::runtime
