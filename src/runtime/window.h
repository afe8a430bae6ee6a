// SPDX-License-Identifier: GPL-3.0-or-later
// Window: one open window of the program, built from a WindowDeclaration, with
// its modal event loop.
//
// A procedure runs `for (;;) { Event e = w.accept(); if (e.closes()) break; ... }`.
// accept() first returns OpenWindow, then posted events and user input in the
// order they arrived, and ends with CloseWindow (after which every further
// accept() returns CloseWindow again). Controls are addressed by number;
// operations on a number that does not exist do nothing. Bound variables are
// copied into the controls by display(); a user's edit is copied back into its
// variable (through the control's picture) before the next event is returned,
// and an edit that the picture or Windows-1252 cannot take is refused with a
// reason while the variable keeps its value. Changes made by the program
// (selecting a tab or a row, display) raise no events; only select() of a
// field raises Selected, since the focus moves into it as if the user had.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/declaration.h"
#include "runtime/event.h"
#include "runtime/list_source.h"
#include "runtime/page_images.h"

namespace glimra::runtime {

class Window {
 public:
  virtual ~Window() = default;

  // --- the event loop
  virtual Event accept() = 0;
  virtual void post(int control, EventKind kind, Key key = Key::None) = 0;
  void post(EventKind kind) { post(0, kind); }
  // Posts the close event; the loop ends when accept() returns it.
  void close() { post(0, EventKind::CloseWindow); }
  // Called right after accept() returned CloseWindow, when the procedure
  // will not close (the user cancelled the close): the window stays open and
  // accept() waits for further events. False when the close cannot be
  // refused; then the procedure leaves its loop.
  virtual bool keepOpen() = 0;
  // Timer period in hundredths of a second; 0 stops it. IDLE_TIMER, the
  // shortest period the loop allows, fires each time the loop has served
  // everything else waiting (user input first), without a further wait. At
  // most one timer event waits in the queue at a time.
  static constexpr int IDLE_TIMER = -1;
  virtual void setTimer(int hundredths) = 0;
  // Makes `key` an alert key of a control (0: anywhere in the window); it then
  // raises AlertKey events instead of its usual effect.
  virtual void alertKey(int control, Key key) = 0;

  // --- bound variables
  virtual void display() = 0;                    // every control
  virtual void display(int first, int last) = 0;  // a range; also redraws a list
  void display(int control) { display(control, control); }

  // --- state by number or by range first..last (inclusive); enabling or
  // disabling a menu item does the same to the toolbar button that gives its
  // command
  virtual void enable(int first, int last) = 0;
  virtual void disable(int first, int last) = 0;
  virtual void hide(int first, int last) = 0;
  virtual void show(int first, int last) = 0;
  virtual void destroy(int first, int last) = 0;
  void enable(int control) { enable(control, control); }
  void disable(int control) { disable(control, control); }
  void hide(int control) { hide(control, control); }
  void show(int control) { show(control, control); }
  void destroy(int control) { destroy(control, control); }
  // Entry fields, combos and text boxes first..last become read-only (their
  // text can still be selected and copied) or editable again.
  virtual void setReadOnly(int first, int last, bool readOnly) = 0;
  virtual bool isReadOnly(int control) const = 0;
  virtual bool exists(int control) const = 0;
  virtual bool isEnabled(int control) const = 0;
  virtual bool isVisible(int control) const = 0;

  // Creates a control at run time (a tab of a sheet, an image, a box …).
  virtual void create(const ControlDeclaration& control) = 0;
  // Creates tab `number` in `sheet`, titled `title`, placed among the sheet's
  // tabs in order of number, and shows it.
  void createTab(int sheet, int number, std::string_view title) {
    ControlDeclaration tab;
    tab.number = number;
    tab.kind = ControlKind::Tab;
    tab.text = title;
    tab.parent = sheet;
    create(tab);
  }

  // Gives a control the focus; for a tab, makes it the sheet's current tab.
  virtual void select(int control) = 0;
  // Selects characters first..last (1-based) of an entry field and focuses it.
  virtual void selectRange(int control, int first, int last) = 0;
  // The chosen item, 1-based, of a sheet, list, option group, combo or spin
  // box (0 when none); of a check box 1 or 0.
  virtual int choice(int control) const = 0;

  // --- lists and drop lists
  virtual void setListSource(int control, std::shared_ptr<ListSource> source) = 0;
  virtual void selectRow(int control, int row) = 0;

  // --- texts, images, geometry
  virtual void setText(int control, std::string_view text) = 0;  // caption, tab title, tip of a toolbar button
  virtual std::string text(int control) const = 0;
  // The window's caption, in UTF-8 (it may name a file).
  virtual void setCaption(std::string_view caption) = 0;
  virtual std::string caption() const = 0;
  virtual void setWallpaper(std::string_view image) = 0;
  virtual void setImage(int control, std::string_view image) = 0;
  virtual Rect imageSize(int control) const = 0;  // natural size in dialog units
  // Shows page `page` (1-based) of `pages` in an image control, in place of
  // a picture; its natural size is then the page at the screen's resolution.
  // Null pages show nothing.
  virtual void setPageImage(int control, std::shared_ptr<const PageImages> pages, int page) = 0;
  // The size at which an image is drawn; inside scroll bars the bars range
  // over it.
  virtual void setImageDisplaySize(int control, int width, int height) = 0;
  virtual Rect geometry(int control) const = 0;   // 0: the client area
  // Moves or resizes a control; -1 in a field keeps that value.
  virtual void setGeometry(int control, const Rect& at) = 0;
  virtual void setRange(int control, int low, int high) = 0;
  // The smallest client area the user can shrink a resizable window to.
  virtual void setMinimumSize(int width, int height) = 0;

  // --- the window on the screen
  // Where the window is, as a declaration's `at` says it: x and y its
  // position on the desktop (the top-left corner of its frame), width and
  // height its client area.
  virtual Rect placement() const = 0;
  virtual void place(const Rect& at) = 0;
  // The usable area of each screen (outside panels and docks), the primary
  // screen first, each as the largest placement that keeps the whole window
  // on it. Empty when nothing is known of the screens.
  virtual std::vector<Rect> screens() const = 0;
  virtual void setStatusText(int zone, std::string_view text) = 0;  // zones 1-based
};

}  // namespace glimra::runtime
