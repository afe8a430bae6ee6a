// SPDX-License-Identifier: GPL-3.0-or-later
#include "runtime/qt/qt_window.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QFocusEvent>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QEventLoop>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QFrame>
#include <QGroupBox>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QResizeEvent>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <algorithm>
#include <cmath>

#include "runtime/qt/help_window.h"
#include "runtime/qt/qt_list_model.h"
#include "runtime/qt/qt_page_images.h"
#include "runtime/qt/qt_runtime.h"
#include "runtime/qt/qt_text.h"

namespace glimra::runtime {

// The top-level widget; closing it asks the loop instead of closing at once.
class FrameWindow final : public QMainWindow {
 public:
  explicit FrameWindow(QtWindow& owner) : owner_(owner) {}

 protected:
  void closeEvent(QCloseEvent* event) override {
    event->ignore();
    owner_.userEvent(Event{0, EventKind::CloseWindow});
  }
  void resizeEvent(QResizeEvent* event) override {
    QMainWindow::resizeEvent(event);
    if (isVisible() && event->oldSize().isValid() && !owner_.quiet_) owner_.post(0, EventKind::Resized);
  }

 private:
  QtWindow& owner_;
};

namespace {

// Holds QtWindow::quiet_ raised while the program changes widgets.
class Quiet {
 public:
  explicit Quiet(int& counter) : counter_(counter) { ++counter_; }
  ~Quiet() { --counter_; }

 private:
  int& counter_;
};

bool isField(ControlKind kind) {
  return kind == ControlKind::Entry || kind == ControlKind::Combo || kind == ControlKind::TextBox;
}

QPixmap loadImage(std::string_view path) {
  return QPixmap(QString::fromStdString(collection::cp1252ToUtf8(path)));
}

Key keyOf(const QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Insert: return Key::Insert;
    case Qt::Key_Delete: return Key::Delete;
    case Qt::Key_Return:
    case Qt::Key_Enter: return Key::Enter;
    case Qt::Key_Escape: return Key::Escape;
    case Qt::Key_PageUp: return Key::PageUp;
    case Qt::Key_PageDown: return Key::PageDown;
    default: return Key::None;
  }
}

Key keyOf(const QMouseEvent* event, bool doubleClick) {
  if (event->button() == Qt::LeftButton) return doubleClick ? Key::MouseLeftDouble : Key::MouseLeft;
  if (event->button() == Qt::RightButton) return Key::MouseRight;
  return Key::None;
}

std::string toStoredLines(const QString& text) { return withStoredLineBreaks(text.toStdString()); }

}  // namespace

// A spin box that lets a number outside its range be typed and then takes
// the nearer bound, instead of refusing the keystrokes.
class ClampingSpinBox final : public QSpinBox {
 public:
  using QSpinBox::QSpinBox;

 protected:
  QValidator::State validate(QString& text, int&) const override {
    const QString typed = text.trimmed();
    if (typed.isEmpty() || typed == QStringLiteral("-")) return QValidator::Intermediate;
    bool number = false;
    const long long value = typed.toLongLong(&number);
    if (!number) return QValidator::Invalid;
    return value >= minimum() && value <= maximum() ? QValidator::Acceptable : QValidator::Intermediate;
  }
  void fixup(QString& text) const override {
    bool number = false;
    const long long value = text.trimmed().toLongLong(&number);
    text = QString::number(number ? std::clamp<long long>(value, minimum(), maximum()) : this->value());
  }
};

// A multi-line box that takes text up to the length of its field: a paste
// that would pass it is cut to what fits, and a key typed at the limit (or
// any other change that would pass it) is not taken.
class LimitedTextEdit final : public QPlainTextEdit {
 public:
  LimitedTextEdit(const FieldValue& value, QWidget* parent) : QPlainTextEdit(parent), value_(value) {
    connect(this, &QPlainTextEdit::textChanged, this, [this] { keepWithinLimit(); });
  }

 protected:
  void insertFromMimeData(const QMimeData* source) override {
    if (!source || !source->hasText()) return;
    const QTextCursor cursor = textCursor();
    QString kept = toPlainText();
    kept.remove(cursor.selectionStart(), cursor.selectionEnd() - cursor.selectionStart());
    const std::string pasted = source->text().toStdString();
    const std::string fits = value_.fittingStart(pasted, value_.storedLength(kept.toStdString()));
    if (fits.size() < pasted.size()) QApplication::beep();
    insertPlainText(QString::fromStdString(fits));
  }

 private:
  void keepWithinLimit() {
    const QString text = toPlainText();
    if (value_.storedLength(text.toStdString()) <= static_cast<std::size_t>(value_.maxLength())) {
      lastFitting_ = text;
      lastCursor_ = textCursor().position();
      return;
    }
    QApplication::beep();
    const QSignalBlocker quiet(this);
    setPlainText(lastFitting_);
    QTextCursor cursor = textCursor();
    cursor.setPosition(std::min(lastCursor_, static_cast<int>(lastFitting_.size())));
    setTextCursor(cursor);
  }

  const FieldValue& value_;
  QString lastFitting_;
  int lastCursor_ = 0;
};

// ---------------------------------------------------------------- building

QtWindow::QtWindow(QtRuntime& runtime, const WindowDeclaration& declaration)
    : runtime_(runtime), declaration_(declaration) {
  frame_ = new FrameWindow(*this);
  frame_->setAttribute(Qt::WA_DeleteOnClose, false);
  frame_->setWindowModality(Qt::ApplicationModal);
  frame_->setWindowTitle(toQt(declaration.title));
  QFont font = QApplication::font();
  if (!declaration.font.family.empty()) font.setFamily(toQt(declaration.font.family));
  if (declaration.font.points > 0) font.setPointSize(declaration.font.points);
  frame_->setFont(font);
  const QFontMetricsF metrics(font);
  const double average =
      metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) / 52.0;
  unitX_ = average / 4.0;
  unitY_ = metrics.height() / 8.0;

  client_ = new QWidget(frame_);
  client_->setObjectName(QStringLiteral("client"));
  frame_->setCentralWidget(client_);
  if (!declaration.wallpaper.empty()) setWallpaper(declaration.wallpaper);
  watch(frame_, 0);
  watch(client_, 0);

  notice_ = new QLabel(client_);
  notice_->setObjectName(QStringLiteral("refusal"));
  notice_->setStyleSheet(QStringLiteral(
      "QLabel { background: #fff4c2; color: #5a3b00; border: 1px solid #d9a400; border-radius: 3px; padding: 2px 6px; }"));
  notice_->hide();

  timer_ = new QTimer(this);
  connect(timer_, &QTimer::timeout, this, [this] { post(0, EventKind::Timer); });

  for (const auto& control : declaration.controls) build(control);
  // A prompt's mnemonic moves to the next declared control that can take the
  // focus (a prompt stands before its field in the declaration, whatever
  // their numbers).
  const auto& declared = declaration.controls;
  for (auto it = declared.begin(); it != declared.end(); ++it) {
    if (it->kind != ControlKind::Prompt) continue;
    for (auto next = std::next(it); next != declared.end(); ++next) {
      if (next->kind == ControlKind::Prompt || next->kind == ControlKind::Text) continue;
      const Control* prompt = find(it->number);
      const Control* field = find(next->number);
      if (prompt && prompt->widget && field && field->widget)
        static_cast<QLabel*>(prompt->widget)->setBuddy(field->widget);
      break;
    }
  }

  if (!declaration.statusZones.empty()) {
    auto* bar = frame_->statusBar();
    for (std::size_t i = 0; i < declaration.statusZones.size(); ++i) {
      auto* zone = new QLabel(bar);
      zone->setMinimumWidth(px(declaration.statusZones[i], true));
      bar->addWidget(zone, i + 1 == declaration.statusZones.size() ? 1 : 0);
      zones_.push_back(zone);
    }
  }

  const Rect at = declaration.at;
  const QSize clientSize(px(std::max(at.width, 40), true), px(std::max(at.height, 20), false));
  // The frame fits around the declared client area; a resizable window may
  // then shrink to half of it.
  client_->setFixedSize(clientSize);
  frame_->adjustSize();
  if (declaration.flags & Resizable) {
    client_->setMinimumSize(clientSize / 2);
    client_->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
  }
  if ((declaration.flags & CentreOnScreen) || at.x < 0 || at.y < 0) {
    if (QScreen* screen = QApplication::primaryScreen()) {
      QRect area = screen->availableGeometry();
      frame_->move(area.center() - QPoint(frame_->width() / 2, frame_->height() / 2));
    }
  } else {
    frame_->move(px(at.x, true), px(at.y, false));
  }

  display();
  pending_.post(Event{0, EventKind::OpenWindow});
  if (declaration.flags & Maximized)
    frame_->showMaximized();
  else
    frame_->show();
}

