// SPDX-License-Identifier: GPL-3.0-or-later
// Esc on the real toolkit: it closes the find dialog and the about box, and
// in the description window it asks before it throws typed text away.
#include <gtest/gtest.h>

#include <QPlainTextEdit>

#include "catalogue/qt/qt_session.h"
#include "catalogue/start_up.h"

namespace catalogue_test {
namespace {

// Once the window titled `title` is up, runs `then` on it (once), from the
// event loop the window runs in.
void whenShown(const char* title, std::function<void(QWidget&)> then) {
  auto* poll = new QTimer;
  QObject::connect(poll, &QTimer::timeout, [poll, title, then] {
    QWidget* window = shownWindow(QString::fromLatin1(title));
    if (!window) return;
    if (!window->isActiveWindow()) return window->activateWindow();
    poll->stop();
    poll->deleteLater();
    then(*window);
  });
  poll->start(20);
}

// Esc where the user's keys go: the widget that has the focus.
void pressEscape(QWidget& window) {
  QWidget* focus = QApplication::focusWidget();
  QTest::keyClick(focus && focus->window() == &window ? focus : &window, Qt::Key_Escape);
}

TEST_F(CatalogueTest, EscapeClosesTheFindDialogAndTheAboutBox) {
  writeCollection(path("Tree.GLM"), {{"Star", "", ""}, {"Bell", "", ""}});
  remember(path("Tree.GLM"));
  QtSession session;
  bool findFieldHadFocus = false, findClosed = false, aboutClosed = false;
  QStringList tabs;
  session
      .act([&](User& user) {
        whenShown("Find Matching Entries", [&](QWidget& dialog) {
          // Typed, then Esc: nothing is looked for.
          findFieldHadFocus = qobject_cast<QLineEdit*>(QApplication::focusWidget()) != nullptr;
          QTest::keyClicks(QApplication::focusWidget(), "Star");
          pressEscape(dialog);
        });
        user.chooseMenu(control::GLMFIND);
      })
      .act([&](User& user) {
        findClosed = !shownWindow("Find Matching Entries");
        auto* sheet = qobject_cast<QTabWidget*>(user.widget(control::SHEET));
        for (int i = 0; i < sheet->count(); ++i) tabs << sheet->tabText(i);
        whenShown(glimra::catalogue::ABOUT_TITLE, pressEscape);
        user.chooseMenu(control::HELPABOUT);
      })
      .act([&](User&) { aboutClosed = !shownWindow(glimra::catalogue::ABOUT_TITLE); });
  session.run();

  EXPECT_TRUE(findFieldHadFocus);
  EXPECT_TRUE(findClosed);
  EXPECT_EQ(tabs, QStringList{"ALL"});  // no find tab
  EXPECT_TRUE(aboutClosed);
}

TEST_F(CatalogueTest, EscapeInTheDescriptionWindowAsksBeforeThrowingTypedTextAway) {
  writeCollection(path("Tree.GLM"), {{"Star", "", "", false, [](GlRecord& r) { r.DESCRIPTION = "Blown glass"; }}});
  remember(path("Tree.GLM"));
  QtSession session;
  QStringList questions;
  std::vector<std::string> kept;  // the description after each round
  // Types into the description, then presses Esc.
  auto typeThenEscape = [](const char* typed) {
    whenShown(glimra::catalogue::DESCRIPTION_WINDOW_TITLE, [typed](QWidget& window) {
      if (*typed) {
        auto* box = window.findChild<QPlainTextEdit*>();
        QTest::keyClick(box, Qt::Key_End, Qt::ControlModifier);
        QTest::keyClicks(box, typed);
      }
      pressEscape(window);
    });
  };
  auto openDescription = [](User& user) { user.clickButton(control::DESCRIPTION); };
  auto answer = [&](QMessageBox::StandardButton button) {
    return [&questions, button](QMessageBox& box) {
      questions << box.text();
      box.button(button)->click();
    };
  };
  auto remember = [&](User&) { kept.push_back(session.program.GL.DESCRIPTION.str()); };
  session.act([&](User& user) { typeThenEscape(", red"); openDescription(user); })
      .answer(answer(QMessageBox::No))  // throw it away
      .act(remember)
      .act([&](User& user) { typeThenEscape(", gold"); openDescription(user); })
      .answer([&](QMessageBox& box) {
        answer(QMessageBox::Cancel)(box);  // go on editing: the window stays, Esc again
        whenShown(glimra::catalogue::DESCRIPTION_WINDOW_TITLE, pressEscape);
      })
      .answer(answer(QMessageBox::Yes))  // keep it
      .act(remember)
      .act([&](User& user) { typeThenEscape(""); openDescription(user); })  // nothing typed: no question
      .act(remember);
  session.run();

  ASSERT_EQ(questions.size(), 3);
  EXPECT_EQ(questions[0], "Keep the changes to Star?");
  EXPECT_EQ(kept, (std::vector<std::string>{"Blown glass", "Blown glass, gold", "Blown glass, gold"}));
}

}  // namespace
}  // namespace catalogue_test
