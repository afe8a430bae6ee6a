// SPDX-License-Identifier: GPL-3.0-or-later
// Find: the find dialog, the search of the collection file, the find tab that
// lists the matches, and the highlight of the found text in the form.
//
// The find tab is temporary. It stands after the category tabs (tab 33 + n
// with n categories), lists the matches ordered by (sort key, name), and goes
// as soon as another tab is chosen, a new find comes up empty, a second find
// replaces it, or the file is opened again. While it is shown, Save and Undo
// are disabled and the form's fields are read-only, with a line above them
// saying how to edit; Add and Copy go to the ALL tab to make their addition.
//
// Before the search runs, the record shown is left as a row change leaves it:
// an entered form is saved. A find that failed to save reports it and does
// not run, so no edit is lost under the matches.
#include <vector>

#include "catalogue/display_glimra.h"
#include "catalogue/main_window_controls.h"
#include "collection/find_ornaments.h"
#include "collection/record_search.h"

namespace glimra::catalogue {

using runtime::ControlDeclaration;
using runtime::ControlKind;
using runtime::EventKind;
using runtime::WindowDeclaration;
using namespace control;

namespace {

inline constexpr const char* FIND_DIALOG_TITLE = "Find Matching Entries";

enum FindDialogControl : int { FIND_PROMPT = 1, FIND_TEXT, FIND_IGNORECASE, FIND_OK, FIND_CANCEL };

// The form's fields the find text is highlighted in, in the order they are
// selected: the last one that shows the text keeps the focus. Name and
// Category are not highlighted.
constexpr int HIGHLIGHTED_FIELDS[] = {
    GL_SERIES,   GL_MANUF,    GL_ARTIST,    GL_YEAR,      GL_PURDATE, GL_VALUE,    GL_LOCATION,
    GL_PURFROM,  GL_PURPRICE, GL_SERIESNUM, GL_CONDITION, GL_CUSTOM3, GL_CUSTOM1, GL_CUSTOM2,
};

}  // namespace

void DisplayGlimra::GETFINDSTRING() {
  WindowDeclaration dialog;
  dialog.title = FIND_DIALOG_TITLE;
  dialog.at = {-1, -1, 190, 64};
  auto& c = dialog.controls;
  c.push_back({FIND_PROMPT, ControlKind::Prompt, "&Find what:", {8, 10, 48, 10}});
  c.push_back({FIND_TEXT, ControlKind::Entry, "", {58, 8, 124, 12}, runtime::Binding::to(FINDSTRING), "s20"});
  c.push_back({FIND_IGNORECASE, ControlKind::Check, "&Ignore Upper/Lower Case", {58, 26, 124, 10},
               runtime::Binding::to(IGNORECASE)});
  ControlDeclaration ok{FIND_OK, ControlKind::Button, "&OK", {76, 44, 50, 14}};
  ok.flags = runtime::DefaultButton;
  c.push_back(ok);
  c.push_back({FIND_CANCEL, ControlKind::Button, "&Cancel", {132, 44, 50, 14}});

  auto window = runtime_.open(dialog);
  window->alertKey(0, runtime::Key::Escape);  // Esc cancels, as the Cancel button does
  bool accepted = false;
  for (;;) {
    const runtime::Event event = window->accept();
    if (event.closes()) break;
    if (event.kind == EventKind::OpenWindow) window->select(FIND_TEXT);
    if (event.is(FIND_OK, EventKind::Accepted)) {
      accepted = true;
      window->close();
    } else if (event.is(FIND_CANCEL, EventKind::Accepted) || event.isKey(runtime::Key::Escape)) {
      window->close();
    }
  }
  // Cancel, or the window closed without OK: nothing to find, and the next
  // find starts empty.
  if (!accepted) FINDSTRING.clear();
}

void DisplayGlimra::findMatchingOrnaments() {
  runtime::Window& w = *window_;
  if (!GLIMRA.isOpen()) return;
  GETFINDSTRING();
  if (FINDSTRING.isBlank()) return;
  // The find replaces what the list shows: an edit is saved first, as a row
  // change saves it.
  if (!leaveShownRecord()) return;

  FixedText<24> caption;  // as a category title is cut
  caption = "Has \"" + FINDSTRING.str() + "\"";
  if (IGNORECASE) FINDSTRING = collection::upperCp1252(FINDSTRING.raw());

  // The search reads other records into the record buffer; the form keeps
  // showing its own when nothing else is shown.
  const GlRecord shown = GL;
  std::vector<collection::FoundOrnament> found;
  const int error = collection::findOrnaments(GLIMRA, FINDSTRING.raw(), IGNORECASE != 0, &found);
  if (error != 0 || found.empty()) GL = shown;
  if (error != 0) {
    CHECKERROR(runtime_, GLIMRA, "Can't Find Ornaments");
    return;
  }
  if (found.empty()) {
    runtime_.message(runtime::MessageBox{"No Matching Ornaments Were Found", "Find Matching Ornament Entries",
                                         runtime::MessageIcon::Information, runtime::Ok, runtime::Ok});
    if (PENDINGFIND != 0) {
      // Back to the tab the first find was started from (ALL when it has
      // gone), not to whichever tab stands next to the find tab.
      removeFindTab();
      selectTabTitled(tabBeforeFind);
      w.post(control::SHEET, EventKind::NewSelection);
    }
    return;
  }

  // A second find replaces the first; the way back stays the tab before both.
  if (PENDINGFIND == 0) tabBeforeFind = CURRENTTEXT.str();
  removeFindTab();
  TABQUEUE.removeAll();
  for (const collection::FoundOrnament& match : found) {
    TabEntry& entry = TABQUEUE.buffer;
    entry.clear();
    entry.POINTER = match.pointer;
    entry.SORTKEY = match.sortKey;
    entry.SERIESKEY = match.seriesKey;
    entry.NAMEKEY = match.nameKey;
    entry.NAME = match.name;
    entry.KEYTYPE = match.keyType;
    TABQUEUE.append();
  }
  const int tab = tabOfCategory(CATEGORYQUEUE.count() + 1);
  w.createTab(control::SHEET, tab, caption.clipped());
  w.disable(GLMSAVE);
  w.disable(GLMUNDO);
  w.select(tab);
  CURRENTTAB = PENDINGFIND = static_cast<std::int16_t>(tab);
  CURRENTTEXT = w.text(tab);
  bindActiveList(ActiveList::View::Find);
  w.display(GLMLIST);
  w.selectRow(GLMLIST, 1);
  formOnFindTab(true);
  R_DISPLAYSELECTION();
  enableAddAndCopy();
}

void DisplayGlimra::formOnFindTab(bool onFindTab) {
  // Nothing typed on the find tab would be saved: the fields only show.
  window_->setReadOnly(FIRSTFORMCONTROL, LASTFORMCONTROL, onFindTab);
  if (onFindTab)
    window_->show(FINDTABNOTE);
  else
    window_->hide(FINDTABNOTE);
}

void DisplayGlimra::highlightFindText() {
  runtime::Window& w = *window_;
  const std::string_view find = FINDSTRING.clipped();
  if (find.empty()) return;
  for (int field : HIGHLIGHTED_FIELDS) {
    std::string text = w.text(field);
    if (IGNORECASE) text = collection::upperCp1252(text);
    const auto at = text.find(find);
    if (at == std::string::npos) continue;
    w.selectRange(field, static_cast<int>(at) + 1, static_cast<int>(at + find.size()));
  }
}

void DisplayGlimra::removeFindTab() {
  if (PENDINGFIND == 0) return;
  window_->destroy(PENDINGFIND);
  PENDINGFIND = 0;
  formOnFindTab(false);
  if (!UNDOQUEUE.empty()) enableUndo(true);
}

}  // namespace glimra::catalogue
