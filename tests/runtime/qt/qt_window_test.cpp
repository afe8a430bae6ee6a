// SPDX-License-Identifier: GPL-3.0-or-later
// The Qt windows on the offscreen platform: controls by number, enabling by
// range, tabs and lists changed by the program without events, entry fields
// that refuse what their picture or Windows-1252 cannot take, and the nested
// event loop.
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QStatusBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTimer>
#include <QToolButton>
#include <cstdlib>
#include <optional>

#include "runtime/demo_window.h"
#include "runtime/qt/qt_application.h"
#include "runtime/qt/help_window.h"
#include "runtime/qt/qt_runtime.h"
#include "runtime/qt/qt_window.h"

namespace {

using namespace glimra::runtime;
using namespace demo;

class QtWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testApplication();
    model.fill(300);
    window.reset(static_cast<QtWindow*>(runtime.open(model.declaration()).release()));
    window->setListSource(GLMLIST, model.ALLQUEUE.source(&Entry::NAMEKEY));
    ASSERT_EQ(window->accept().kind, EventKind::OpenWindow);
  }

  // Every event waiting now, in order.
  std::vector<Event> drain() {
    settle();
    std::vector<Event> events;
    while (window->hasPendingEvent()) events.push_back(window->accept());
    return events;
  }

  QLineEdit* edit(int control) { return qobject_cast<QLineEdit*>(window->widgetOf(control)); }
  QTabWidget* sheet() { return qobject_cast<QTabWidget*>(window->widgetOf(SHEET)); }

  Model model;
  QtRuntime runtime;
  std::unique_ptr<QtWindow> window;
};

TEST_F(QtWindowTest, BuildsEveryDeclaredControlUnderItsNumber) {
  EXPECT_NE(qobject_cast<QTabWidget*>(window->widgetOf(SHEET)), nullptr);
  EXPECT_NE(qobject_cast<QListView*>(window->widgetOf(GLMLIST)), nullptr);
  EXPECT_NE(qobject_cast<QComboBox*>(window->widgetOf(FIRSTFIELD + 3)), nullptr);
  EXPECT_NE(edit(FIRSTFIELD + 1), nullptr);
  EXPECT_EQ(window->text(FIRSTFIELD), "Name:");
  EXPECT_EQ(window->text(GLMNEW), "&Add");
  EXPECT_EQ(window->actionOf(GLMNEW)->shortcut(), QKeySequence(QStringLiteral("Ctrl+A")));
  EXPECT_EQ(window->text(NEW), "Add New Ornament") << "a toolbar button's text is its tip";
  EXPECT_EQ(window->frame()->menuBar()->actions().size(), 3);
  for (int n = LETTER_A; n < LETTER_A + 26; ++n) ASSERT_TRUE(window->exists(n)) << n;
  EXPECT_FALSE(window->exists(999));

  // Positions are dialog units of the window's font, read back as given.
  const Rect list = window->geometry(GLMLIST);
  EXPECT_NEAR(list.x, 9, 1);
  EXPECT_NEAR(list.y, 21, 1);
  EXPECT_NEAR(list.width, 175, 1);
  EXPECT_NEAR(list.height, 193, 1);
  EXPECT_NEAR(window->geometry(0).width, 429, 1);
  window->setGeometry(GLMLIST, Rect{18, 42, -1, -1});
  EXPECT_NEAR(window->geometry(GLMLIST).x, 18, 1);
  EXPECT_NEAR(window->geometry(GLMLIST).width, 175, 1) << "-1 keeps the size";
}

