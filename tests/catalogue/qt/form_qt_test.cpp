// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's form driven through the real widgets with key and mouse
// events: fields of every kind typed and stored, the category combo by typing
// and by picking, tabbing through the form, typing where the focus already
// is, refused values, no editing without a file, and the question on Exit.
#include <QLabel>

#include "catalogue/qt/qt_session.h"

namespace catalogue_test {
namespace {

using namespace glimra::catalogue::control;

std::string storedField(const GlRecord& record, int control) {
  switch (control) {
    case GL_NAME: return record.NAME.str();
    case GL_CATEGORY: return record.CATEGORY.str();
    case GL_SERIES: return record.SERIES.str();
    case GL_PURDATE: return record.PURDATE.str();
    case GL_VALUE: return record.VALUE.str();
    case GL_PURPRICE: return record.PURPRICE.str();
    default: return "<field not read by the test>";
  }
}

TEST_F(CatalogueTest, FieldsOfEveryKindAreStoredAsTyped) {
  writeCollection(path("Tree.GLM"), TREE);
  remember(path("Tree.GLM"));
  struct Case {
    QString row;       // the row clicked
    int field;
    QString typed;
    QString shown;     // the field after leaving it
    std::string name;  // the ornament's name once saved
    std::string stored;
  } cases[] = {
      {"Angel", GL_SERIES, QString::fromUtf8("Crème Noël"), QString::fromUtf8("Crème Noël"), "Angel",
       "Cr\xE8me No\xEBl"},
      {"Bell", GL_CATEGORY, "Glass", "Glass", "Bell", "Glass"},  // typed, and a category that exists
      {"Star", GL_CATEGORY, "Porcelain", "Porcelain", "Star", "Porcelain"},
      {"Snowman", GL_PURDATE, "12/24/1998", "12/24/98", "Snow Man", "72314"},  // renamed below
      {"Angel", GL_PURDATE, "12/5/1998", "12/05/98", "Angel", "72295"},
      {"Bell", GL_VALUE, "1234.5", "$1,234.50", "Bell", "             1234.50"},  // amounts: right-aligned, two decimals
      {"Star", GL_PURPRICE, "$12", "$12.00", "Star", "               12.00"},
      {"Snowman", GL_NAME, "Snow Man", "Snow Man", "Snow Man", "Snow Man"},
  };
  QtSession session;
  std::vector<QString> shown;
  for (const Case& c : cases) {
    session
        .act([&c](User& user) { user.clickRow(c.row); })
        .act([&c](User& user) {
          user.clickInto(c.field);
          user.replaceText(c.field, c.typed);
          user.press(Qt::Key_Tab);
        })
        .act([&c, &shown](User& user) {
          shown.push_back(user.shown(c.field));
          user.clickRow(c.row == "Bell" ? "Angel" : "Bell");  // the row change saves
        });
  }
  session.run();

  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE(c.typed.toStdString());
    ASSERT_LT(i, shown.size());
    EXPECT_EQ(shown[i], c.shown);
    EXPECT_EQ(storedField(storedRecord(path("Tree.GLM"), c.name), c.field), c.stored);
  }
  // Every other field kept its value through the saves.
  const GlRecord bell = storedRecord(path("Tree.GLM"), "Bell");
  EXPECT_EQ(bell.SERIES.str(), "Alpine");
  EXPECT_EQ(storedRecord(path("Tree.GLM"), "Angel").CATEGORY.str(), "Glass");
  EXPECT_EQ(storedRecord(path("Tree.GLM"), "Snow Man").CATEGORY.str(), "Wood");
}

TEST_F(CatalogueTest, TheCategoryComboKeepsWhatItShows) {
  writeCollection(path("Tree.GLM"), TREE);
  remember(path("Tree.GLM"));
  QtSession session;
  QString afterTabbing, afterPicking, shownOnTab;
  QStringList woodRows;
  session
      // Tab through Category and on, then change rows: nothing is lost.
      .act([](User& user) { user.clickRow("Bell"); })
      .act([](User& user) {
        user.clickInto(GL_NAME);
        for (int i = 0; i < 4; ++i) user.press(Qt::Key_Tab);
        user.clickRow("Star");
      })
      .act([](User& user) { user.clickRow("Bell"); })
      .act([&](User& user) {
        afterTabbing = user.shown(GL_CATEGORY);
        user.pickCategory("Wood");  // from the drop list
      })
      .act([&](User& user) {
        afterPicking = user.shown(GL_CATEGORY);
        user.clickRow("Angel");
      })
      // An ornament added on a category tab stays on it when saved.
      .act([](User& user) { user.clickTab("Glass"); })
      .act([](User& user) { user.clickButton(NEW); })
      .act([&](User& user) {
        shownOnTab = user.shown(GL_CATEGORY);
        user.type(GL_NAME, "Icicle");
        user.press(Qt::Key_Tab);
        user.clickButton(SAVE);
      })
      .act([&](User& user) { woodRows = user.rows(); });
  session.run();

  EXPECT_EQ(afterTabbing, "Metal");
  EXPECT_EQ(afterPicking, "Wood");
  EXPECT_EQ(shownOnTab, "Glass");
  EXPECT_EQ(woodRows, (QStringList{"Angel (Heavenly)", "Icicle", "Star (Winter)"}));
  EXPECT_EQ(storedRecord(path("Tree.GLM"), "Bell").CATEGORY.str(), "Wood");
  EXPECT_EQ(storedRecord(path("Tree.GLM"), "Icicle").CATEGORY.str(), "Glass");
  EXPECT_EQ(storedRecord(path("Tree.GLM"), "Star").CATEGORY.str(), "Glass");
}

TEST_F(CatalogueTest, TypingWhereTheFocusAlreadyIsIsKept) {
  writeCollection(path("Tree.GLM"), TREE);
  writeCollection(path("Shop.GLM"), {{"Dove", "Peace", "Glass"}, {"Elf", "", "Wood"}});
  remember(path("Tree.GLM"));
  QtSession session;
  session
      .act([](User& user) { user.clickRow("Bell"); })
      .act([](User& user) {
        user.clickInto(GL_SERIES);
        user.chooseMenu(FILEOPEN);
      })
      .chooseFile(path("Shop.GLM").string())
      .act([](User& user) {
        // The focus is still in Series: the first key is an edit start.
        ASSERT_EQ(QApplication::focusWidget(), user.line(GL_SERIES));
        QTest::keyClick(user.line(GL_SERIES), Qt::Key_End);
        user.type(GL_SERIES, " Deluxe");
        user.clickRow("Elf");
      });
  session.run();

  EXPECT_EQ(storedRecord(path("Shop.GLM"), "Dove").SERIES.str(), "Peace Deluxe");
}

TEST_F(CatalogueTest, ARefusedValueStaysMarkedUntilMendedOrEscaped) {
  writeCollection(path("Tree.GLM"), TREE);
  remember(path("Tree.GLM"));
  struct Case {
    int field;
    QString typed;
    int next;  // the field Tab goes to
  } refused[] = {
      {GL_PURDATE, "13/45/99", GL_CUSTOM1},
      {GL_VALUE, "abc", GL_YEAR},
      {GL_PURPRICE, "12.345", GL_CUSTOM3},
  };
  QtSession session;
  struct Seen {
    QString text;
    bool marked = false;
    QString notice;
    QString nameAfterRowClick;
    QString afterEscape;
    bool markedAfterEscape = true;
    bool nextFieldHidden = true;
  };
  std::vector<Seen> seen(std::size(refused));
  for (std::size_t i = 0; i < std::size(refused); ++i) {
    const Case& c = refused[i];
    Seen& s = seen[i];
    session
        .act([](User& user) { user.clickRow("Bell"); })
        .act([&c](User& user) {
          user.clickInto(c.field);
          user.replaceText(c.field, c.typed);
          user.press(Qt::Key_Tab);
        })
        .act([&c, &s, i, &session](User& user) {
          s.text = user.shown(c.field);
          s.marked = user.widget(c.field)->property("refused").toBool();
          auto* notice = session.window->frame()->findChild<QLabel*>("refusal");
          s.notice = notice->isVisible() ? notice->text() : QString();
          s.nextFieldHidden = notice->geometry().intersects(user.widget(c.next)->geometry());
          if (i == 0) keepPicture(session.window->frame(), "refused-value.png");
          user.clickRow("Star");  // held back: the form still holds the refused text
        })
        .act([&c, &s](User& user) {
          s.nameAfterRowClick = user.shown(GL_NAME);
          user.clickInto(c.field);
          user.press(Qt::Key_Escape);
        })
        .act([&c, &s](User& user) {
          s.afterEscape = user.shown(c.field);
          s.markedAfterEscape = user.widget(c.field)->property("refused").toBool();
          user.clickRow("Star");
        });
  }
  session.run();

  for (std::size_t i = 0; i < std::size(refused); ++i) {
    SCOPED_TRACE(refused[i].typed.toStdString());
    EXPECT_EQ(seen[i].text, refused[i].typed) << "what was typed stays";
    EXPECT_TRUE(seen[i].marked);
    EXPECT_TRUE(seen[i].notice.contains("Esc")) << seen[i].notice.toStdString();
    EXPECT_FALSE(seen[i].nextFieldHidden) << "the reason hides the field Tab went to";
    EXPECT_EQ(seen[i].nameAfterRowClick, "Bell");
    EXPECT_EQ(seen[i].afterEscape, "") << "the stored value is back";
    EXPECT_FALSE(seen[i].markedAfterEscape);
  }
  // The refused texts never reached the file; what the row changes after Esc
  // saved is the stored value the user took back.
  const GlRecord bell = storedRecord(path("Tree.GLM"), "Bell");
  EXPECT_EQ(bell.SERIES.str(), "Alpine");
  for (const auto& c : refused) EXPECT_EQ(storedField(bell, c.field), "") << c.typed.toStdString();
}

TEST_F(CatalogueTest, WithNoCollectionOpenTheEditingCommandsAreDisabled) {
  remember(path("Missing.GLM"));
  QtSession session;
  std::vector<bool> enabled;
  QStringList rows;
  session.cancelFileDialog()  // the offer to create a new file
      .act([&](User& user) {
        for (int command : {GLMNEW, GLMDUPLICATE, GLMDELETE, GLMSAVE, GLMUNDO})
          enabled.push_back(session.window->actionOf(command)->isEnabled());
        for (int button : {NEW, DUPLICATE, control::DELETE, SAVE, UNDO})
          enabled.push_back(user.widget(button)->isEnabled());
        enabled.push_back(user.widget(GL_NAME)->isEnabled());
        user.press(Qt::Key_A, Qt::ControlModifier);  // Add, by its shortcut
        user.press(Qt::Key_S, Qt::ControlModifier);
      })
      .act([&](User& user) { rows = user.rows(); });
  session.run();

  EXPECT_EQ(enabled, std::vector<bool>(11, false));
  EXPECT_TRUE(rows.isEmpty());
}

TEST_F(CatalogueTest, ExitAsksBeforeUnsavedWorkIsLost) {
  struct Case {
    QMessageBox::StandardButton answer;
    std::vector<std::string> records;
  } cases[] = {
      {QMessageBox::Yes, {"", "Angel", "Bell [deleted]", "Star", "Snowman", "Bell of Joy"}},
      {QMessageBox::No, {"", "Angel", "Bell", "Star", "Snowman"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.answer);
    writeCollection(path("Tree.GLM"), TREE);
    remember(path("Tree.GLM"));
    QtSession session;
    QString question;
    QString nameAfterCancel;
    session
        .act([](User& user) { user.clickRow("Bell"); })
        .act([](User& user) {
          user.clickInto(GL_NAME);
          QTest::keyClick(user.line(GL_NAME), Qt::Key_End);
          user.type(GL_NAME, " of Joy");
          user.chooseMenu(FILEEXIT);
        })
        .answer([&](QMessageBox& box) {
          question = box.text();
          QTest::qWait(100);  // let the box paint before the picture
          keepScreen("exit-question.png");
          box.button(QMessageBox::Cancel)->click();
        })
        .act([&](User& user) {
          nameAfterCancel = user.shown(GL_NAME);
          user.chooseMenu(FILEEXIT);
        })
        .answer([&c](QMessageBox& box) { box.button(c.answer)->click(); });
    session.run();

    EXPECT_EQ(question, "Save changes to Bell of Joy?");
    EXPECT_EQ(nameAfterCancel, "Bell of Joy") << "Cancel stays with the edit";
    EXPECT_EQ(recordsIn(path("Tree.GLM")), c.records);
  }

  // Nothing changed: nothing is asked (the session fails on a dialog).
  writeCollection(path("Tree.GLM"), TREE);
  QtSession quiet;
  quiet.act([](User& user) { user.clickRow("Bell"); }).act([](User& user) {
    user.clickInto(GL_NAME);
    user.press(Qt::Key_Tab);
    user.chooseMenu(FILEEXIT);
  });
  quiet.run();
  EXPECT_EQ(recordsIn(path("Tree.GLM")), (std::vector<std::string>{"", "Angel", "Bell", "Star", "Snowman"}));
}

TEST_F(CatalogueTest, MenuShortcutsWorkInAFieldAndHelpStandsBeside) {
  writeCollection(path("Tree.GLM"), TREE);
  remember(path("Tree.GLM"));
  QtSession session;
  QStringList rowsAfterAdd, rowsAfterDelete;
  QString helpTitle;
  bool helpModal = true, helpBesideTheWindow = false;
  session.act([](User& user) { user.clickRow("Bell"); })
      .act([](User& user) {
        user.clickInto(GL_SERIES);
        user.press(Qt::Key_A, Qt::ControlModifier);  // Add, though the focus is in a field
      })
      .act([&](User& user) {
        rowsAfterAdd = user.rows();
        user.press(Qt::Key_D, Qt::ControlModifier);  // Delete drops the addition
      })
      .act([&](User& user) {
        rowsAfterDelete = user.rows();
        session.window->actionOf(HELPCONTENTS)->trigger();
      })
      .act([&](User&) {
        QWidget* help = QApplication::activeWindow();
        for (QWidget* top : QApplication::topLevelWidgets())
          if (top->isVisible() && top->windowTitle().endsWith("Help")) help = top;
        ASSERT_NE(help, nullptr);
        helpTitle = help->windowTitle();
        helpModal = help->isModal();
        helpBesideTheWindow = help->parentWidget() == session.window->frame();
        QTest::qWait(100);  // let it paint before the picture
        keepScreen("help-beside.png");
        help->close();
      });
  session.run();

  EXPECT_EQ(rowsAfterAdd, (QStringList{"Angel (Heavenly)", "Bell (Alpine)", "Snowman", "Star (Winter)", ""}));
  EXPECT_EQ(rowsAfterDelete, (QStringList{"Angel (Heavenly)", "Bell (Alpine)", "Snowman", "Star (Winter)"}));
  EXPECT_EQ(helpTitle, "Glimra Help");
  EXPECT_FALSE(helpModal);
  EXPECT_TRUE(helpBesideTheWindow) << "a child of the modal main window takes input beside it";
}

}  // namespace
}  // namespace catalogue_test
