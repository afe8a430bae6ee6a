// SPDX-License-Identifier: GPL-3.0-or-later
// Import from CSV on the real toolkit: the File menu's item, the file dialog,
// the mapping window with its preview, the detected delimiter and titles, a
// column's field chosen from its drop list with the mouse, Import, the
// progress window, and the imported ornaments in the list and on a new tab.
// GLIMRA_SCREENSHOT_DIR=dir keeps import.png and import-screen.png.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QListView>
#include <QRadioButton>
#include <QTimer>
#include <fstream>

#include "catalogue/csv_import_window.h"
#include "catalogue/qt/qt_session.h"

namespace catalogue_test {
namespace {

// The program's own window of that title (the file dialog before it has the same title).
QWidget* shownWindow(const QString& title) {
  for (QWidget* top : QApplication::topLevelWidgets())
    if (top->isVisible() && top->windowTitle() == title && !qobject_cast<QFileDialog*>(top)) return top;
  return nullptr;
}

struct MappingSeen {
  bool answered = false;
  QString checkedDelimiter;
  bool titles = false;
  QStringList preview;
  QStringList fields;  // the field each column's drop list shows
};

// Once the mapping window is up: looks at it, chooses Custom1 for the fifth
// column from its drop list, and presses Import.
void answerMappingWindow(MappingSeen* seen) {
  auto* poll = new QTimer;
  QObject::connect(poll, &QTimer::timeout, [=] {
    QWidget* window = shownWindow(glimra::catalogue::IMPORT_WINDOW_TITLE);
    if (!window || seen->answered) return;
    auto* preview = window->findChild<QListView*>();
    if (!preview || preview->model()->rowCount() == 0) return;  // not filled yet
    seen->answered = true;
    poll->stop();
    poll->deleteLater();
    QTest::qWait(100);
    for (auto* radio : window->findChildren<QRadioButton*>())
      if (radio->isChecked() && radio->text().contains("omma")) seen->checkedDelimiter = radio->text();
    seen->titles = window->findChild<QCheckBox*>()->isChecked();
    for (int row = 0; row < preview->model()->rowCount(); ++row)
      seen->preview << preview->model()->index(row, 0).data().toString();
    const QList<QComboBox*> combos = window->findChildren<QComboBox*>();
    QComboBox* fifth = combos.value(4);
    if (fifth) {
      fifth->showPopup();
      QTest::qWait(50);
      QAbstractItemView* view = fifth->view();
      const int row = fifth->findText("Custom1");
      QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(view->model()->index(row, 0)).center());
      QTest::qWait(50);
    }
    for (QComboBox* combo : combos)
      if (combo->isVisible()) seen->fields << combo->currentText();
    keepScreen("import-screen.png");
    keepPicture(window, "import.png");
    for (auto* button : window->findChildren<QAbstractButton*>())
      if (button->text() == "&Import") QTest::mouseClick(button, Qt::LeftButton);
  });
  poll->start(50);
}

TEST_F(CatalogueTest, ImportFromCsvOnTheRealToolkit) {
  writeCollection(path("Shelf.GLM"), {{"Star", "Winter", "Glass"}});
  remember(path("Shelf.GLM"));
  const std::string csv = path("wish list.csv").string();
  std::ofstream(csv, std::ios::binary)
      << "\xEF\xBB\xBFName,Category,Series,Value,Colour,Description\r\n"
         "\xC3\x89toile de No\xC3\xABl,Glass,Winter,12.50,Gold,\"Blown glass, \"\"Lauscha\"\" style\"\r\n"
         "Nutcracker,Wood,,8,Red,\"Two lines:\r\npainted by hand\"\r\n"
         "Angel,Glass,Heavenly Host,\"1,250.00\",White,\r\n";
  QtSession session;
  MappingSeen seen;
  QStringList rows, tabs;
  session.act([&](User& user) {
           answerMappingWindow(&seen);
           user.chooseMenu(control::FILEIMPORTCSV);
         })
      .chooseFile(csv)
      .answer([csv](QMessageBox& box) {
        EXPECT_EQ(box.text().toStdString(), "3 ornaments imported from\n" + csv);
        box.button(QMessageBox::Ok)->click();
      })
      .act([&](User& user) {
        rows = user.rows();
        auto* sheet = qobject_cast<QTabWidget*>(user.widget(control::SHEET));
        for (int i = 0; i < sheet->count(); ++i) tabs << sheet->tabText(i);
      });
  session.run();

  EXPECT_TRUE(seen.answered);
  EXPECT_EQ(seen.checkedDelimiter, "&Comma");
  EXPECT_TRUE(seen.titles);
  ASSERT_EQ(seen.preview.size(), 4);
  EXPECT_TRUE(seen.preview[1].startsWith(QString::fromUtf8("\xC3\x89toile de No\xC3\xABl  |  Glass")))
      << seen.preview[1].toStdString();
  EXPECT_EQ(seen.fields, (QStringList{"Name", "Category", "Series", "Value", "Custom1", "Description"}));
  EXPECT_EQ(rows, (QStringList{"Angel (Heavenly Host)", QString::fromUtf8("\xC3\x89toile de No\xC3\xABl (Winter)"),
                               "Nutcracker", "Star (Winter)"}));
  EXPECT_EQ(tabs, (QStringList{"ALL", "Glass", "Wood"}));
  const GlRecord nutcracker = storedRecord(path("Shelf.GLM"), "Nutcracker");
  EXPECT_EQ(nutcracker.DESCRIPTION.str(), "Two lines:\r\npainted by hand");
  EXPECT_EQ(nutcracker.CUSTOM2.str(), "Red");
  EXPECT_EQ(storedRecord(path("Shelf.GLM"), "Angel").VALUE.str(), "             1250.00");
}

}  // namespace
}  // namespace catalogue_test