TEST_F(QtWindowTest, EnablesDisablesHidesAndDestroysByRange) {
  window->disable(GLMNEW, GLMFIND);
  window->disable(NEW, UNDO);
  for (int n = GLMNEW; n <= GLMFIND; ++n) EXPECT_FALSE(window->actionOf(n)->isEnabled()) << n;
  for (int n = NEW; n <= UNDO; ++n) EXPECT_FALSE(window->widgetOf(n)->isEnabled()) << n;
  EXPECT_TRUE(window->widgetOf(FIND)->isEnabled());
  EXPECT_TRUE(window->actionOf(FILEEXIT)->isEnabled());
  window->enable(GLMSAVE);
  EXPECT_TRUE(window->actionOf(GLMSAVE)->isEnabled());
  EXPECT_TRUE(window->isEnabled(GLMSAVE));
  EXPECT_FALSE(window->isEnabled(GLMUNDO));

  // Disabled controls raise nothing.
  qobject_cast<QToolButton*>(window->widgetOf(NEW))->click();
  window->actionOf(GLMNEW)->trigger();
  EXPECT_TRUE(drain().empty());

  window->hide(LETTER, LETTER + 26);
  EXPECT_FALSE(window->widgetOf(LETTER_A + 3)->isVisible());
  window->show(LETTER, LETTER + 26);
  EXPECT_TRUE(window->widgetOf(LETTER_A + 3)->isVisible());

  window->destroy(ADDPIC, ADDPIC + 7);
  EXPECT_FALSE(window->exists(ADDPIC + 4));
  EXPECT_TRUE(window->exists(GLMLIST));
  window->destroy(ORNAMENT);  // a menu takes its items along
  EXPECT_FALSE(window->exists(GLMFIND));
  EXPECT_EQ(window->frame()->menuBar()->actions().size(), 2);
  window->destroy(LETTER);  // an option group takes its buttons along
  EXPECT_FALSE(window->exists(LETTER_A + 25));
  window->destroy(GLMNEW, GLMFIND);  // already gone: nothing happens
}

TEST_F(QtWindowTest, ListShowsItsSourceFieldAndSwitchesSource) {
  auto* list = qobject_cast<QListView*>(window->widgetOf(GLMLIST));
  ASSERT_EQ(list->model()->rowCount(), 300);
  EXPECT_EQ(list->model()->index(0, 0).data().toString(), QString::fromStdString(model.ALLQUEUE.peek(1)->NAMEKEY.str()));

  window->selectRow(GLMLIST, 5);
  EXPECT_EQ(window->choice(GLMLIST), 5);
  window->setListSource(GLMLIST, model.ALLQUEUE.source(&Entry::SERIESKEY));
  EXPECT_EQ(list->model()->index(0, 0).data().toString(),
            QString::fromStdString(model.ALLQUEUE.peek(1)->SERIESKEY.str()));

  // The program shrinks the list and redraws; the choice stays within it.
  window->selectRow(GLMLIST, 300);
  while (model.ALLQUEUE.count() > 10) {
    model.ALLQUEUE.get(model.ALLQUEUE.count());
    model.ALLQUEUE.deleteLastRead();
  }
  window->display(GLMLIST);
  EXPECT_EQ(list->model()->rowCount(), 10);
  EXPECT_EQ(window->choice(GLMLIST), 10);
  EXPECT_TRUE(drain().empty());

  list->setCurrentIndex(list->model()->index(2, 0));  // as a click on row 3
  const auto events = drain();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0], (Event{GLMLIST, EventKind::NewSelection}));
  EXPECT_EQ(window->choice(GLMLIST), 3);
}

