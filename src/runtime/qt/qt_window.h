// SPDX-License-Identifier: GPL-3.0-or-later
// QtWindow: a Window shown with Qt Widgets, mirroring the window model
// (window_model.h) into widgets.
//
// The declared controls become widgets placed by dialog units of the window's
// font; menus become a menu bar, toolbar buttons a toolbar. accept() runs a
// nested QEventLoop until an event is queued: user input (clicks, edits, tab
// and row changes, focus, alert keys, closing the window), the timer, or a
// post() by the program. Changes made by the program are made under a guard
// so that they raise no events. Before a user event is queued, every field
// whose text the user changed is stored into its variable. A refused text
// stays in its field, marked, with the reason shown under it until the text
// is mended or Esc brings the stored value back; meanwhile user events that
// would act on the form (commands, row, tab and option changes, closing) are
// held back. The first change of a field's text raises Selected as entering
// the field does.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <deque>
#include <map>
#include <memory>
#include <set>
#include <unordered_map>

#include "runtime/field_value.h"
#include "runtime/window.h"
#include "runtime/window_model.h"

class QAction;
class QButtonGroup;
class QEventLoop;
class QLabel;
class QMainWindow;
class QMenu;
class QTimer;
class QToolBar;
class QWidget;

namespace glimra::runtime {

class QtRuntime;
class ListSourceModel;
class FrameWindow;

class QtWindow final : public QObject, public Window {
  Q_OBJECT
 public:
  QtWindow(QtRuntime& runtime, const WindowDeclaration& declaration);
  ~QtWindow() override;

  Event accept() override;
  bool keepOpen() override;
  void post(int control, EventKind kind, Key key = Key::None) override;
  using Window::post;
  void setTimer(int hundredths) override;
  void alertKey(int control, Key key) override;
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
  bool isReadOnly(int control) const override;
  bool exists(int control) const override;
  bool isEnabled(int control) const override;
  bool isVisible(int control) const override;
  void create(const ControlDeclaration& control) override;
  void select(int control) override;
  void selectRange(int control, int first, int last) override;
  int choice(int control) const override;
  void setListSource(int control, std::shared_ptr<ListSource> source) override;
  void selectRow(int control, int row) override;
  void setText(int control, std::string_view text) override;
  std::string text(int control) const override;
  void setCaption(std::string_view caption) override;
  std::string caption() const override;
  void setWallpaper(std::string_view image) override;
  void setImage(int control, std::string_view image) override;
  Rect imageSize(int control) const override;
  void setPageImage(int control, std::shared_ptr<const PageImages> pages, int page) override;
  Rect geometry(int control) const override;
  void setGeometry(int control, const Rect& at) override;
  void setImageDisplaySize(int control, int width, int height) override;
  void setRange(int control, int low, int high) override;
  void setMinimumSize(int width, int height) override;
  void setStatusText(int zone, std::string_view text) override;
  Rect placement() const override;
  void place(const Rect& at) override;
  std::vector<Rect> screens() const override;

  // --- for tests and screenshots
  QMainWindow* frame() const;
  QWidget* widgetOf(int control) const;
  QAction* actionOf(int control) const;
  QString lastRefusal() const { return lastRefusal_; }
  // Whether an event is waiting to be returned by accept().
  bool hasPendingEvent() const { return !pending_.empty(); }
  // Whether the procedure waits in accept() with nothing to return.
  bool waitsForUser() const { return waiting_ != nullptr && pending_.empty(); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  friend class FrameWindow;
  // The model's record of a control and the widgets that show it.
  struct Control : ControlState {
    QWidget* widget = nullptr;    // the control's widget (client area or toolbar)
    QAction* action = nullptr;    // menu items, menus, toolbar buttons
    QMenu* menu = nullptr;
    QButtonGroup* group = nullptr;  // option groups
    ListSourceModel* model = nullptr;
    QString shownText;            // what display() last put into a field
    bool changeAnnounced = false; // the user's first change since then raised Selected
    QString refusal;              // why the text in the field was refused; empty when it was not
    bool keepsSelection = false;  // selectRange() marked characters that stay marked when the focus moves on
  };

  void build(const ControlDeclaration& declaration);
  void place(Control& control);
  void watch(QObject* object, int control);
  Control* find(int control);
  const Control* find(int control) const;

  void queue(const Event& event);      // wakes accept()
  // Stores typed fields first; holds the event back (false) while a field
  // holds a refused text.
  bool userEvent(const Event& event);
  // Stores typed fields; true (the refusal shown again, the field focused)
  // when a field holds a text it refused.
  bool refusalStands();
  void refresh(Control& control);      // variable -> widget
  bool store(Control& control);        // widget -> variable; false when refused
  void storeEditedFields();
  void textChangedByUser(int control);
  QString fieldText(const Control& control) const;
  void setFieldText(Control& control, const QString& text);
  void refuse(Control& control, const QString& reason);
  void showRefusal(Control& control);
  void clearRefusal(Control& control);
  bool pressDefaultButton(int from);  // Enter pressed in control `from`
  void applyVisibility(Control& control);
  void destroyControl(int number);
  void applyEnabled(Control& control);
  void sheetChanged(int sheet);
  int px(int units, bool horizontal) const;
  int units(int pixels, bool horizontal) const;

  QtRuntime& runtime_;
  WindowDeclaration declaration_;
  FrameWindow* frame_ = nullptr;
  QWidget* client_ = nullptr;
  QToolBar* toolbar_ = nullptr;
  QLabel* notice_ = nullptr;
  QTimer* timer_ = nullptr;
  std::vector<QLabel*> zones_;
  ControlTable<Control> controls_;
  std::unordered_map<QObject*, int> owners_;  // widget -> control number (0: the window)
  std::set<std::pair<int, Key>> alertKeys_;
  EventQueue pending_;
  QEventLoop* waiting_ = nullptr;
  int quiet_ = 0;  // > 0 while the program changes widgets: no events
  bool closed_ = false;
  double unitX_ = 1.5;  // pixels per horizontal dialog unit
  double unitY_ = 1.625;
  QString lastRefusal_;
  int noticeOwner_ = 0;  // the field whose refusal the notice shows
};

}  // namespace glimra::runtime