QtWindow::~QtWindow() {
  timer_->stop();
  delete frame_;  // menus, toolbar and controls are its children
}

void QtWindow::watch(QObject* object, int control) {
  owners_[object] = control;
  object->installEventFilter(this);
}

int QtWindow::px(int value, bool horizontal) const {
  return static_cast<int>(std::lround(value * (horizontal ? unitX_ : unitY_)));
}

int QtWindow::units(int pixels, bool horizontal) const {
  return static_cast<int>(std::lround(pixels / (horizontal ? unitX_ : unitY_)));
}

void QtWindow::build(const ControlDeclaration& d) {
  Control control;
  control.declare(d);
  const int number = d.number;
  const QString text = toQt(d.text);
  QWidget* widget = nullptr;

  switch (d.kind) {
    case ControlKind::Menu: {
      Control* parent = find(d.parent);
      control.menu = parent && parent->menu ? parent->menu->addMenu(text) : frame_->menuBar()->addMenu(text);
      control.action = control.menu->menuAction();
      break;
    }
    case ControlKind::MenuItem: {
      Control* parent = find(d.parent);
      if (!parent || !parent->menu) return;
      QAction* action = parent->menu->addAction(text);
      if (!d.shortcut.empty()) action->setShortcut(QKeySequence::fromString(toQt(d.shortcut)));
      if (!d.tip.empty()) action->setStatusTip(toQt(d.tip));
      if (!d.icon.empty()) action->setIcon(QIcon(toQt(d.icon)));
      action->setCheckable(d.flags & Checkable);
      connect(action, &QAction::triggered, this, [this, number](bool checked) {
        Control* c = find(number);
        if (!c || quiet_) return;
        if (c->declaration.flags & HelpContents) return runtime_.showHelpContents();
        if (c->declaration.flags & HelpSearch) return runtime_.showHelpSearch();
        if (refusalStands()) return refresh(*c);
        if (c->declaration.flags & Checkable) c->declaration.use.setNumber(checked ? 1 : 0);
        userEvent(Event{number, EventKind::Accepted});
      });
      control.action = action;
      break;
    }
    case ControlKind::Separator: {
      Control* parent = find(d.parent);
      if (!parent || !parent->menu) return;
      control.action = parent->menu->addSeparator();
      break;
    }
    case ControlKind::ToolbarButton: {
      if (!toolbar_) {
        toolbar_ = frame_->addToolBar(QStringLiteral("Tools"));
        toolbar_->setMovable(false);
        toolbar_->setFloatable(false);
        toolbar_->setIconSize(QSize(24, 24));
        toolbar_->setContextMenuPolicy(Qt::PreventContextMenu);
      }
      auto* button = new QToolButton(toolbar_);
      button->setIcon(QIcon(toQt(d.icon)));
      button->setToolTip(toQt(d.tip.empty() ? d.text : d.tip));
      button->setAutoRaise(true);
      button->setFocusPolicy(Qt::NoFocus);
      connect(button, &QToolButton::clicked, this,
              [this, number] { userEvent(Event{controls_.commandOf(number), EventKind::Accepted}); });
      control.action = toolbar_->addWidget(button);
      control.widget = button;
      watch(button, number);
      break;
    }
    case ControlKind::Button: {
      auto* button = new QPushButton(text, client_);
      button->setDefault(d.flags & DefaultButton);
      button->setAutoDefault(false);
      connect(button, &QPushButton::clicked, this, [this, number] { userEvent(Event{number, EventKind::Accepted}); });
      widget = button;
      break;
    }
    case ControlKind::Sheet: {
      auto* sheet = new QTabWidget(client_);
      sheet->setFocusPolicy(Qt::TabFocus);
      connect(sheet, &QTabWidget::currentChanged, this, [this, number](int) { sheetChanged(number); });
      widget = sheet;
      break;
    }
    case ControlKind::Tab: {
      Control* sheet = find(d.parent);
      if (!sheet || !sheet->widget) return;
      auto* tabs = static_cast<QTabWidget*>(sheet->widget);
      auto* page = new QWidget;
      control.widget = page;
      controls_[number] = control;
      Quiet quiet(quiet_);
      tabs->insertTab(controls_.tabIndex(d.parent, number), page, text);
      if (!controls_[number].visible) tabs->setTabVisible(tabs->indexOf(page), false);
      if (!controls_[number].enabled) tabs->setTabEnabled(tabs->indexOf(page), false);
      return;
    }
    case ControlKind::List: {
      auto* list = new QListView(client_);
      auto* model = new ListSourceModel(list);
      list->setModel(model);
      list->setUniformItemSizes(true);
      list->setSelectionMode(QAbstractItemView::SingleSelection);
      list->setEditTriggers(QAbstractItemView::NoEditTriggers);
      // Rows stand two dialog units in from the left edge, and are as tall
      // as a line of the font and a little more, so that the marks above
      // capitals (the dots of Ä, the ring of Å) are not cut off.
      list->setStyleSheet(QStringLiteral("QListView::item { padding-left: %1px; min-height: %2px; }")
                              .arg(px(2, true))
                              .arg(QFontMetrics(list->font()).height() + 2));
      connect(list->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
              [this, number, list](const QModelIndex&, const QModelIndex& previous) {
                if (quiet_ || userEvent(Event{number, EventKind::NewSelection})) return;
                Quiet quiet(quiet_);  // held back: the row stays the one shown
                list->selectionModel()->setCurrentIndex(previous, QItemSelectionModel::ClearAndSelect);
              });
      watch(list->viewport(), number);
      control.model = model;
      widget = list;
      break;
    }
    case ControlKind::Prompt:
    case ControlKind::Text: {
      auto* label = new QLabel(text, client_);
      if (d.kind == ControlKind::Text) label->setTextFormat(Qt::PlainText);
      if (d.flags & Centred) label->setAlignment(Qt::AlignCenter);
      if (d.flags & Wrapped) {
        label->setWordWrap(true);
        label->setAlignment(label->alignment() | Qt::AlignTop);
      }
      if (d.flags & Bold) {
        QFont bold = label->font();
        bold.setBold(true);
        label->setFont(bold);
      }
      widget = label;
      break;
    }
    case ControlKind::Entry: {
      auto* edit = new QLineEdit(client_);
      edit->setMaxLength(control.value.maxLength());
      edit->setReadOnly(d.flags & ReadOnly);
      const char kind = control.value.pictureKind();
      if (kind == 'n') edit->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
      connect(edit, &QLineEdit::editingFinished, this, [this, number] {
        if (Control* c = find(number); c && !quiet_) store(*c);
      });
      connect(edit, &QLineEdit::textEdited, this, [this, number] { textChangedByUser(number); });
      widget = edit;
      break;
    }
    case ControlKind::Combo: {
      auto* combo = new QComboBox(client_);
      combo->setEditable(true);
      combo->setInsertPolicy(QComboBox::NoInsert);
      auto* model = new ListSourceModel(combo);
      combo->setModel(model);
      combo->lineEdit()->setMaxLength(control.value.maxLength());
      connect(combo->lineEdit(), &QLineEdit::editingFinished, this, [this, number] {
        if (Control* c = find(number); c && !quiet_) store(*c);
      });
      connect(combo, &QComboBox::activated, this, [this, number](int) {
        if (Control* c = find(number); c && c->readOnly()) return refresh(*c);  // a read-only combo keeps its text
        textChangedByUser(number);
        if (Control* c = find(number); c && !quiet_) store(*c);
      });
      connect(combo->lineEdit(), &QLineEdit::textEdited, this, [this, number] { textChangedByUser(number); });
      watch(combo->lineEdit(), number);
      control.model = model;
      widget = combo;
      break;
    }
    case ControlKind::DropList: {
      auto* combo = new QComboBox(client_);
      auto* model = new ListSourceModel(combo);
      combo->setModel(model);
      connect(combo, &QComboBox::activated, this, [this, number](int index) {
        Control* c = find(number);
        if (!c || quiet_) return;
        if (refusalStands()) return refresh(*c);
        if (c->declaration.use.bound()) c->declaration.use.setNumber(index + 1);
        userEvent(Event{number, EventKind::NewSelection});
      });
      control.model = model;
      widget = combo;
      break;
    }
    case ControlKind::TextBox: {
      // The box reads its field's limit from the control's record, which
      // stays at one place for the control's life.
      auto* box = new LimitedTextEdit(controls_[number].value, client_);
      box->setReadOnly(d.flags & ReadOnly);
      box->setTabChangesFocus(true);
      // The box edits exactly the field: it stops taking text at the field's
      // length, shows how much is used in its counter, and a character the
      // field cannot hold is refused with the reason beside the box.
      connect(box, &QPlainTextEdit::textChanged, this, [this, box, number] {
        Control* c = find(number);
        if (!c) return;
        if (Control* counter = find(c->declaration.counter); counter && counter->widget)
          static_cast<QLabel*>(counter->widget)->setText(toQt(c->value.usedCharacters(box->toPlainText().toStdString())));
        textChangedByUser(number);
        if (!quiet_ && !c->refusal.isEmpty()) store(*c);
      });
      watch(box->viewport(), number);
      widget = box;
      break;
    }
    case ControlKind::Check: {
      auto* check = new QCheckBox(text, client_);
      connect(check, &QCheckBox::clicked, this, [this, number](bool checked) {
        Control* c = find(number);
        if (!c || quiet_) return;
        if (refusalStands()) return refresh(*c);
        c->declaration.use.setNumber(checked ? 1 : 0);
        userEvent(Event{number, EventKind::Accepted});
      });
      widget = check;
      break;
    }
    case ControlKind::OptionGroup: {
      control.group = new QButtonGroup(this);
      control.group->setExclusive(true);
      if (!d.text.empty()) {
        widget = new QGroupBox(text, client_);
      } else {
        widget = new QWidget(client_);
        widget->setAttribute(Qt::WA_TransparentForMouseEvents);
      }
      connect(control.group, &QButtonGroup::idClicked, this, [this, number](int id) {
        Control* c = find(number);
        if (!c || quiet_) return;
        if (refusalStands()) return refresh(*c);
        c->declaration.use.setNumber(id);
        userEvent(Event{number, EventKind::Accepted});
      });
      break;
    }
    case ControlKind::Radio: {
      Control* group = find(d.parent);
      QAbstractButton* button = nullptr;
      if (!d.icon.empty()) {
        auto* tool = new QToolButton(client_);
        tool->setIcon(QIcon(toQt(d.icon)));
        tool->setCheckable(true);
        tool->setAutoRaise(true);
        tool->setToolTip(toQt(d.tip.empty() ? d.text : d.tip));
        button = tool;
      } else {
        button = new QRadioButton(text, client_);
      }
      if (group && group->group) {
        int position = 1;
        for (const auto& [other, c] : controls_)
          if (c.declaration.kind == ControlKind::Radio && c.declaration.parent == d.parent) ++position;
        group->group->addButton(button, position);
      }
      widget = button;
      break;
    }
    case ControlKind::Panel: {
      if (!d.text.empty()) {
        widget = new QGroupBox(text, client_);
      } else {
        auto* frame = new QFrame(client_);
        frame->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
        widget = frame;
      }
      widget->setAttribute(Qt::WA_TransparentForMouseEvents);
      break;
    }
    case ControlKind::Box: {
      auto* box = new QFrame(client_);
      box->setObjectName(QStringLiteral("box"));
      box->setStyleSheet(QStringLiteral("QFrame#box { background: white; border: 1px solid black; }"));
      widget = box;
      break;
    }
    case ControlKind::Image: {
      auto* label = new PageView(client_);
      label->setAlignment(Qt::AlignCenter);
      if (d.flags & ScrollBars) {
        auto* area = new QScrollArea(client_);
        area->setBackgroundRole(QPalette::Base);
        area->setAlignment(Qt::AlignCenter);
        area->setWidget(label);
        watch(area->viewport(), number);
        widget = area;
      } else {
        label->setScaledContents(d.at.width > 0 && d.at.height > 0);
        widget = label;
      }
      watch(label, number);
      if (!d.icon.empty()) label->setPixmap(loadImage(d.icon));
      if (d.flags & Clickable) label->setCursor(Qt::PointingHandCursor);
      break;
    }
    case ControlKind::Progress: {
      auto* bar = new QProgressBar(client_);
      bar->setRange(d.low, d.high);
      bar->setTextVisible(false);
      widget = bar;
      break;
    }
    case ControlKind::SpinBox: {
      auto* spin = new ClampingSpinBox(client_);
      spin->setRange(d.low, d.high);
      spin->setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
      spin->setKeyboardTracking(false);
      connect(spin, &QSpinBox::valueChanged, this, [this, number](int value) {
        Control* c = find(number);
        if (!c || quiet_) return;
        c->declaration.use.setNumber(value);
        userEvent(Event{number, EventKind::NewSelection});
      });
      widget = spin;
      break;
    }
  }

  if (widget) {
    control.widget = widget;
    if (!d.tip.empty() && d.kind != ControlKind::ToolbarButton) widget->setToolTip(toQt(d.tip));
    watch(widget, number);
  }
  auto& stored = controls_[number] = control;
  if (widget && d.kind != ControlKind::ToolbarButton) place(stored);
  applyEnabled(stored);
  applyVisibility(stored);
}