TEST_F(QtWindowTest, EntryFieldRefusesBadInputAndKeepsTheStoredValue) {
  const int PURDATE = FIRSTFIELD + 21;
  const int NAME = FIRSTFIELD + 1;
  const int VALUE = FIRSTFIELD + 15;
  auto type = [&](int control, const QString& text) {
    edit(control)->setText(text);
    emit edit(control)->editingFinished();
  };
  auto pressEscape = [&](int control) {
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(edit(control), &escape);
  };
  auto* notice = window->frame()->findChild<QLabel*>(QStringLiteral("refusal"));

  type(PURDATE, QStringLiteral("1/2/24"));
  const std::string stored = model.GL.PURDATE.str();
  ASSERT_FALSE(stored.empty());
  EXPECT_EQ(edit(PURDATE)->text(), "01/02/24") << "shown back in the picture's form";
  EXPECT_EQ(drain(), (std::vector<Event>{{PURDATE, EventKind::Accepted}}));

  struct Case {
    int control;
    QString typed;
    QString afterEscape;
    QString named;  // the character the reason names, as typed
  } refused[] = {
      {PURDATE, QStringLiteral("13/45/24"), QStringLiteral("01/02/24"), QString()},
      {PURDATE, QStringLiteral("soon"), QStringLiteral("01/02/24"), QString()},
      {VALUE, QStringLiteral("12.345"), QString(), QString()},
      {NAME, QString::fromUtf8("Snowman \xE2\x98\x83"), QString(), QString::fromUtf8("\xE2\x98\x83")},  // not in Windows-1252
      {NAME, QString::fromUtf8("\xD0\x81lka"), QString(), QString::fromUtf8("\xD0\x81")},  // Cyrillic Yo
  };
  for (const auto& c : refused) {
    const Record before = model.GL;
    type(c.control, c.typed);
    EXPECT_EQ(std::memcmp(&before, &model.GL, sizeof before), 0) << c.typed.toStdString();
    EXPECT_EQ(edit(c.control)->text(), c.typed) << "what was typed stays to be mended";
    EXPECT_TRUE(edit(c.control)->property("refused").toBool()) << c.typed.toStdString();
    EXPECT_TRUE(notice->isVisible());
    EXPECT_TRUE(notice->text().startsWith(window->lastRefusal())) << notice->text().toStdString();
    EXPECT_TRUE(notice->text().contains(c.named)) << notice->text().toStdString();

    // Nothing acts on the form while the refused text stands.
    qobject_cast<QToolButton*>(window->widgetOf(SAVE))->click();
    auto* list = qobject_cast<QListView*>(window->widgetOf(GLMLIST));
    const int row = window->choice(GLMLIST);
    list->setCurrentIndex(list->model()->index(row + 1, 0));
    EXPECT_EQ(window->choice(GLMLIST), row) << "the row change is held back";
    EXPECT_TRUE(drain().empty()) << c.typed.toStdString();
    EXPECT_TRUE(notice->isVisible());

    pressEscape(c.control);
    EXPECT_EQ(edit(c.control)->text(), c.afterEscape) << c.typed.toStdString();
    EXPECT_FALSE(edit(c.control)->property("refused").toBool());
    EXPECT_FALSE(notice->isVisible());
  }
  EXPECT_TRUE(drain().empty()) << "a refused edit raises no Accepted";

  // A refused text mended by the user is stored and the marking goes.
  type(VALUE, QStringLiteral("12,5"));
  EXPECT_TRUE(notice->isVisible());
  type(VALUE, QStringLiteral("1234.5"));
  EXPECT_EQ(model.GL.VALUE.str(), std::string(13, ' ') + "1234.50");  // right-aligned, two decimals
  EXPECT_EQ(edit(VALUE)->text(), "$1,234.50");
  EXPECT_FALSE(notice->isVisible());
  EXPECT_FALSE(edit(VALUE)->property("refused").toBool());
  type(NAME, QString::fromUtf8("Cr\xC3\xA8me Star"));  // è is in Windows-1252
  EXPECT_EQ(model.GL.NAME.str(), "Cr\xE8me Star");
  EXPECT_EQ(drain(), (std::vector<Event>{{VALUE, EventKind::Accepted}, {NAME, EventKind::Accepted}}));
}

TEST_F(QtWindowTest, StoresATypedFieldBeforeTheEventThatFollowsIt) {
  const int NAME = FIRSTFIELD + 1;
  edit(NAME)->setText(QStringLiteral("Bell"));  // typed, field not left yet
  qobject_cast<QToolButton*>(window->widgetOf(SAVE))->click();
  EXPECT_EQ(model.GL.NAME.str(), "Bell");
  EXPECT_EQ(drain(), (std::vector<Event>{{NAME, EventKind::Accepted}, {SAVE, EventKind::Accepted}}));

  model.GL.NAME = "Dove";
  window->display();
  EXPECT_EQ(edit(NAME)->text(), "Dove");
  window->select(NAME);
  EXPECT_EQ(drain(), (std::vector<Event>{{NAME, EventKind::Selected}}));
  window->selectRange(NAME, 2, 3);
  EXPECT_EQ(edit(NAME)->selectedText(), "ov");
  EXPECT_TRUE(drain().empty()) << "the field has the focus already";
}

