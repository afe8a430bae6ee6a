// SPDX-License-Identifier: GPL-3.0-or-later
// Runs the program on the real toolkit and acts as a user would, with real
// key and mouse events (QTest): a step runs once the main window waits for
// the user, or, for a step that answers one, once a message box, file
// dialog or wait notice is up. The splash is clicked away. When the steps are used up the
// main window is closed; a dialog nobody answers fails the test.
// GLIMRA_SCREENSHOT_DIR=dir keeps the pictures the steps take.
#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QListView>
#include <QMainWindow>
#include <QMessageBox>
#include <QScreen>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <deque>
#include <functional>

#include "catalogue/catalogue_fixture.h"
#include "runtime/qt/qt_runtime.h"
#include "runtime/qt/qt_window.h"

namespace catalogue_test {

using glimra::runtime::QtWindow;

// A small collection the real-widget tests share: rows on the ALL tab are
// Angel (Heavenly), Bell (Alpine), Snowman, Star (Winter); tabs Glass, Metal, Wood.
inline const std::vector<Ornament> TREE = {{"Angel", "Heavenly", "Glass"},
                                           {"Bell", "Alpine", "Metal"},
                                           {"Star", "Winter", "Glass"},
                                           {"Snowman", "", "Wood"}};

// The one application object of the test program, named as the program
// names itself.
inline QApplication& qtApplication() {
  static QApplication* app = [] {
    if (auto* existing = qobject_cast<QApplication*>(QCoreApplication::instance())) return existing;
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM") && !qEnvironmentVariableIsSet("DISPLAY"))
      qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "catalogue_qt_tests";
    static char* argv[] = {name, nullptr};
    return new QApplication(argc, argv);
  }();
  QApplication::setApplicationName(QStringLiteral("Glimra"));
  return *app;
}

// With GLIMRA_SCREENSHOT_DIR set, saves a picture of the widget there.
inline void keepPicture(QWidget* widget, const QString& name) {
  const QString dir = qEnvironmentVariable("GLIMRA_SCREENSHOT_DIR");
  if (widget && !dir.isEmpty()) widget->window()->grab().save(dir + "/" + name);
}

// With GLIMRA_SCREENSHOT_DIR set, saves a picture of the whole screen there
// (a dialog over its window, under a real X server).
inline void keepScreen(const QString& name) {
  const QString dir = qEnvironmentVariable("GLIMRA_SCREENSHOT_DIR");
  if (!dir.isEmpty()) QGuiApplication::primaryScreen()->grabWindow(0).save(dir + "/" + name);
}

// The top-level window shown under `title` (a window the program opened
// over the main one), or null.
inline QWidget* shownWindow(const QString& title) {
  for (QWidget* top : QApplication::topLevelWidgets())
    if (top->isVisible() && top->windowTitle() == title) return top;
  return nullptr;
}

// Once the find dialog is up: types `text`, ticks the case box when asked,
// and presses OK (sets *answered).
inline void answerFindDialog(const QString& text, bool ignoreCase, bool* answered) {
  QTimer::singleShot(300, [=] {
    QWidget* dialog = shownWindow("Find Matching Entries");
    if (!dialog) return;
    auto* entry = dialog->findChild<QLineEdit*>();
    auto* check = dialog->findChild<QCheckBox*>();
    if (!entry || !check) return;
    QTest::mouseClick(entry, Qt::LeftButton, {}, QPoint(4, 4));
    entry->selectAll();
    for (const QChar ch : text) QTest::keyClick(entry, ch.toLatin1());
    if (check->isChecked() != ignoreCase) QTest::mouseClick(check, Qt::LeftButton, {}, QPoint(6, check->height() / 2));
    keepScreen("find-dialog-screen.png");
    keepPicture(dialog, "find-dialog.png");
    for (auto* button : dialog->findChildren<QAbstractButton*>())
      if (button->text() == "&OK") {
        *answered = true;
        QTest::mouseClick(button, Qt::LeftButton);
      }
  });
}

// What the user does, on the main window's widgets.
class User {
 public:
  explicit User(QtWindow& window) : window_(window) {}

  QWidget* widget(int control) const { return window_.widgetOf(control); }
  QLineEdit* line(int control) const {
    QWidget* w = widget(control);
    if (auto* combo = qobject_cast<QComboBox*>(w)) return combo->lineEdit();
    return qobject_cast<QLineEdit*>(w);
  }
  QListView* list() const { return qobject_cast<QListView*>(widget(glimra::catalogue::control::GLMLIST)); }