void QtWindow::place(Control& control) {
  QWidget* widget = control.widget;
  const Rect at = control.declaration.at;
  const QSize natural = widget->sizeHint();
  const int width = at.width >= 0 ? px(at.width, true) : natural.width();
  const int height = at.height >= 0 ? px(at.height, false) : natural.height();
  widget->setGeometry(at.x >= 0 ? px(at.x, true) : 0, at.y >= 0 ? px(at.y, false) : 0, width, height);
}

QtWindow::Control* QtWindow::find(int control) { return controls_.lookup(control); }

const QtWindow::Control* QtWindow::find(int control) const { return controls_.lookup(control); }

// ---------------------------------------------------------------- events

Event QtWindow::accept() {
  if (closed_) return Event{0, EventKind::CloseWindow};
  while (pending_.empty()) {
    QEventLoop loop;
    waiting_ = &loop;
    loop.exec();
    waiting_ = nullptr;
  }
  const Event event = pending_.take();
  // The window system may still be placing a new window (a maximized one
  // grows after it is shown); let it finish so the program reads its size.
  if (event.kind == EventKind::OpenWindow) QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  // A closing window stays on the screen until it is destroyed, so that a
  // question asked before it closes has it behind.
  if (event.closes()) closed_ = true;
  return event;
}