TEST_F(QtWindowTest, AcceptWaitsInANestedLoopForUserInputTimerAndClose) {
  QTimer::singleShot(10, [&] { window->actionOf(GLMFIND)->trigger(); });
  EXPECT_EQ(window->accept(), (Event{GLMFIND, EventKind::Accepted}));

  window->setTimer(1);
  EXPECT_EQ(window->accept().kind, EventKind::Timer);
  window->setTimer(0);

  window->alertKey(GLMLIST, Key::Insert);
  QTimer::singleShot(10, [&] {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Insert, Qt::NoModifier);
    QCoreApplication::sendEvent(window->widgetOf(GLMLIST), &press);
  });
  EXPECT_EQ(window->accept(), (Event{GLMLIST, EventKind::AlertKey, Key::Insert}));

  window->alertKey(0, Key::MouseLeft);  // a click anywhere, as on a splash
  QTimer::singleShot(10, [&] {
    QWidget* target = window->widgetOf(PANELUSE)->parentWidget();
    QMouseEvent click(QEvent::MouseButtonPress, QPointF(5, 5), target->mapToGlobal(QPointF(5, 5)), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &click);
  });
  EXPECT_EQ(window->accept(), (Event{0, EventKind::AlertKey, Key::MouseLeft}));

  qobject_cast<QAbstractButton*>(window->widgetOf(LETTER_A + 2))->click();
  EXPECT_EQ(window->accept(), (Event{LETTER, EventKind::Accepted}));
  EXPECT_EQ(model.LETTERVALUE, 3);
  model.LETTERVALUE = 30;  // outside A-Z: no letter shown
  window->display(LETTER);
  EXPECT_EQ(window->choice(LETTER), 0);

  // Closing by the user: the window stays on the screen (a question may be
  // asked in front of it) and the procedure may refuse the close.
  QTimer::singleShot(10, [&] { window->frame()->close(); });
  EXPECT_TRUE(window->accept().closes());
  EXPECT_TRUE(window->frame()->isVisible());
  EXPECT_TRUE(window->keepOpen());
  qobject_cast<QAbstractButton*>(window->widgetOf(LETTER_A + 4))->click();
  EXPECT_EQ(window->accept(), (Event{LETTER, EventKind::Accepted})) << "the loop goes on";
  QTimer::singleShot(10, [&] { window->frame()->close(); });
  EXPECT_TRUE(window->accept().closes());
  EXPECT_TRUE(window->accept().closes());
}

TEST(QtRuntimeTest, TextBoxEditsExactlyItsFieldWithStoredLineBreaks) {
  testApplication();
  QtRuntime runtime;
  FixedText<12> DESCRIPTION{};
  DESCRIPTION = "one\r\ntwo";
  WindowDeclaration d;
  d.title = "Review";
  d.at = {-1, -1, 120, 60};
  ControlDeclaration box{1, ControlKind::TextBox, "", {2, 2, 100, 40}, Binding::to(DESCRIPTION)};
  box.counter = 2;
  d.controls = {box, {2, ControlKind::Text, "", {2, 44, 100, 10}}};
  auto window = runtime.open(d);
  auto& qt = static_cast<QtWindow&>(*window);
  auto* edit = qobject_cast<QPlainTextEdit*>(qt.widgetOf(1));
  auto* counter = qobject_cast<QLabel*>(qt.widgetOf(2));
  EXPECT_EQ(edit->toPlainText(), "one\ntwo");
  EXPECT_EQ(counter->text(), "8 of 12 characters used") << "a line break takes two";
  // The box stops taking text at the field's length: a paste that would pass
  // it is cut to what fits (19 stored characters, 12 taken) ...
  QApplication::clipboard()->setText(QStringLiteral("first\nsecond line"));
  edit->selectAll();
  edit->paste();
  EXPECT_EQ(edit->toPlainText(), "first\nsecon");
  EXPECT_EQ(counter->text(), "12 of 12 characters used");
  // ... and a character typed at the limit is not taken.
  edit->moveCursor(QTextCursor::End);
  edit->insertPlainText(QStringLiteral("d"));
  EXPECT_EQ(edit->toPlainText(), "first\nsecon");
  EXPECT_TRUE(qt.lastRefusal().isEmpty()) << "nothing to refuse: the text fits";
  QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
  QCoreApplication::sendEvent(edit->viewport(), &out);
  EXPECT_EQ(DESCRIPTION.raw(), std::string("first\r\nsecon"));
  edit->setPlainText(QStringLiteral("a\nb"));
  QCoreApplication::sendEvent(edit->viewport(), &out);
  EXPECT_EQ(DESCRIPTION.raw(), std::string("a\r\nb        "));
  EXPECT_EQ(counter->text(), "4 of 12 characters used");
}

