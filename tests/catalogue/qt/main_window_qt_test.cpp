// SPDX-License-Identifier: GPL-3.0-or-later
// The main window on the real toolkit (Qt's offscreen platform when there is
// no display): it opens the remembered file, shows its list, tabs, toolbar and
// form, the letter bar jumps, the splash and the about box come and go, and an
// edit typed into the form is saved and undone. GLIMRA_SCREENSHOT_DIR=dir
// keeps pictures of them.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QKeyEvent>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMainWindow>
#include <QMouseEvent>
#include <QTabWidget>
#include <QTimer>

#include "catalogue/catalogue_fixture.h"
#include "catalogue/qt/qt_session.h"
#include "glimra_version.h"
#include "runtime/qt/qt_runtime.h"
#include "runtime/qt/qt_window.h"

namespace catalogue_test {
namespace {

QApplication& application() { return qtApplication(); }

QWidget* shownWindow(const char* title) {
  for (QWidget* top : QApplication::topLevelWidgets())
    if (top->isVisible() && top->windowTitle() == QString::fromLatin1(title)) return top;
  return nullptr;
}

// Clicks the splash window away, as a user would.
bool clickSplash() {
  QWidget* splash = shownWindow(glimra::catalogue::SPLASH_TITLE);
  if (!splash) return false;
  keepPicture(splash, "splash.png");
  QMouseEvent press(QEvent::MouseButtonPress, QPointF(10, 10), splash->mapToGlobal(QPointF(10, 10)), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(splash, &press);
  return true;
}

TEST_F(CatalogueTest, MainWindowOnTheRealToolkit) {
  application();
  writeCollection(path("Tree.GLM"), {{"Star", "Winter", "Glass"}, {"Bell", "Alpine", "Metal"}, {"Snowman", "", "Wood"}});
  remember(path("Tree.GLM"));

  glimra::runtime::QtRuntime runtime;
  glimra::program::Program shared(runtime);
  DisplayGlimra program(shared);
  int rows = 0;
  QStringList tabs;
  QString firstName, afterJump, caption;
  QStringList toolbarTips, aboutTexts;
  bool nameEditable = false, saveEnabled = true, painted = false, splashShown = false, aboutShown = false, aboutClosed = false;
  program.onWindowOpened = [&](glimra::runtime::Window& window) {
    auto& qt = static_cast<glimra::runtime::QtWindow&>(window);
    QTimer::singleShot(200, qt.frame(), [&] { splashShown = clickSplash(); });
    QTimer::singleShot(600, qt.frame(), [&] {
      auto* list = qobject_cast<QListView*>(qt.widgetOf(control::GLMLIST));
      auto* sheet = qobject_cast<QTabWidget*>(qt.widgetOf(control::SHEET));
      auto* name = qobject_cast<QLineEdit*>(qt.widgetOf(control::GL_NAME));
      ASSERT_TRUE(list && sheet && name);
      rows = list->model()->rowCount();
      for (int i = 0; i < sheet->count(); ++i) tabs << sheet->tabText(i);
      firstName = name->text();
      nameEditable = !name->isReadOnly();
      for (int button = control::NEW; button <= control::UNDO; ++button)
        toolbarTips << (qt.widgetOf(button) ? qt.widgetOf(button)->toolTip() : QString("<none>"));
      saveEnabled = qt.widgetOf(control::SAVE)->isEnabled();
      caption = qt.frame()->windowTitle();
      painted = !qt.frame()->grab().isNull();
      qobject_cast<QAbstractButton*>(qt.widgetOf(control::S))->click();
    });
    QTimer::singleShot(800, qt.frame(), [&] {
      afterJump = qobject_cast<QLineEdit*>(qt.widgetOf(control::GL_NAME))->text();
      qt.actionOf(control::HELPABOUT)->trigger();
    });
    QTimer::singleShot(1100, qt.frame(), [&] {
      QWidget* about = shownWindow(glimra::catalogue::ABOUT_TITLE);
      if (!about) return;
      aboutShown = true;
      keepPicture(about, "about.png");
      for (auto* label : about->findChildren<QLabel*>()) aboutTexts << label->text();
      for (auto* button : about->findChildren<QAbstractButton*>())
        if (button->text() == "OK") button->click();
    });
    QTimer::singleShot(1400, qt.frame(), [&] {
      aboutClosed = aboutShown && !shownWindow(glimra::catalogue::ABOUT_TITLE);
      window.close();
    });
  };
  glimra::catalogue::runGlimra(runtime, program);

  EXPECT_TRUE(splashShown);
  EXPECT_TRUE(aboutShown);
  EXPECT_TRUE(aboutClosed);
  // The about box names the version set in CMakeLists.txt and the license.
  EXPECT_TRUE(aboutTexts.contains(QString("Ornament catalogue, version ") + glimra::PROGRAM_VERSION)) << aboutTexts.join("|").toStdString();
  EXPECT_TRUE(aboutTexts.contains(glimra::catalogue::ABOUT_LICENSE_TEXT));
  EXPECT_EQ(rows, 3);
  EXPECT_EQ(tabs, (QStringList{"ALL", "Glass", "Metal", "Wood"}));
  EXPECT_EQ(firstName, "Bell");
  EXPECT_TRUE(nameEditable);
  EXPECT_EQ(toolbarTips, (QStringList{"Add New Ornament", "Create Duplicate Ornament", "Delete Ornament",
                                      "Save Ornament Contents", "Undo Last Operation"}));
  EXPECT_FALSE(saveEnabled);  // nothing entered yet
  EXPECT_TRUE(caption.endsWith("(" + QString::fromStdString(path("Tree.GLM").string()) + ")"));
  EXPECT_TRUE(painted);
  EXPECT_EQ(afterJump, "Snowman");
  EXPECT_FALSE(program.GLIMRA.isOpen());
}

// Types text into a field key by key, as a user would.
void typeInto(QWidget* field, const QString& text) {
  for (const QChar ch : text) {
    QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(ch));
    QApplication::sendEvent(field, &press);
  }
}

TEST_F(CatalogueTest, AnEditIsSavedAndUndoneOnTheRealToolkit) {
  application();
  writeCollection(path("Tree.GLM"), {{"Star", "Winter", "Glass"},
                                     {"Bell", "Alpine", "Metal"},
                                     {"Snowman", "", "Wood"},
                                     {"Angel", "Heavenly", "Glass"},
                                     {"Rocking Horse", "Toyland", "Wood"}});
  remember(path("Tree.GLM"));

  glimra::runtime::QtRuntime runtime;
  glimra::program::Program shared(runtime);
  DisplayGlimra program(shared);
  bool saveEnabledWhileEditing = false, undoEnabledAfterUndo = true;
  QString nameWhileEditing, nameAfterUndo;
  QStringList rowsAfterSave, rowsAfterUndo;
  auto rows = [](QListView* list) {
    QStringList texts;
    for (int row = 0; row < list->model()->rowCount(); ++row) texts << list->model()->index(row, 0).data().toString();
    return texts;
  };
  program.onWindowOpened = [&](glimra::runtime::Window& window) {
    auto& qt = static_cast<glimra::runtime::QtWindow&>(window);
    auto* list = qobject_cast<QListView*>(qt.widgetOf(control::GLMLIST));
    auto* name = qobject_cast<QLineEdit*>(qt.widgetOf(control::GL_NAME));
    QTimer::singleShot(200, qt.frame(), [] { clickSplash(); });
    QTimer::singleShot(600, qt.frame(), [&qt, name] {
      qt.frame()->activateWindow();
      name->setFocus(Qt::MouseFocusReason);  // entering the field starts the edit
      if (!name->hasFocus()) {  // a platform without window activation
        QFocusEvent focusIn(QEvent::FocusIn, Qt::MouseFocusReason);
        QApplication::sendEvent(name, &focusIn);
      }
      name->end(false);
      typeInto(name, " of Advent");
    });
    QTimer::singleShot(900, qt.frame(), [&, name] {
      nameWhileEditing = name->text();
      saveEnabledWhileEditing = qt.actionOf(control::GLMSAVE)->isEnabled() && qt.widgetOf(control::SAVE)->isEnabled();
      keepPicture(qt.frame(), "editing.png");
      qobject_cast<QAbstractButton*>(qt.widgetOf(control::SAVE))->click();
    });
    QTimer::singleShot(1200, qt.frame(), [&, list] {
      rowsAfterSave = rows(list);
      qt.actionOf(control::GLMUNDO)->trigger();
    });
    QTimer::singleShot(1500, qt.frame(), [&, list, name] {
      rowsAfterUndo = rows(list);
      nameAfterUndo = name->text();
      undoEnabledAfterUndo = qt.widgetOf(control::UNDO)->isEnabled();
      keepPicture(qt.frame(), "after-undo.png");
      window.close();
    });
  };
  glimra::catalogue::runGlimra(runtime, program);

  EXPECT_EQ(nameWhileEditing, "Angel of Advent");
  EXPECT_TRUE(saveEnabledWhileEditing);
  EXPECT_EQ(rowsAfterSave, (QStringList{"Angel of Advent (Heavenly)", "Bell (Alpine)", "Rocking Horse (Toyland)", "Snowman",
                                        "Star (Winter)"}));
  EXPECT_EQ(rowsAfterUndo, (QStringList{"Angel (Heavenly)", "Bell (Alpine)", "Rocking Horse (Toyland)", "Snowman", "Star (Winter)"}));
  EXPECT_EQ(nameAfterUndo, "Angel");
  EXPECT_FALSE(undoEnabledAfterUndo);
  EXPECT_EQ(recordsIn(path("Tree.GLM")),
            (std::vector<std::string>{"", "Star", "Bell", "Snowman", "Angel", "Rocking Horse",
                                      "Angel of Advent [deleted]"}));
}

}  // namespace
}  // namespace catalogue_test