bool QtWindow::keepOpen() {
  if (!closed_) return false;
  closed_ = false;
  return true;
}

void QtWindow::queue(const Event& event) {
  if (pending_.post(event) && waiting_) waiting_->quit();
}

void QtWindow::post(int control, EventKind kind, Key key) { queue(Event{control, kind, key}); }

bool QtWindow::userEvent(const Event& event) {
  if (closed_) return false;
  // While a field holds a refused text, nothing acts on the form's values:
  // the user mends the text or takes the stored value back with Esc first.
  if (refusalStands()) return false;
  queue(event);
  return true;
}

void QtWindow::textChangedByUser(int number) {
  Control* c = find(number);
  if (!c || quiet_ || c->changeAnnounced) return;
  // The first change of the text the program showed counts as entering the
  // field, even when the focus was there before the field got its value.
  c->changeAnnounced = true;
  const Event selected{number, EventKind::Selected};
  if (!pending_.endsWith(selected)) queue(selected);
}

void QtWindow::setTimer(int hundredths) {
  if (hundredths == IDLE_TIMER) {
    timer_->start(0);
    return;
  }
  if (hundredths <= 0) {
    timer_->stop();
    return;
  }
  timer_->start(hundredths * 10);
}

void QtWindow::alertKey(int control, Key key) { alertKeys_.insert({control, key}); }

bool QtWindow::eventFilter(QObject* watched, QEvent* event) {
  const auto owner = owners_.find(watched);
  if (owner == owners_.end()) return false;
  const int number = owner->second;
  switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
      Key key = Key::None;
      if (event->type() == QEvent::KeyPress)
        key = keyOf(static_cast<QKeyEvent*>(event));
      else
        key = keyOf(static_cast<QMouseEvent*>(event), event->type() == QEvent::MouseButtonDblClick);
      if (key == Key::None) break;
      if (key == Key::Escape && number != 0) {
        // Esc in a field holding a refused text brings the stored value back.
        Control* c = find(number);
        if (c && !c->refusal.isEmpty()) {
          refresh(*c);
          return true;
        }
      }
      if (number != 0 && alertKeys_.count({number, key})) {
        userEvent(Event{number, EventKind::AlertKey, key});
        return true;
      }
      if (alertKeys_.count({0, key})) {
        userEvent(Event{0, EventKind::AlertKey, key});
        return true;
      }
      if (key == Key::Enter && pressDefaultButton(number)) return true;
      if (event->type() == QEvent::MouseButtonPress && key == Key::MouseLeft && number != 0) {
        const Control* c = find(number);
        if (c && (c->declaration.flags & Clickable) &&
            (c->declaration.kind == ControlKind::Image || c->declaration.kind == ControlKind::Box)) {
          userEvent(Event{number, EventKind::Accepted});
          return true;
        }
      }
      break;
    }
    case QEvent::ShortcutOverride: {
      // A field would take Ctrl+A (select all) and the like for itself; the
      // window's menu shortcuts come first, as they do everywhere else.
      const Control* c = find(number);
      if (!c || !isField(c->declaration.kind)) break;
      const QKeySequence pressed(static_cast<QKeyEvent*>(event)->keyCombination());
      for (const auto& [other, item] : controls_)
        if (item.declaration.kind == ControlKind::MenuItem && item.action && item.action->isEnabled() &&
            item.action->shortcut() == pressed) {
          event->ignore();
          return true;
        }
      break;
    }
    case QEvent::FocusIn: {
      const auto reason = static_cast<QFocusEvent*>(event)->reason();
      if (number != 0 && !quiet_ && reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
        const Control* c = find(number);
        // One focus move raises one Selected, though a composite control
        // (a combo and its line) may see it twice.
        const Event selected{number, EventKind::Selected};
        if (c && c->declaration.kind != ControlKind::Sheet && !pending_.endsWith(selected))
          queue(selected);
      }
      break;
    }
    case QEvent::FocusOut: {
      Control* c = find(number);
      if (c && c->declaration.kind == ControlKind::TextBox && !quiet_) store(*c);
      // Characters the program selected stay marked when the focus moves on
      // (a line edit keeps its selection only when a pop-up takes the focus),
      // so that several fields can show their marks at once.
      auto* edit = qobject_cast<QLineEdit*>(watched);
      if (c && c->keepsSelection && edit && static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason) {
        c->keepsSelection = false;
        QFocusEvent keep(QEvent::FocusOut, Qt::PopupFocusReason);
        QApplication::sendEvent(edit, &keep);
        return true;
      }
      break;
    }
    default:
      break;
  }
  return false;
}