TEST(QtRuntimeTest, ControlsMadeAtRunTimeSpinBoxesStatusZonesAndPopUps) {
  testApplication();
  QtRuntime runtime;
  std::int32_t CURRENTPAGE = 1;
  WindowDeclaration d;
  d.title = "Report Preview";
  d.at = {-1, -1, 300, 200};
  d.flags = CentreOnScreen | Resizable;
  d.statusZones = {60, 80, 80};
  ControlDeclaration page{20, ControlKind::SpinBox, "", {85, 3, 33, 12}, Binding::to(CURRENTPAGE), "n4"};
  page.low = 1;
  page.high = 10;
  d.controls = {page};
  auto window = runtime.open(d);
  auto& qt = static_cast<QtWindow&>(*window);
  EXPECT_EQ(window->accept().kind, EventKind::OpenWindow);

  // A value typed outside the range takes the nearer bound.
  auto* spin = qobject_cast<QSpinBox*>(qt.widgetOf(20));
  for (const auto& [typed, expected] : {std::pair{"99", 10}, std::pair{"0", 1}, std::pair{"4", 4}}) {
    spin->selectAll();
    for (const char* key = typed; *key; ++key) {
      QKeyEvent press(QEvent::KeyPress, Qt::Key_0 + (*key - '0'), Qt::NoModifier, QString(QLatin1Char(*key)));
      QCoreApplication::sendEvent(spin, &press);
    }
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QCoreApplication::sendEvent(spin, &enter);
    settle();
    EXPECT_EQ(CURRENTPAGE, expected) << typed;
    EXPECT_EQ(spin->text().toInt(), expected) << typed;
  }
  std::vector<Event> events;
  while (qt.hasPendingEvent()) events.push_back(window->accept());
  EXPECT_EQ(events, (std::vector<Event>(3, Event{20, EventKind::NewSelection})));

  ControlDeclaration frame{104, ControlKind::Box, "", {1, 20, 40, 50}};
  frame.flags = Clickable;
  ControlDeclaration zoomed{102, ControlKind::Image, "", {0, 20, 300, 150}};
  zoomed.flags = ScrollBars | Clickable;
  zoomed.icon = ":/icons/find.svg";
  window->create(frame);
  window->create(zoomed);
  EXPECT_GT(window->imageSize(102).width, 0);
  window->setImageDisplaySize(102, 200, 100);
  auto* area = qobject_cast<QScrollArea*>(qt.widgetOf(102));
  ASSERT_NE(area, nullptr);
  EXPECT_GT(area->widget()->width(), area->widget()->height());
  QMouseEvent click(QEvent::MouseButtonPress, QPointF(2, 2), QPointF(2, 2), Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
  QCoreApplication::sendEvent(qt.widgetOf(104), &click);
  EXPECT_EQ(window->accept(), (Event{104, EventKind::Accepted}));
  window->destroy(102, 104);
  EXPECT_FALSE(window->exists(104));

  window->setStatusText(2, "Pages 1-4 of 10");
  EXPECT_EQ(qt.frame()->statusBar()->findChildren<QLabel*>().at(1)->text(), "Pages 1-4 of 10");

  qt.frame()->resize(qt.frame()->width() + 50, qt.frame()->height());
  EXPECT_EQ(window->accept().kind, EventKind::Resized);

  QTimer::singleShot(30, [] {
    QMenu* menu = nullptr;
    for (QWidget* top : QApplication::topLevelWidgets())
      if (auto* m = qobject_cast<QMenu*>(top); m && m->isVisible()) menu = m;
    ASSERT_NE(menu, nullptr);
    const auto actions = menu->actions();
    EXPECT_EQ(actions.size(), 8);  // seven items and a separator
    EXPECT_TRUE(actions.value(3) && actions.value(3)->isChecked()) << "the item marked with +";
    menu->setActiveAction(actions.value(4));  // "75%": the fourth item without separators
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QCoreApplication::sendEvent(menu, &enter);
  });
  EXPECT_EQ(runtime.popupMenu("-No Zoom|-|-Page Width|+50%|-75%|-100%|-200%|-300%"), 4);
}

TEST(QtRuntimeTest, MessageBoxReturnsTheButtonPressedAndHaltTakesTheExitPath) {
  testApplication();
  QtRuntime runtime;
  // Presses a button of the box once it is shown; an empty choice closes it.
  auto answer = [](std::optional<QMessageBox::StandardButton> button) {
    QTimer::singleShot(30, [button] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      ASSERT_NE(box, nullptr);
      if (button)
        box->button(*button)->click();
      else
        box->reject();
    });
  };
  struct Case {
    unsigned buttons;
    std::optional<QMessageBox::StandardButton> press;
    Button expected;
  } cases[] = {
      {Yes | No, QMessageBox::No, No},
      {Yes | No, std::nullopt, No},
      {Ok | Cancel, std::nullopt, Cancel},
      {Ok, QMessageBox::Ok, Ok},
  };
  for (const auto& c : cases) {
    answer(c.press);
    EXPECT_EQ(runtime.message({"Rebuild the key?", "Invalid Key", MessageIcon::Exclamation, c.buttons, Yes}), c.expected);
  }

  std::vector<int> exits;
  runtime.setExitPath([&](int code) { exits.push_back(code); });
  QString caption;
  QTimer::singleShot(30, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    caption = box->windowTitle();
    box->button(QMessageBox::Ok)->click();
  });
  runtime.halt("Invalid File!");
  EXPECT_EQ(caption, "Halt");
  EXPECT_EQ(exits, (std::vector<int>{0}));
}

