// SPDX-License-Identifier: GPL-3.0-or-later
// The description and lending windows: two small modal windows that edit the
// fields of the shown ornament that have no place on the form, the long
// description and the lending and giving details. Both edit the record
// buffer directly; whatever was typed is kept when the window closes by OK or
// its close box (there is no Cancel), and the main window then saves the
// ornament as Save does. Esc asks before it throws typed text away.
#include "catalogue/display_glimra.h"
#include "catalogue/main_window_controls.h"
#include "catalogue/start_up.h"
#include "text/cp1252.h"

namespace glimra::catalogue {

using runtime::Binding;
using runtime::ControlDeclaration;
using runtime::ControlKind;
using runtime::EventKind;
using runtime::WindowDeclaration;
using namespace control;

namespace {

enum RecordWindowControl : int {
  HEADING = 1, TEXTBOX, LENTTO_PROMPT, LENTTO, DATELENT_PROMPT, DATELENT, GIVENTO_PROMPT, GIVENTO,
  DATEGIVEN_PROMPT, DATEGIVEN, PRESENT, OK_BUTTON, DESCRIPTION_COUNT
};

ControlDeclaration okButton(runtime::Rect at) {
  ControlDeclaration ok{OK_BUTTON, ControlKind::Button, "OK", at};
  ok.flags = runtime::DefaultButton;
  return ok;
}

// What both record windows open with: their title and place, the wallpaper,
// and the bold heading naming the entry selected in the list (bound to the
// caller's copy of it, which outlives the window).
WindowDeclaration recordWindow(std::string title, runtime::Rect at, FixedText<80>& heading,
                               const char* headingPicture) {
  WindowDeclaration window;
  window.title = std::move(title);
  window.at = at;
  window.wallpaper = WALLPAPER_IMAGE;
  ControlDeclaration line{HEADING, ControlKind::Text, "", {8, 6, at.width - 16, 10}, Binding::to(heading),
                          headingPicture};
  line.flags = runtime::Bold;
  window.controls.push_back(line);
  return window;
}

// Runs a record window until OK or its close box, setting its wallpaper again
// on every pass. Esc leaves too: when something was typed, after asking
// whether to keep it (Yes keeps it, No puts back what the window opened with,
// Cancel goes on editing).
void runRecordWindow(runtime::Runtime& runtime, const WindowDeclaration& declaration, int firstField,
                     GlRecord& record, std::string_view entry) {
  const GlRecord opened = record;
  auto window = runtime.open(declaration);
  window->alertKey(0, runtime::Key::Escape);
  for (;;) {
    window->setWallpaper(WALLPAPER_IMAGE);
    const runtime::Event event = window->accept();
    if (event.closes()) break;
    if (event.kind == EventKind::OpenWindow) window->select(firstField);
    if (event.is(OK_BUTTON, EventKind::Accepted)) window->close();
    if (!event.isKey(runtime::Key::Escape)) continue;
    if (collection::toImage(record) != collection::toImage(opened)) {
      const runtime::Button answer = runtime.message(runtime::MessageBox{
          "Keep the changes to " + collection::cp1252ToUtf8(entry) + "?", declaration.title,
          runtime::MessageIcon::Question, runtime::Yes | runtime::No | runtime::Cancel, runtime::Yes});
      if (answer == runtime::Cancel) continue;
      if (answer == runtime::No) record = opened;
    }
    window->close();
  }
}

}  // namespace

void DisplayGlimra::DESCRIPTIONWINDOW() {
  FixedText<80> heading = CURRENTSORTKEY;  // the entry selected in the list
  WindowDeclaration window = recordWindow(DESCRIPTION_WINDOW_TITLE, {-1, -1, 300, 196}, heading, "s80");
  auto& c = window.controls;
  // The box takes text up to the field's 3,000 characters; the line under it
  // says how many are used.
  ControlDeclaration box{TEXTBOX, ControlKind::TextBox, "", {8, 20, 284, 150}, Binding::to(GL.DESCRIPTION)};
  box.counter = DESCRIPTION_COUNT;
  c.push_back(box);
  c.push_back({DESCRIPTION_COUNT, ControlKind::Text, "", {8, 179, 200, 10}});
  c.push_back(okButton({242, 176, 50, 14}));
  runRecordWindow(runtime_, window, TEXTBOX, GL, heading.clipped());
}

void DisplayGlimra::LIBRARIANWINDOW() {
  FixedText<80> heading = CURRENTSORTKEY;
  WindowDeclaration window = recordWindow(LIBRARIAN_WINDOW_TITLE, {-1, -1, 260, 112}, heading, "s90");
  auto& c = window.controls;
  ControlDeclaration present{PRESENT, ControlKind::Image, "", {8, 24, 48, 48}};
  present.icon = PRESENT_IMAGE;
  c.push_back(present);
  c.push_back({LENTTO_PROMPT, ControlKind::Prompt, "Lent to:", {64, 26, 50, 10}});
  c.push_back({LENTTO, ControlKind::Entry, "", {116, 24, 136, 12}, Binding::to(GL.LENTTO), "s35"});
  c.push_back({DATELENT_PROMPT, ControlKind::Prompt, "Date Lent:", {64, 42, 50, 10}});
  c.push_back({DATELENT, ControlKind::Entry, "", {116, 40, 60, 12}, Binding::to(GL.DATELENT), "d1"});
  c.push_back({GIVENTO_PROMPT, ControlKind::Prompt, "Given to:", {64, 58, 50, 10}});
  c.push_back({GIVENTO, ControlKind::Entry, "", {116, 56, 136, 12}, Binding::to(GL.GIVENTO), "s35"});
  c.push_back({DATEGIVEN_PROMPT, ControlKind::Prompt, "Date Given:", {64, 74, 50, 10}});
  c.push_back({DATEGIVEN, ControlKind::Entry, "", {116, 72, 60, 12}, Binding::to(GL.DATEGIVEN), "d1"});
  c.push_back(okButton({202, 92, 50, 14}));
  runRecordWindow(runtime_, window, LENTTO, GL, heading.clipped());
}

void DisplayGlimra::editInRecordWindow(void (DisplayGlimra::*recordWindow)()) {
  if (!recordWindowsOffered()) return;
  (this->*recordWindow)();
  // Saved whether or not anything changed, edits of the form included.
  saveOrnament();
}

bool DisplayGlimra::recordWindowsOffered() const {
  return GLIMRA.isOpen() && CURRENTPOINTER != 0 && PENDINGADD == 0;
}

void DisplayGlimra::offerRecordWindows() {
  if (recordWindowsOffered())
    window_->enable(DESCRIPTION, LIBRARIAN);
  else
    window_->disable(DESCRIPTION, LIBRARIAN);
  offerPhotoCommands();
  offerValueHistory();
}

}  // namespace glimra::catalogue