bool QtWindow::pressDefaultButton(int from) {
  // Enter in a multi-line box or on a button keeps its own meaning.
  if (const Control* c = find(from)) {
    const auto kind = c->declaration.kind;
    if (kind == ControlKind::TextBox || kind == ControlKind::Button) return false;
  }
  for (auto& [number, c] : controls_) {
    if (c.declaration.kind != ControlKind::Button || !(c.declaration.flags & DefaultButton)) continue;
    if (!c.widget->isEnabled() || !c.widget->isVisible()) return false;
    static_cast<QPushButton*>(c.widget)->click();
    return true;
  }
  return false;
}

// ---------------------------------------------------------------- values

QString QtWindow::fieldText(const Control& c) const {
  switch (c.declaration.kind) {
    case ControlKind::Entry: return static_cast<QLineEdit*>(c.widget)->text();
    case ControlKind::Combo: return static_cast<QComboBox*>(c.widget)->currentText();
    case ControlKind::TextBox: return static_cast<QPlainTextEdit*>(c.widget)->toPlainText();
    default: return {};
  }
}

void QtWindow::setFieldText(Control& c, const QString& text) {
  Quiet quiet(quiet_);
  c.shownText = text;
  c.changeAnnounced = false;
  clearRefusal(c);  // the program shows a value: what was typed is gone
  switch (c.declaration.kind) {
    case ControlKind::Entry: {
      auto* edit = static_cast<QLineEdit*>(c.widget);
      edit->setText(text);
      edit->setCursorPosition(0);
      break;
    }
    case ControlKind::Combo: static_cast<QComboBox*>(c.widget)->setEditText(text); break;
    case ControlKind::TextBox: static_cast<QPlainTextEdit*>(c.widget)->setPlainText(text); break;
    default: break;
  }
}

void QtWindow::refresh(Control& c) {
  const auto& d = c.declaration;
  if (c.model) {
    // Keep the chosen row across a redraw, within the new count.
    if (d.kind == ControlKind::List) {
      auto* list = static_cast<QListView*>(c.widget);
      const int row = list->currentIndex().row();
      Quiet quiet(quiet_);
      c.model->refresh();
      const int count = c.model->rowCount();
      if (row >= 0 && count > 0) list->setCurrentIndex(c.model->index(std::min(row, count - 1)));
    } else if (d.kind == ControlKind::DropList) {
      auto* combo = static_cast<QComboBox*>(c.widget);
      const int index = combo->currentIndex();
      Quiet quiet(quiet_);
      c.model->refresh();
      if (index < c.model->rowCount()) combo->setCurrentIndex(index);
    } else {
      const QString text = fieldText(c);
      Quiet quiet(quiet_);
      c.model->refresh();
      static_cast<QComboBox*>(c.widget)->setEditText(text);
    }
  }
  if (!d.use.bound() && d.kind != ControlKind::MenuItem) return;
  const long long number = d.use.number();
  Quiet quiet(quiet_);
  switch (d.kind) {
    case ControlKind::Entry:
    case ControlKind::Combo:
      setFieldText(c, toQt(c.value.shown()));
      break;
    case ControlKind::TextBox: {
      QString text = toQt(c.value.shown());
      text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
      setFieldText(c, text);
      break;
    }
    case ControlKind::Text:
    case ControlKind::Prompt:
      static_cast<QLabel*>(c.widget)->setText(toQt(c.value.shown()));
      break;
    case ControlKind::Check: static_cast<QCheckBox*>(c.widget)->setChecked(number != 0); break;
    case ControlKind::MenuItem:
      if (d.use.bound() && c.action->isCheckable()) c.action->setChecked(number != 0);
      break;
    case ControlKind::Progress: static_cast<QProgressBar*>(c.widget)->setValue(static_cast<int>(number)); break;
    case ControlKind::SpinBox: static_cast<QSpinBox*>(c.widget)->setValue(static_cast<int>(number)); break;
    case ControlKind::DropList: static_cast<QComboBox*>(c.widget)->setCurrentIndex(static_cast<int>(number) - 1); break;
    case ControlKind::OptionGroup: {
      QAbstractButton* chosen = c.group->button(static_cast<int>(number));
      if (chosen) {
        chosen->setChecked(true);
      } else {
        // A value outside the group checks no button.
        c.group->setExclusive(false);
        for (auto* button : c.group->buttons()) button->setChecked(false);
        c.group->setExclusive(true);
      }
      break;
    }
    case ControlKind::Sheet: {
      auto* tabs = static_cast<QTabWidget*>(c.widget);
      if (number >= 1 && number <= tabs->count()) tabs->setCurrentIndex(static_cast<int>(number - 1));
      break;
    }
    default: break;
  }
}

bool QtWindow::store(Control& c) {
  if (!isField(c.declaration.kind) || !c.declaration.use.bound() || (c.declaration.flags & ReadOnly)) return true;
  const QString typed = fieldText(c);
  if (typed == c.shownText) return true;
  const std::string utf8 =
      c.declaration.kind == ControlKind::TextBox ? toStoredLines(typed) : typed.toStdString();
  const StoreResult result = c.value.store(utf8);
  if (!result.ok) {
    refuse(c, QString::fromStdString(result.reason));
    return false;
  }
  clearRefusal(c);
  // Show the value in the picture's normal form ("1/2/24" becomes "01/02/24").
  if (c.declaration.kind != ControlKind::TextBox) setFieldText(c, toQt(c.value.shown()));
  else c.shownText = typed;
  if (result.changed) queue(Event{c.declaration.number, EventKind::Accepted});
  return true;
}

void QtWindow::storeEditedFields() {
  for (auto& [number, c] : controls_)
    if (isField(c.declaration.kind) && fieldText(c) != c.shownText) store(c);
}

void QtWindow::refuse(Control& c, const QString& reason) {
  lastRefusal_ = reason;
  QApplication::beep();
  // What was typed stays in the field, marked, so the user can mend it; the
  // variable keeps its value.
  c.refusal = reason;
  c.widget->setProperty("refused", true);
  c.widget->setStyleSheet(QStringLiteral("border: 2px solid #c0392b; background: #fdecea;"));
  showRefusal(c);
}