TEST(QtRuntimeTest, EnterInAFieldStoresItAndPressesTheDefaultButton) {
  testApplication();
  QtRuntime runtime;
  FixedText<20> FINDSTRING{};
  FINDSTRING.clear();
  std::uint8_t IGNORECASE = 0;
  enum { FINDWHAT = 2, IGNORE = 3, OK = 4, CANCEL = 5 };
  WindowDeclaration d;
  d.title = "Find Matching Entries";
  d.at = {-1, -1, 160, 60};
  ControlDeclaration ok{OK, ControlKind::Button, "&OK", {60, 40, 40, 14}};
  ok.flags = DefaultButton;
  d.controls = {
      {1, ControlKind::Prompt, "&Find what:", {4, 6, 40, 10}},
      {FINDWHAT, ControlKind::Entry, "", {48, 4, 100, 12}, Binding::to(FINDSTRING), "s20"},
      {IGNORE, ControlKind::Check, "&Ignore Upper/Lower Case", {48, 22, 100, 10}, Binding::to(IGNORECASE)},
      ok,
      {CANCEL, ControlKind::Button, "&Cancel", {108, 40, 40, 14}},
  };
  auto window = runtime.open(d);
  auto& qt = static_cast<QtWindow&>(*window);
  EXPECT_EQ(window->accept().kind, EventKind::OpenWindow);
  auto* edit = qobject_cast<QLineEdit*>(qt.widgetOf(FINDWHAT));
  EXPECT_EQ(edit->maxLength(), 20);
  EXPECT_EQ(qobject_cast<QLabel*>(qt.widgetOf(1))->buddy(), edit) << "the prompt's mnemonic focuses the field";
  qobject_cast<QCheckBox*>(qt.widgetOf(IGNORE))->click();
  EXPECT_EQ(IGNORECASE, 1);
  edit->setText(QStringLiteral("star"));
  QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
  QCoreApplication::sendEvent(edit, &enter);
  EXPECT_EQ(FINDSTRING.str(), "star");
  std::vector<Event> events;
  while (qt.hasPendingEvent()) events.push_back(window->accept());
  EXPECT_EQ(events, (std::vector<Event>{{IGNORE, EventKind::Accepted}, {FINDWHAT, EventKind::Accepted}, {OK, EventKind::Accepted}}));
}

