// SPDX-License-Identifier: GPL-3.0-or-later
// The control numbers of the main window, in declaration order. The event
// loop dispatches on them and the enable rules address them by ranges, so
// the ranges below stay contiguous: menu items 7-12 (Ornament), 13-28
// (reports), tabs 32 and up, letters 533-558, toolbar buttons 559-566,
// toolbar pictures 567-574, form prompts and fields 578-609 (odd numbers are
// the fields). Controls that carry no number of their own (separators, the two
// help items) get numbers from 1001 up.
//
// A number whose control is not declared (a command that is not built yet) is
// harmless: the window ignores operations on numbers it does not have.
#pragma once

namespace glimra::catalogue::control {

enum : int {
  // Menu bar
  FILE = 1,
  FILENEW = 2,
  FILEOPEN = 3,
  FILESAVEAS = 4,
  FILEEXIT = 5,
  ORNAMENT = 6,
  GLMNEW = 7,
  GLMDUPLICATE = 8,
  GLMDELETE = 9,
  GLMSAVE = 10,
  GLMUNDO = 11,
  GLMFIND = 12,
  FIRSTREPORT = 13,  // 13-28: the sixteen report items
  LASTREPORT = 28,
  HELP = 29,
  HELPABOUT = 30,

  // Sheet and tabs
  SHEET = 31,
  ALL = 32,  // category tabs follow from 33, then the find tab

  // Letter bar: option group and its 26 buttons ?A … ?Z (the K button is ?KA)
  LETTER = 532,
  A = 533, B, C, D, E, F, G, H, I, J, KA, L, M, N, O, P, Q, R, S, T, U, V, W, X, Y, Z,

  // Toolbar buttons and their pictures
  NEW = 559,
  DUPLICATE = 560,
  DELETE = 561,
  SAVE = 562,
  UNDO = 563,
  FIND = 564,
  DESCRIPTION = 565,
  LIBRARIAN = 566,
  ADDPIC = 567,
  LIBRARIANPIC = 574,

  GLMLIST = 575,
  PANELUSE = 576,
  LISTBYSERIES = 577,

  // Form: prompt, then field
  FIRSTFORMCONTROL = 578,
  GL_NAME = 579,
  GL_CATEGORY = 581,
  GL_SERIES = 583,
  GL_SERIESNUM = 585,
  GL_MANUF = 587,
  GL_CONDITION = 589,
  GL_ARTIST = 591,
  GL_VALUE = 593,
  GL_YEAR = 595,
  GL_LOCATION = 597,
  GL_PURDATE = 599,
  GL_CUSTOM1 = 601,
  GL_PURFROM = 603,
  GL_CUSTOM2 = 605,
  GL_PURPRICE = 607,
  GL_CUSTOM3 = 609,
  LASTFORMCONTROL = 609,

  // Controls without a number of their own
  FILEEXITSEPARATOR = 1001,
  HELPCONTENTS = 1002,
  HELPSEARCH = 1003,
  HELPABOUTSEPARATOR = 1004,
  REPORTS = 1005,               // the Reports menu
  FIRSTREPORTSEPARATOR = 1006,  // 1006-1021: the line after report item 13-28
  FILEEXPORTCSV = 1100,         // File menu: Export to CSV...
  FILERESTORE = 1101,           // File menu: Restore from Backup...
  FILEIMPORTCSV = 1102,         // File menu: Import from CSV...
  OVERVIEWSEPARATOR = 1103,     // Reports menu: the line before the overviews
  FIRSTOVERVIEW = 1104,         // 1104-1111: Statistics, Series, the wanted list …
  LASTOVERVIEW = 1111,
  FILEEXPORTARCHIVE = 1120,     // File menu: Export Archive...
  FINDTABNOTE = 1130,           // the line above the form that says how to edit on the find tab
  DAMAGEDFILE = 1131,           // no control: its posted event offers the damaged-file window
  VALUEHISTORY = 1132,          // the button beside the Value field: the value history window
  GLMVALUEHISTORY = 1133,       // Ornament menu: Value History...
  PHOTOSEPARATOR = 1140,        // Ornament menu: the line before the photo commands
  GLMADDPHOTOS = 1141,          // Ornament menu: Add Photos...
  GLMPASTEPHOTO = 1142,         // Ornament menu: Paste Photo
  GLMVIEWPHOTOS = 1143,         // Ornament menu: View Photos...
  PHOTOFRAME = 1144,            // the frame beside the form that shows the ornament's first photo
};

static_assert(Z == 558 && KA == 543);

// The sheet's tabs: choice 1 is the ALL tab; CATEGORYQUEUE entry i is shown
// by tab ALL + i, which stands at choice i + 1. Every conversion goes through
// these.
constexpr int tabOfChoice(int choice) { return ALL + choice - 1; }
constexpr int tabOfCategory(int entry) { return ALL + entry; }
constexpr int categoryOfTab(int tab) { return tab - ALL; }
static_assert(tabOfChoice(1) == ALL && categoryOfTab(tabOfCategory(3)) == 3 && tabOfChoice(2) == tabOfCategory(1));

}  // namespace glimra::catalogue::control