void QtWindow::showRefusal(Control& c) {
  notice_->setText(c.refusal + QStringLiteral("\nEsc brings back the stored value."));
  notice_->adjustSize();
  // Below the field or above it, starting at its left edge or ending at its
  // right one: where it hides none of the field the user goes to next, and as
  // little of the other fields as it can.
  const QRect field = c.widget->geometry();
  const QSize size = notice_->size();
  auto inside = [&](int x, int y) {
    return QRect(QPoint(std::clamp(x, 0, std::max(0, client_->width() - size.width())),
                        std::clamp(y, 0, std::max(0, client_->height() - size.height()))),
                 size);
  };
  const int below = field.bottom() + 2, above = field.top() - 2 - size.height();
  const int rightAligned = field.right() + 1 - size.width();
  const QRect places[] = {inside(field.left(), below), inside(rightAligned, below), inside(field.left(), above),
                          inside(rightAligned, above)};
  int next = 0;  // the field Tab goes to from this one
  for (QWidget* w = c.widget->nextInFocusChain(); w && w != c.widget && !next; w = w->nextInFocusChain()) {
    const auto owner = owners_.find(w);
    const Control* other = owner == owners_.end() ? nullptr : find(owner->second);
    if (other && other != &c && isField(other->declaration.kind) && w->isVisible() && (w->focusPolicy() & Qt::TabFocus))
      next = owner->second;
  }
  auto hidden = [&](const QRect& place) {
    long long cost = 0;
    for (const auto& [number, other] : controls_) {
      if (number == c.declaration.number || !other.widget || !other.widget->isVisible() ||
          other.widget->parentWidget() != client_ || !isField(other.declaration.kind))
        continue;
      const QRect covered = place.intersected(other.widget->geometry());
      if (covered.isEmpty()) continue;
      cost += static_cast<long long>(covered.width()) * covered.height() * (number == next ? 1000 : 1);
    }
    return cost;
  };
  const QRect* best = &places[0];
  for (const QRect& place : places)
    if (hidden(place) < hidden(*best)) best = &place;
  notice_->move(best->topLeft());
  notice_->raise();
  notice_->show();
  noticeOwner_ = c.declaration.number;
}

void QtWindow::clearRefusal(Control& c) {
  if (c.refusal.isEmpty()) return;
  c.refusal.clear();
  c.widget->setProperty("refused", false);
  c.widget->setStyleSheet(QString());
  if (noticeOwner_ != c.declaration.number) return;
  notice_->hide();
  noticeOwner_ = 0;
  // Another field may still hold a refused text: its reason comes back.
  for (auto& [number, other] : controls_)
    if (!other.refusal.isEmpty()) return showRefusal(other);
}

bool QtWindow::refusalStands() {
  storeEditedFields();
  for (auto& [number, c] : controls_) {
    if (c.refusal.isEmpty()) continue;
    showRefusal(c);
    Quiet quiet(quiet_);
    c.widget->setFocus(Qt::OtherFocusReason);
    return true;
  }
  return false;
}

void QtWindow::display() {
  for (auto& [number, c] : controls_) refresh(c);
}

void QtWindow::display(int first, int last) {
  controls_.forRange(first, last, [this](Control& c) { refresh(c); });
}

// ---------------------------------------------------------------- state

void QtWindow::applyEnabled(Control& c) {
  const auto& d = c.declaration;
  if (d.kind == ControlKind::Tab) {
    const Control* sheet = find(d.parent);
    if (!sheet) return;
    auto* tabs = static_cast<QTabWidget*>(sheet->widget);
    tabs->setTabEnabled(tabs->indexOf(c.widget), c.enabled);
    return;
  }
  if (c.action) c.action->setEnabled(c.enabled);
  if (c.menu) c.menu->setEnabled(c.enabled);
  if (c.widget) c.widget->setEnabled(c.enabled);
  if (c.group)
    for (auto* button : c.group->buttons()) button->setEnabled(c.enabled);
}

void QtWindow::applyVisibility(Control& c) {
  const auto& d = c.declaration;
  if (d.kind == ControlKind::Tab) {
    const Control* sheet = find(d.parent);
    if (!sheet) return;
    auto* tabs = static_cast<QTabWidget*>(sheet->widget);
    Quiet quiet(quiet_);
    tabs->setTabVisible(tabs->indexOf(c.widget), c.visible);
    return;
  }
  if (c.action) {
    c.action->setVisible(c.visible);
    return;
  }
  if (!c.widget) return;
  // A control placed on a tab shows only while its tab is the current one.
  bool shown = c.visible;
  if (const Control* parent = find(d.parent); parent && parent->declaration.kind == ControlKind::Tab) {
    const Control* sheet = find(parent->declaration.parent);
    shown = shown && sheet && static_cast<QTabWidget*>(sheet->widget)->currentWidget() == parent->widget;
  }
  if (c.group)
    for (auto* button : c.group->buttons()) button->setVisible(shown);
  c.widget->setVisible(shown);
}

void QtWindow::sheetChanged(int sheet) {
  Control* c = find(sheet);
  if (!c) return;
  for (auto& [number, other] : controls_)
    if (const Control* parent = find(other.declaration.parent); parent && parent->declaration.kind == ControlKind::Tab)
      applyVisibility(other);
  if (quiet_) return;
  if (refusalStands()) {
    refresh(*c);  // held back: the tab shown stays
    return;
  }
  c->declaration.use.setNumber(choice(sheet));
  userEvent(Event{sheet, EventKind::NewSelection});
}

void QtWindow::setReadOnly(int first, int last, bool readOnly) {
  controls_.forRange(first, last, [readOnly](Control& c) {
    if (!c.takesText() || !c.widget) return;
    c.setReadOnly(readOnly);
    if (auto* edit = qobject_cast<QLineEdit*>(c.widget)) edit->setReadOnly(readOnly);
    if (auto* combo = qobject_cast<QComboBox*>(c.widget); combo && combo->lineEdit()) combo->lineEdit()->setReadOnly(readOnly);
    if (auto* box = qobject_cast<QPlainTextEdit*>(c.widget)) box->setReadOnly(readOnly);
    // A read-only field shows the window's colour where it would take typing.
    QPalette palette = c.widget->palette();
    palette.setColor(QPalette::Base, QApplication::palette().color(readOnly ? QPalette::Window : QPalette::Base));
    c.widget->setPalette(palette);
  });
}

bool QtWindow::isReadOnly(int control) const { return controls_.isReadOnly(control); }

void QtWindow::enable(int first, int last) {
  controls_.forRangeWithButtons(first, last, [this](Control& c) { c.enabled = true; applyEnabled(c); });
}

void QtWindow::disable(int first, int last) {
  controls_.forRangeWithButtons(first, last, [this](Control& c) { c.enabled = false; applyEnabled(c); });
}

void QtWindow::hide(int first, int last) {
  controls_.forRange(first, last, [this](Control& c) { c.visible = false; applyVisibility(c); });
}

void QtWindow::show(int first, int last) {
  controls_.forRange(first, last, [this](Control& c) { c.visible = true; applyVisibility(c); });
}

void QtWindow::destroy(int first, int last) {
  Quiet quiet(quiet_);
  for (int number : controls_.destructionOrder(first, last)) destroyControl(number);
}

void QtWindow::destroyControl(int number) {
  if (!find(number)) return;
  Control& c = controls_[number];
  const auto kind = c.declaration.kind;
  if (kind == ControlKind::Tab) {
    if (Control* sheet = find(c.declaration.parent)) {
      auto* tabs = static_cast<QTabWidget*>(sheet->widget);
      const int shown = tabs->currentWidget() == c.widget ? controls_.tabShownAfterDestroying(number) : 0;
      tabs->removeTab(tabs->indexOf(c.widget));
      if (const Control* next = find(shown)) tabs->setCurrentWidget(next->widget);
    }
    delete c.widget;
  } else if (kind == ControlKind::ToolbarButton) {
    toolbar_->removeAction(c.action);
    delete c.action;
    owners_.erase(c.widget);
  } else if (kind == ControlKind::Menu) {
    if (c.declaration.parent == 0) frame_->menuBar()->removeAction(c.action);
    delete c.menu;
  } else if (kind == ControlKind::MenuItem || kind == ControlKind::Separator) {
    delete c.action;
  } else {
    delete c.group;  // its buttons are gone already
    if (c.widget) {
      owners_.erase(c.widget);
      for (auto* child : c.widget->findChildren<QObject*>()) owners_.erase(child);
      delete c.widget;
    }
  }
  controls_.erase(number);
}

