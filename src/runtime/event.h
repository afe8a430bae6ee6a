// SPDX-License-Identifier: GPL-3.0-or-later
// Events of a window's modal loop: what accept() hands to a procedure.
//
// An event names the control it belongs to (0 for the window itself) and its
// kind; an alerted-key event also names the key. Procedures dispatch on
// (control, kind) in one switch.
#pragma once

namespace glimra::runtime {

enum class EventKind {
  Accepted,      // a menu choice, a button press, a changed check box, option or field
  NewSelection,  // another row, tab or spin value chosen by the user
  Selected,      // the control received the focus
  AlertKey,      // a key (or mouse click) registered with alertKey() was pressed
  OpenWindow,    // the first event of every window
  CloseWindow,   // the window is closing; the loop ends after it
  Timer,         // the window's timer has run out
  Resized,       // the user changed the window's size
};

enum class Key {
  None,
  Insert,
  Delete,
  Enter,
  Escape,
  PageUp,
  PageDown,
  MouseLeft,
  MouseLeftDouble,
  MouseRight,
};

struct Event {
  int control = 0;
  EventKind kind = EventKind::CloseWindow;
  Key key = Key::None;

  // True for the close event: the procedure leaves its loop.
  bool closes() const { return kind == EventKind::CloseWindow; }
  bool is(int number, EventKind what) const { return control == number && kind == what; }
  // True for an alerted key anywhere in the window (Escape, …).
  bool isKey(Key pressed) const { return kind == EventKind::AlertKey && key == pressed; }
  bool operator==(const Event&) const = default;
};

}  // namespace glimra::runtime
