// SPDX-License-Identifier: GPL-3.0-or-later
// ScriptedRuntime: the runtime without a screen, for tests.
//
// Answers for message boxes, file dialogs and pop-up menus are queued in
// advance, the user's Cancel of a wait notice is a hook; every box, dialog,
// menu, notice, sound, help request and halt is recorded
// for assertions. Its windows keep the state a user would see (enabled,
// visible, texts, tabs, list rows, field texts) and are driven by posting
// events or by the user actions of ScriptedWindow (click, type, chooseTab …),
// which raise the same events a real window raises. accept() on an empty
// queue calls the window's idle hook, if any, and then returns CloseWindow, so
// a procedure's loop always ends.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "runtime/field_value.h"
#include "runtime/runtime.h"
#include "runtime/window_model.h"

namespace glimra::runtime {

// Thrown by the scripted exit path so that a halted procedure stops, as the
// real program would.
struct ProgramHalted : std::runtime_error {
  explicit ProgramHalted(int code) : std::runtime_error("program halted"), exitCode(code) {}
  int exitCode;
};

class ScriptedRuntime;

class ScriptedWindow final : public Window {
 public:
  ScriptedWindow(ScriptedRuntime& runtime, const WindowDeclaration& declaration);
  ~ScriptedWindow() override;

  // --- Window
  Event accept() override;
  // A close made because the script ran out cannot be refused.
  bool keepOpen() override;
  void post(int control, EventKind kind, Key key = Key::None) override;
  using Window::post;
  void setTimer(int hundredths) override { timer_ = hundredths; }
  void alertKey(int control, Key key) override { alertKeys_.insert({control, key}); }
  void display() override;
  void display(int first, int last) override;
  using Window::display;
  void enable(int first, int last) override;
  void disable(int first, int last) override;
  void hide(int first, int last) override;
  void show(int first, int last) override;
  void destroy(int first, int last) override;
  using Window::enable;
  using Window::disable;
  using Window::hide;
  using Window::show;
  using Window::destroy;
  void setReadOnly(int first, int last, bool readOnly) override;
  bool isReadOnly(int control) const override { return controls_.isReadOnly(control); }
  bool exists(int control) const override { return controls_.count(control) != 0; }
  bool isEnabled(int control) const override { return controls_.isEnabled(control); }
  bool isVisible(int control) const override { return controls_.isVisible(control); }
  void create(const ControlDeclaration& control) override;
  void select(int control) override;
  void selectRange(int control, int first, int last) override;
  int choice(int control) const override;
  void setListSource(int control, std::shared_ptr<ListSource> source) override;
  void selectRow(int control, int row) override;
  void setText(int control, std::string_view text) override;
  std::string text(int control) const override;
  void setCaption(std::string_view caption) override { caption_ = caption; }
  std::string caption() const override { return caption_; }
  void setWallpaper(std::string_view image) override { wallpaper_ = image; }
  void setImage(int control, std::string_view image) override;
  Rect imageSize(int control) const override;
  void setPageImage(int control, std::shared_ptr<const PageImages> pages, int page) override;
  Rect geometry(int control) const override;
  void setGeometry(int control, const Rect& at) override;
  void setImageDisplaySize(int control, int width, int height) override;
  void setRange(int control, int low, int high) override;
  void setMinimumSize(int width, int height) override { minimum_ = {0, 0, width, height}; }
  Rect placement() const override { return declaration_.at; }
  void place(const Rect& at) override { declaration_.at = at; }
  std::vector<Rect> screens() const override;
  void setStatusText(int zone, std::string_view text) override { status_[zone] = text; }

  // --- what a user does; each raises the event a real window would
  // A button, menu item, toolbar button, check box or radio button (disabled
  // or hidden controls do nothing). Returns whether it had an effect.
  bool click(int control);
  // Types into an entry, combo, text box or spin box, then leaves the field.
  // Returns the reason when the text is refused (the variable keeps its value)
  // or the field is read-only. A text box takes what fits and no more.
  std::optional<std::string> type(int control, std::string_view utf8);
  void chooseTab(int tab);               // the user clicks a tab
  void chooseRow(int list, int row);     // the user clicks a row (of a list or a drop list)
  void focus(int control);               // the user enters a control
  void pressKey(int control, Key key);   // raises AlertKey when registered
  void fireTimer();                      // the timer runs out
  void closeByUser() { post(0, EventKind::CloseWindow); }
  void resizeByUser(int width, int height);  // the client area's new size

