// SPDX-License-Identifier: GPL-3.0-or-later
// HelpWindow: the help pages (HTML files in one directory or resource
// directory) with a Contents tab that shows index.html and its links, and a
// Search tab that finds every page containing all the words typed, whatever
// their case, the most relevant first. It is titled "<application> Help" and
// is not modal: the user reads it while working in the program.
#pragma once

#include <QDialog>
#include <QString>
#include <vector>

class QLineEdit;
class QListWidget;
class QTabWidget;
class QTextBrowser;

namespace glimra::runtime {

class HelpWindow final : public QDialog {
  Q_OBJECT
 public:
  explicit HelpWindow(const QString& pagesDirectory, QWidget* parent = nullptr);

  void showContents();
  void showSearch();
  // The pages containing every word of `words`, most relevant first (the
  // words' count on the page, a title's words weighing ten times more);
  // equally relevant pages in file-name order.
  QStringList search(const QString& words);
  QTextBrowser* browser() const { return browser_; }

 private:
  struct Page {
    QString file;
    QString title;
    QString text;  // plain text, lower case
  };
  void loadPages();

  QString directory_;
  std::vector<Page> pages_;
  bool loaded_ = false;
  QTabWidget* tabs_ = nullptr;
  QTextBrowser* browser_ = nullptr;
  QLineEdit* query_ = nullptr;
  QListWidget* results_ = nullptr;
};

}  // namespace glimra::runtime