bool QtWindow::exists(int control) const { return find(control) != nullptr; }

bool QtWindow::isEnabled(int control) const { return controls_.isEnabled(control); }

bool QtWindow::isVisible(int control) const { return controls_.isVisible(control); }

void QtWindow::create(const ControlDeclaration& control) {
  // A control made under a number in use replaces it, with what it owned.
  if (exists(control.number)) destroy(control.number);
  build(control);
  if (Control* c = find(control.number)) refresh(*c);
}

void QtWindow::select(int control) {
  Control* c = find(control);
  if (!c) return;
  if (c->declaration.kind == ControlKind::Tab) {
    Control* sheet = find(c->declaration.parent);
    if (!sheet) return;
    Quiet quiet(quiet_);
    static_cast<QTabWidget*>(sheet->widget)->setCurrentWidget(c->widget);
    sheet->declaration.use.setNumber(choice(sheet->declaration.number));
    return;
  }
  if (!c->widget) return;
  QWidget* target = c->widget;
  if (QApplication::focusWidget() == target ||
      (c->declaration.kind == ControlKind::Combo && QApplication::focusWidget() == static_cast<QComboBox*>(target)->lineEdit()))
    return;
  {
    Quiet quiet(quiet_);
    target->setFocus(Qt::OtherFocusReason);
  }
  // The focus moves as if the user had moved it.
  queue(Event{control, EventKind::Selected});
}

void QtWindow::selectRange(int control, int first, int last) {
  Control* c = find(control);
  if (!c || !c->widget) return;
  select(control);
  QLineEdit* edit = c->declaration.kind == ControlKind::Entry ? static_cast<QLineEdit*>(c->widget)
                    : c->declaration.kind == ControlKind::Combo ? static_cast<QComboBox*>(c->widget)->lineEdit()
                                                                : nullptr;
  if (edit && first >= 1 && last >= first) {
    edit->setSelection(first - 1, last - first + 1);
    c->keepsSelection = true;
  }
}

int QtWindow::choice(int control) const {
  const Control* c = find(control);
  if (!c || (!c->widget && !c->action)) return 0;
  switch (c->declaration.kind) {
    case ControlKind::Sheet: return static_cast<QTabWidget*>(c->widget)->currentIndex() + 1;
    case ControlKind::List: {
      const QModelIndex index = static_cast<QListView*>(c->widget)->currentIndex();
      return index.isValid() ? index.row() + 1 : 0;
    }
    case ControlKind::Combo:
    case ControlKind::DropList: return static_cast<QComboBox*>(c->widget)->currentIndex() + 1;
    case ControlKind::OptionGroup: return std::max(0, c->group->checkedId());
    case ControlKind::Check: return static_cast<QCheckBox*>(c->widget)->isChecked() ? 1 : 0;
    case ControlKind::SpinBox: return static_cast<QSpinBox*>(c->widget)->value();
    case ControlKind::Progress: return static_cast<QProgressBar*>(c->widget)->value();
    case ControlKind::MenuItem: return c->action->isChecked() ? 1 : 0;
    default: return 0;
  }
}

void QtWindow::setListSource(int control, std::shared_ptr<ListSource> source) {
  Control* c = find(control);
  if (!c || !c->model) return;
  Quiet quiet(quiet_);
  c->model->setSource(std::move(source));
}

void QtWindow::selectRow(int control, int row) {
  Control* c = find(control);
  if (!c || !c->model || c->declaration.kind != ControlKind::List) return;
  auto* list = static_cast<QListView*>(c->widget);
  Quiet quiet(quiet_);
  if (row < 1 || row > c->model->rowCount()) {
    list->selectionModel()->clear();
    return;
  }
  const QModelIndex index = c->model->index(row - 1);
  list->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
  list->scrollTo(index);
}

// ---------------------------------------------------------------- texts, images, geometry

void QtWindow::setText(int control, std::string_view text) {
  Control* c = find(control);
  if (!c) return;
  const QString value = toQt(text);
  c->declaration.text = text;
  switch (c->declaration.kind) {
    case ControlKind::Tab: {
      const Control* sheet = find(c->declaration.parent);
      if (!sheet) return;
      auto* tabs = static_cast<QTabWidget*>(sheet->widget);
      tabs->setTabText(tabs->indexOf(c->widget), value);
      break;
    }
    case ControlKind::Menu: c->menu->setTitle(value); break;
    case ControlKind::MenuItem: c->action->setText(value); break;
    case ControlKind::ToolbarButton: c->widget->setToolTip(value); break;
    case ControlKind::Button:
    case ControlKind::Check:
    case ControlKind::Radio: static_cast<QAbstractButton*>(c->widget)->setText(value); break;
    case ControlKind::Prompt:
    case ControlKind::Text: static_cast<QLabel*>(c->widget)->setText(value); break;
    case ControlKind::OptionGroup:
    case ControlKind::Panel:
      if (auto* box = qobject_cast<QGroupBox*>(c->widget)) box->setTitle(value);
      break;
    case ControlKind::Entry:
    case ControlKind::Combo:
    case ControlKind::TextBox: setFieldText(*c, value); break;
    default: break;
  }
}

std::string QtWindow::text(int control) const {
  const Control* c = find(control);
  if (!c) return {};
  QString value;
  switch (c->declaration.kind) {
    case ControlKind::Tab: {
      const Control* sheet = find(c->declaration.parent);
      if (!sheet) return {};
      auto* tabs = static_cast<QTabWidget*>(sheet->widget);
      value = tabs->tabText(tabs->indexOf(c->widget));
      break;
    }
    case ControlKind::Menu: value = c->menu->title(); break;
    case ControlKind::MenuItem: value = c->action->text(); break;
    case ControlKind::ToolbarButton: value = c->widget->toolTip(); break;
    case ControlKind::Button:
    case ControlKind::Check:
    case ControlKind::Radio: value = static_cast<QAbstractButton*>(c->widget)->text(); break;
    case ControlKind::Prompt:
    case ControlKind::Text: value = static_cast<QLabel*>(c->widget)->text(); break;
    case ControlKind::Entry:
    case ControlKind::Combo:
    case ControlKind::TextBox: value = fieldText(*c); break;
    default: return c->declaration.text;
  }
  // The program's text is Windows-1252; a character it cannot hold (which
  // only the user could have typed) is left out.
  const auto converted = collection::utf8ToCp1252(value.toStdString());
  return converted.ok ? converted.text : c->declaration.text;
}