  QStringList rows() const {
    QStringList texts;
    for (int row = 0; row < list()->model()->rowCount(); ++row) texts << list()->model()->index(row, 0).data().toString();
    return texts;
  }
  // Clicks the row of the ornament `name` ("name" or "name (series)").
  void clickRow(const QString& name) {
    const QStringList texts = rows();
    int row = -1;
    for (int i = 0; i < texts.size() && row < 0; ++i)
      if (texts[i] == name || texts[i].startsWith(name + " (")) row = i;
    const QString& text = name;
    ASSERT_GE(row, 0) << "no row " << text.toStdString() << " in " << rows().join(" | ").toStdString();
    const QModelIndex index = list()->model()->index(row, 0);
    list()->scrollTo(index);
    QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, list()->visualRect(index).center());
  }
  // Clicks into a field.
  void clickInto(int control) { QTest::mouseClick(line(control), Qt::LeftButton, {}, QPoint(4, 4)); }
  // Clears the field that has the focus with the keyboard, then types.
  void replaceText(int control, const QString& text) {
    QLineEdit* edit = line(control);
    QTest::keyClick(edit, Qt::Key_End);
    QTest::keyClick(edit, Qt::Key_Home, Qt::ShiftModifier);
    QTest::keyClick(edit, Qt::Key_Delete);
    type(control, text);
  }
  // Types key by key into a field (accented letters as a keyboard layout
  // that has them sends them).
  void type(int control, const QString& text) {
    QLineEdit* edit = line(control);
    for (const QChar ch : text) {
      if (ch.unicode() < 0x80)
        QTest::keyClick(edit, ch.toLatin1());
      else
        QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QString(ch), Qt::NoModifier);
    }
  }
  void press(Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
    QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : window_.frame(), key, modifiers);
  }
  void clickButton(int control) { QTest::mouseClick(widget(control), Qt::LeftButton); }
  void chooseMenu(int control) { window_.actionOf(control)->trigger(); }
  void clickTab(const QString& title) {
    auto* sheet = qobject_cast<QTabWidget*>(widget(glimra::catalogue::control::SHEET));
    for (int i = 0; i < sheet->count(); ++i)
      if (sheet->tabText(i) == title) {
        QTest::mouseClick(sheet->tabBar(), Qt::LeftButton, {}, sheet->tabBar()->tabRect(i).center());
        return;
      }
    ADD_FAILURE() << "no tab " << title.toStdString();
  }
  // Opens the category drop list and clicks the entry `text`.
  void pickCategory(const QString& text) {
    auto* combo = qobject_cast<QComboBox*>(widget(glimra::catalogue::control::GL_CATEGORY));
    const int row = combo->findText(text);
    ASSERT_GE(row, 0) << text.toStdString();
    combo->showPopup();
    QAbstractItemView* view = combo->view();
    QTest::qWait(50);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(view->model()->index(row, 0)).center());
  }
  QString shown(int control) const { return line(control)->text(); }

 private:
  QtWindow& window_;
};

class QtSession {
 public:
  QtSession() : shared(runtime), program(shared) { qtApplication(); }

  glimra::runtime::QtRuntime runtime;
  glimra::program::Program shared;
  DisplayGlimra program;
  QtWindow* window = nullptr;