  // --- what a user sees
  std::string shownText(int control) const;  // a field's or text's current text (UTF-8)
  std::vector<int> tabs(int sheet) const;     // tab numbers in order
  int currentTab(int sheet) const;            // number of the current tab, 0 when none
  std::vector<std::string> rows(int list) const;
  int focused() const { return focus_; }
  std::pair<int, int> selectedRange(int control) const;
  int timer() const { return timer_; }
  std::string wallpaper() const { return wallpaper_; }
  std::string statusText(int zone) const;
  Rect imageDisplaySize(int control) const;
  // The page an image control shows (1-based), 0 when it shows none.
  int shownPage(int control) const;
  Rect minimumSize() const { return minimum_; }
  const WindowDeclaration& declaration() const { return declaration_; }
  bool closed() const { return closed_; }
  // Whether an event is waiting to be returned by accept().
  bool hasPendingEvent() const { return !pending_.empty(); }

  // Called by accept() when no event is waiting (it may post some).
  std::function<void(ScriptedWindow&)> onIdle;

 private:
  struct Control : ControlState {
    std::string shown;  // Windows-1252
    int choice = 0;
    std::shared_ptr<ListSource> source;
    std::string image;
    std::shared_ptr<const PageImages> pages;
    int page = 0;
    std::pair<int, int> range{0, 0};  // selected characters of a field
    Rect displaySize;                 // of an image
  };
  Control* find(int control);
  const Control* find(int control) const;
  void addControl(const ControlDeclaration& control);
  void refresh(Control& control);
  // A text box's counter shows how much of the field `typedUtf8` uses.
  void showCount(const Control& box, std::string_view typedUtf8);
  void destroyControl(int number);

  ScriptedRuntime& runtime_;
  WindowDeclaration declaration_;
  ControlTable<Control> controls_;
  EventQueue pending_;
  std::set<std::pair<int, Key>> alertKeys_;
  std::map<int, std::string> status_;
  std::string caption_;
  std::string wallpaper_;
  Rect minimum_;
  int timer_ = 0;
  int focus_ = 0;
  bool closed_ = false;
  bool scriptEnded_ = false;  // closed because nothing was left to do
};

// A wait notice as the scripted runtime keeps it.
struct ShownWaitNotice {
  std::string text;
  std::string caption;
  int looks = 0;       // how often the program asked whether it was cancelled
  bool cancelled = false;
  bool shown = true;   // false once the program took it away
};

class ScriptedRuntime final : public Runtime {
 public:
  ScriptedRuntime();
  ~ScriptedRuntime() override;

  std::unique_ptr<Window> open(const WindowDeclaration& declaration) override;
  Button message(const MessageBox& box) override;
  std::optional<std::string> chooseFile(const FileDialog& dialog) override;
  int popupMenu(std::string_view items) override;
  std::unique_ptr<WaitNotice> showWaitNotice(std::string_view text, std::string_view caption) override;
  void beep(int sound) override { sounds.push_back(sound); }
  std::string documentsFolder() const override { return documents; }
  void setHelpFile(std::string_view name) override { helpName_ = name; }
  std::string helpFile() const override { return helpName_; }
  void showHelpContents() override { helpRequests.push_back("contents"); }
  void showHelpSearch() override { helpRequests.push_back("search"); }

  // --- the script: answers given in order; when none is left a message box
  // answers its default button, a file dialog is cancelled, a pop-up dismissed.
  std::deque<Button> messageAnswers;
  std::deque<std::optional<std::string>> fileAnswers;
  std::deque<int> popupAnswers;
  // The user's documents folder, as documentsFolder() names it.
  std::string documents = "/home/collector/Documents";
  // The screens its windows see (ScriptedWindow::screens()); none by default.
  std::vector<Rect> screens;
  // Called each time the program looks whether a wait notice was cancelled;
  // true presses Cancel. Without it, Cancel is pressed at the first look.
  std::function<bool(const ShownWaitNotice&)> duringWait;
  // Called when a window with this title opens, before its procedure runs.
  std::map<std::string, std::function<void(ScriptedWindow&)>> whenOpened;

  // --- the record
  std::vector<MessageBox> messages;
  std::vector<FileDialog> fileDialogs;
  std::vector<std::string> popups;
  std::vector<ShownWaitNotice> waitNotices;
  std::vector<int> sounds;
  std::vector<std::string> helpRequests;
  std::vector<std::string> openedTitles;
  std::vector<int> exitCodes;
  // The windows open now, oldest first.
  const std::vector<ScriptedWindow*>& windows() const { return windows_; }
  ScriptedWindow* window(std::string_view title) const;

 private:
  friend class ScriptedWindow;
  std::vector<ScriptedWindow*> windows_;
  std::string helpName_;
};

}  // namespace glimra::runtime