TEST(QtRuntimeTest, FileFiltersMatchEitherCase) {
  struct Case {
    const char* filters;
    const char* qt;
  } cases[] = {
      {"Glimra|*.GLM|ALL|*.*", "Glimra (*.GLM *.glm);;ALL (*.*)"},
      {"Pictures|*.png;*.JPG", "Pictures (*.png *.JPG *.jpg)"},
  };
  for (const auto& c : cases) EXPECT_EQ(QtRuntime::nameFilters(c.filters).toStdString(), c.qt);
}

TEST(QtRuntimeTest, HelpSearchFindsPagesWithAllTheWords) {
  testApplication();
  QTemporaryDir dir;
  auto write = [&](const char* name, const char* html) {
    QFile f(QDir(dir.path()).filePath(QString::fromLatin1(name)));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(html);
  };
  write("index.html", "<html><head><title>Contents</title></head><body><a href='adding.html'>Adding</a></body></html>");
  write("adding.html", "<html><head><title>Adding</title></head><body>Press <b>Add</b> to add an Ornament.</body></html>");
  write("printing.html", "<html><body>Reports print an ornament list.</body></html>");
  write("tree.html", "<html><head><title>Ornaments</title></head><body>An ornament on the tree.</body></html>");
  const QString name = QApplication::applicationName();
  QApplication::setApplicationName(QStringLiteral("Glimra"));
  HelpWindow help(dir.path());
  QApplication::setApplicationName(name);
  EXPECT_EQ(help.windowTitle(), "Glimra Help");
  EXPECT_FALSE(help.isModal()) << "read beside the work";
  // The most relevant first: a title that names the word, then equal pages in
  // file-name order.
  EXPECT_EQ(help.search(QStringLiteral("ORNAMENT")), (QStringList{"tree.html", "adding.html", "printing.html"}));
  EXPECT_EQ(help.search(QStringLiteral("add ornament")), (QStringList{"adding.html"}));
  EXPECT_TRUE(help.search(QStringLiteral("missing")).isEmpty());
  help.showContents();
  EXPECT_TRUE(help.browser()->toPlainText().contains(QStringLiteral("Adding")));
}

// Help comes up beside the window it belongs to, never over its form.
TEST(QtRuntimeTest, HelpStandsBesideItsWindow) {
  const QRect screen(0, 0, 1920, 1080);
  const QSize help(640, 520);
  const struct {
    const char* what;
    QRect owner;
    QRect expected;
  } cases[] = {
      {"room on the right", {100, 100, 900, 600}, {1004, 100, 640, 600}},
      {"room on the left only", {900, 50, 900, 600}, {256, 50, 640, 600}},
      {"a little room on either side: the larger", {500, 0, 1000, 500}, {0, 0, 496, 520}},
      {"maximised: over the list at the left edge", {0, 0, 1920, 1080}, {0, 0, 640, 1080}},
      {"low on the screen: moved up", {100, 800, 900, 400}, {1004, 560, 640, 520}},
  };
  for (const auto& c : cases) {
    const QRect at = HelpWindow::besideRect(c.owner, help, screen);
    EXPECT_EQ(at, c.expected) << c.what;
    EXPECT_TRUE(screen.contains(at)) << c.what;
  }
  // A smaller screen with little room either side: over the list only.
  EXPECT_EQ(HelpWindow::besideRect({95, 150, 1090, 680}, help, QRect(0, 0, 1280, 1024)), QRect(0, 150, 531, 680));

  // On the screen: the help window of a window at the left does not cover it.
  testApplication();
  QTemporaryDir dir;
  QWidget owner;
  owner.setGeometry(0, 0, 300, 300);
  owner.show();
  auto* shown = new HelpWindow(dir.path(), &owner);
  shown->setWindowFlags(shown->windowFlags() | Qt::Window);
  shown->resize(320, 240);
  shown->showContents();
  EXPECT_FALSE(shown->frameGeometry().intersects(owner.frameGeometry()))
      << shown->frameGeometry().x() << "," << shown->frameGeometry().width();
}

}  // namespace