  // A step taken when the main window waits for the user.
  QtSession& act(std::function<void(User&)> step) {
    steps_.push_back({std::move(step), nullptr});
    return *this;
  }
  // A step taken when a message box is up.
  QtSession& answer(std::function<void(QMessageBox&)> step) {
    steps_.push_back({nullptr, [step](QWidget& w) {
                        auto* box = qobject_cast<QMessageBox*>(&w);
                        ASSERT_NE(box, nullptr) << "a file dialog is up, not a message box";
                        step(*box);
                      }});
    return *this;
  }
  // A step taken when a file dialog is up: chooses `path` (UTF-8).
  QtSession& chooseFile(const std::string& path) {
    steps_.push_back({nullptr, [path](QWidget& w) {
                        auto* dialog = qobject_cast<QFileDialog*>(&w);
                        ASSERT_NE(dialog, nullptr) << "a message box is up, not a file dialog";
                        // Typed into the name line, then Enter, as a user does.
                        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
                        ASSERT_NE(name, nullptr);
                        // The dialog fills in its starting file once its folder has
                        // loaded; the user types after that.
                        QTest::qWait(200);
                        name->setText(QString::fromStdString(path));
                        QTest::keyClick(name, Qt::Key_Return);
                        if (dialog->isVisible())
                          ADD_FAILURE() << "the file dialog stayed open with " << path;
                        EXPECT_EQ(dialog->selectedFiles().value(0).toStdString(), path);
                      }});
    return *this;
  }
  // A step taken when a file dialog is up, with the dialog itself.
  QtSession& onFileDialog(std::function<void(QFileDialog&)> step) {
    steps_.push_back({nullptr, [step](QWidget& w) {
                        auto* dialog = qobject_cast<QFileDialog*>(&w);
                        ASSERT_NE(dialog, nullptr) << "a message box is up, not a file dialog";
                        step(*dialog);
                      }});
    return *this;
  }
  // A step taken when the notice of a wait for another program is up.
  QtSession& onWaitNotice(std::function<void(QDialog&)> step) {
    steps_.push_back({nullptr, [step](QWidget& w) {
                        ASSERT_EQ(w.objectName(), "waitNotice") << "another dialog is up";
                        step(static_cast<QDialog&>(w));
                      }});
    return *this;
  }
  QtSession& cancelFileDialog() {
    steps_.push_back({nullptr, [](QWidget& w) { static_cast<QDialog&>(w).reject(); }});
    return *this;
  }

  void run() {
    program.onWindowOpened = [this](glimra::runtime::Window& opened) {
      window = &static_cast<QtWindow&>(opened);
      user_ = std::make_unique<User>(*window);
      auto* ticker = new QTimer(window->frame());
      QObject::connect(ticker, &QTimer::timeout, [this] { tick(); });
      ticker->start(15);
      clock_.start();
    };
    glimra::catalogue::runGlimra(runtime, program);
    EXPECT_TRUE(steps_.empty()) << steps_.size() << " steps not taken";
  }

 private:
  struct Step {
    std::function<void(User&)> act;
    std::function<void(QWidget&)> onDialog;
  };

  QWidget* dialogUp() const {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal && modal != window->frame() &&
        (qobject_cast<QMessageBox*>(modal) || qobject_cast<QFileDialog*>(modal) ||
         modal->objectName() == QStringLiteral("waitNotice")))
      return modal;
    return nullptr;
  }

  void tick() {
    if (busy_) return;
    busy_ = true;
    takeStep();
    busy_ = false;
  }

  void takeStep() {
    for (QWidget* top : QApplication::topLevelWidgets())
      if (top->isVisible() && top->windowTitle() == QString::fromLatin1(glimra::catalogue::SPLASH_TITLE)) {
        QTest::mouseClick(top, Qt::LeftButton, {}, QPoint(10, 10));
        return;
      }
    QWidget* dialog = dialogUp();
    if (clock_.elapsed() > 30000) {  // a step that never came: end the run
      ADD_FAILURE() << "the session did not finish; " << steps_.size() << " steps left";
      steps_.clear();
      if (dialog) return closeDialog(*dialog);
      window->close();
      return;
    }
    if (steps_.empty()) {
      if (dialog) {
        ADD_FAILURE() << "unexpected dialog: " << dialog->windowTitle().toStdString() << ": "
                      << (qobject_cast<QMessageBox*>(dialog) ? qobject_cast<QMessageBox*>(dialog)->text().toStdString()
                                                              : std::string());
        return closeDialog(*dialog);
      }
      if (window->waitsForUser()) window->frame()->close();
      return;
    }
    Step& next = steps_.front();
    if (next.onDialog) {
      if (!dialog) return;
      auto run = std::move(next.onDialog);
      steps_.pop_front();
      run(*dialog);
      return;
    }
    if (dialog || !window->waitsForUser()) return;
    if (!window->frame()->isActiveWindow()) {
      window->frame()->activateWindow();
      return;
    }
    auto run = std::move(next.act);
    steps_.pop_front();
    run(*user_);
  }

  // Answers a dialog nobody expected: No (so that closing goes on) or cancel.
  static void closeDialog(QWidget& dialog) {
    if (auto* box = qobject_cast<QMessageBox*>(&dialog); box && box->button(QMessageBox::No))
      return box->button(QMessageBox::No)->click();
    static_cast<QDialog&>(dialog).reject();
  }

  std::deque<Step> steps_;
  std::unique_ptr<User> user_;
  QElapsedTimer clock_;
  bool busy_ = false;
};

}  // namespace catalogue_test