void QtWindow::setCaption(std::string_view caption) {
  frame_->setWindowTitle(QString::fromStdString(std::string(caption)));
}

std::string QtWindow::caption() const { return frame_->windowTitle().toStdString(); }

void QtWindow::setWallpaper(std::string_view image) {
  const QPixmap pixmap = loadImage(image);
  QPalette palette = client_->palette();
  if (pixmap.isNull())
    palette.setBrush(QPalette::Window, QApplication::palette().window());
  else
    palette.setBrush(QPalette::Window, QBrush(pixmap));  // tiled
  client_->setPalette(palette);
  client_->setAutoFillBackground(!pixmap.isNull());
}

void QtWindow::setImage(int control, std::string_view image) {
  Control* c = find(control);
  if (!c || c->declaration.kind != ControlKind::Image) return;
  c->declaration.icon = image;
  QLabel* label = qobject_cast<QLabel*>(c->widget);
  if (auto* area = qobject_cast<QScrollArea*>(c->widget)) label = qobject_cast<QLabel*>(area->widget());
  if (!label) return;
  if (auto* view = dynamic_cast<PageView*>(label)) view->setPage(nullptr, 0);
  label->setPixmap(loadImage(image));
  if (c->declaration.flags & ScrollBars) label->adjustSize();
}

// The label that shows an image control's picture or page.
static PageView* pageViewOf(QWidget* widget) {
  if (auto* area = qobject_cast<QScrollArea*>(widget)) widget = area->widget();
  return dynamic_cast<PageView*>(widget);
}

void QtWindow::setPageImage(int control, std::shared_ptr<const PageImages> pages, int page) {
  Control* c = find(control);
  if (!c || c->declaration.kind != ControlKind::Image) return;
  PageView* view = pageViewOf(c->widget);
  if (!view) return;
  c->declaration.icon.clear();
  auto drawn = std::dynamic_pointer_cast<const QtPageImages>(pages);
  view->setPage(drawn && page >= 1 && page <= drawn->count() ? std::move(drawn) : nullptr, page);
}

Rect QtWindow::imageSize(int control) const {
  const Control* c = find(control);
  if (!c || c->declaration.kind != ControlKind::Image) return {};
  if (const PageView* view = pageViewOf(c->widget); view && view->pages()) {
    // The page at the screen's resolution.
    const double dotsPerInch = client_->logicalDpiX();
    return Rect{0, 0, units(static_cast<int>(view->pages()->pageWidth() * dotsPerInch / 1000.0), true),
                units(static_cast<int>(view->pages()->pageHeight() * dotsPerInch / 1000.0), false)};
  }
  const QPixmap pixmap = loadImage(c->declaration.icon);
  return Rect{0, 0, units(pixmap.width(), true), units(pixmap.height(), false)};
}

Rect QtWindow::geometry(int control) const {
  if (control == 0) return Rect{0, 0, units(client_->width(), true), units(client_->height(), false)};
  const Control* c = find(control);
  if (!c || !c->widget) return {};
  const QRect r = c->widget->geometry();
  return Rect{units(r.x(), true), units(r.y(), false), units(r.width(), true), units(r.height(), false)};
}

void QtWindow::setGeometry(int control, const Rect& at) {
  Control* c = find(control);
  if (!c || !c->widget || c->declaration.kind == ControlKind::Tab || c->declaration.kind == ControlKind::ToolbarButton)
    return;
  moveRect(c->declaration.at, at);
  const Rect& r = c->declaration.at;
  // Keep the size the control has when the declaration left it natural.
  const QRect now = c->widget->geometry();
  c->widget->setGeometry(r.x >= 0 ? px(r.x, true) : now.x(), r.y >= 0 ? px(r.y, false) : now.y(),
                         r.width >= 0 ? px(r.width, true) : now.width(),
                         r.height >= 0 ? px(r.height, false) : now.height());
}

void QtWindow::setImageDisplaySize(int control, int width, int height) {
  Control* c = find(control);
  if (!c || c->declaration.kind != ControlKind::Image) return;
  QLabel* label = qobject_cast<QLabel*>(c->widget);
  if (auto* area = qobject_cast<QScrollArea*>(c->widget)) label = qobject_cast<QLabel*>(area->widget());
  if (!label) return;
  label->setScaledContents(true);
  label->setFixedSize(px(width, true), px(height, false));
}

void QtWindow::setMinimumSize(int width, int height) {
  client_->setMinimumSize(px(width, true), px(height, false));
}

Rect QtWindow::placement() const {
  const QPoint at = frame_->pos();
  return Rect{units(at.x(), true), units(at.y(), false), units(client_->width(), true), units(client_->height(), false)};
}

void QtWindow::place(const Rect& at) {
  if (at.width > 0 && at.height > 0) {
    const QSize wanted(px(at.width, true), px(at.height, false));
    const QSize minimum = client_->minimumSize();
    const QSize maximum = client_->maximumSize();
    const bool fixed = minimum == maximum;
    // The frame takes the size its fixed client area asks for; a resizable
    // window then gets its limits back, widened to take the new size.
    client_->setFixedSize(wanted);
    frame_->adjustSize();
    if (!fixed) {
      client_->setMinimumSize(minimum.boundedTo(wanted));
      client_->setMaximumSize(maximum.expandedTo(wanted));
    }
  }
  frame_->move(px(at.x, true), px(at.y, false));
}

std::vector<Rect> QtWindow::screens() const {
  // What the frame adds around the client area: borders, title, menu bar,
  // toolbar and status bar.
  const QSize around = frame_->frameGeometry().size() - client_->size();
  QList<QScreen*> all = QGuiApplication::screens();
  if (QScreen* primary = QGuiApplication::primaryScreen()) {
    all.removeAll(primary);
    all.prepend(primary);
  }
  std::vector<Rect> areas;
  for (const QScreen* screen : all) {
    const QRect area = screen->availableGeometry();
    areas.push_back(Rect{units(area.x(), true), units(area.y(), false), units(area.width() - around.width(), true),
                         units(area.height() - around.height(), false)});
  }
  return areas;
}

void QtWindow::setRange(int control, int low, int high) {
  Control* c = find(control);
  if (!c) return;
  c->declaration.low = low;
  c->declaration.high = high;
  Quiet quiet(quiet_);
  if (auto* spin = qobject_cast<QSpinBox*>(c->widget)) spin->setRange(low, high);
  if (auto* bar = qobject_cast<QProgressBar*>(c->widget)) bar->setRange(low, high);
}

void QtWindow::setStatusText(int zone, std::string_view text) {
  if (zone >= 1 && zone <= static_cast<int>(zones_.size())) zones_[zone - 1]->setText(toQt(text));
}

QMainWindow* QtWindow::frame() const { return frame_; }

QWidget* QtWindow::widgetOf(int control) const {
  const Control* c = find(control);
  return c ? c->widget : nullptr;
}

QAction* QtWindow::actionOf(int control) const {
  const Control* c = find(control);
  return c ? c->action : nullptr;
}

}  // namespace glimra::runtime
